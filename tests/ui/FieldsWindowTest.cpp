// The Fields switch in the real window: photos the test makes, named by their date taken as
// the preview shows while their data arrives, and as Rename does after waiting for it.
#include "browse/FileListBox.h"
#include "tests/facts/MadeFiles.h"
#include "tests/support/Modal.h"
#include "tests/ui/FormTesting.h"
#include "ui/RuleSwitches.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace nomilo {
namespace {

using Tips = std::vector<std::string>;

class FieldsWindow : public test::FormTest {
protected:
    TForm1& Shown() {
        const test::TTags second = {{"Exif.Photo.DateTimeOriginal", "2024:05:01 12:30:05"}};
        tmp.AddFile("files/notes.txt", "notes");
        test::MakePhoto(tmp / "files/IMG_1.jpg", second);
        test::MakePhoto(tmp / "files/IMG_2.jpg", second);
        test::MakePhoto(tmp / "files/IMG_3.jpg");
        TForm1& f = CreateShown();
        f.RenameSel->trigger();
        return f;
    }
    // The entries' tooltips once they stop changing: the facts have arrived.
    Tips SettledTips() const {
        Tips tips, before;
        QElapsedTimer clock;
        clock.start();
        do {
            before = tips;
            for (int i = 0; i < 20; ++i)
                QApplication::processEvents(QEventLoop::AllEvents, 20);
            tips.clear();
            const QAbstractItemModel* model = form->FileListBox1->model();
            for (int row = 0; row < model->rowCount(); ++row)
                tips.push_back(model->index(row, 0).data(Qt::ToolTipRole).toString().toStdString());
        } while ((tips != before || Reading()) && clock.elapsed() < 20000);
        return tips;
    }
    bool Reading() const {
        const auto* line = form->FileListBox1->findChild<QLabel*>("StillReadingLine");
        return line && line->isVisible();
    }
};

TEST_F(FieldsWindow, PhotosAreNamedByTheirDateTakenAsThePreviewShowsInEveryLanguage) {
    TForm1& f = Shown();
    f.ShowNewNames1->trigger();
    f.RuleSwitches1->RegularExpression1->trigger();
    f.RuleSwitches1->Fields1->trigger();
    f.eFind->setText("^IMG_\\d+");
    f.eReplace->setText("{taken}{copy}");
    EXPECT_TRUE(f.eReplace->toolTip().contains("{taken:%Y-%m-%d_%H%M%S}"));
    const Tips expected = {"IMG_1.jpg -> 2024-05-01.jpg", "IMG_2.jpg -> 2024-05-01-1.jpg",
                           "IMG_3.jpg -> {taken}.jpg: no date taken", "notes.txt"};
    EXPECT_EQ(SettledTips(), expected);
    EXPECT_FALSE(Reading());

    f.Hrvatski1->trigger();
    EXPECT_EQ(f.RuleSwitches1->Fields1->text(), "Polja");
    EXPECT_EQ(SettledTips()[2], "IMG_3.jpg -> {taken}.jpg: nema datuma snimanja");
    test::ShownMessage shown = test::CaptureMessageBoxes([&] { f.Button2->click(); });
    EXPECT_EQ(shown.count, 1) << "one file refused";
    EXPECT_EQ(Entries(), (std::vector<std::string>{"2024-05-01.jpg", "2024-05-01-1.jpg",
                                                   "IMG_3.jpg", "notes.txt"}));
    f.UndoLastRename1->trigger();
    EXPECT_EQ(Entries(), (std::vector<std::string>{"IMG_1.jpg", "IMG_2.jpg", "IMG_3.jpg",
                                                   "notes.txt"}));
    f.English1->trigger();
    EXPECT_EQ(f.RuleSwitches1->Fields1->text(), "Fields");
    // A field the rule cannot use frames the replace field.
    f.eReplace->setText("{nmae}");
    EXPECT_TRUE(f.eReplace->toolTip().endsWith(
        "The replace text holds a field it cannot use: unknown field {nmae} (offset 0)"));

    Destroy();
    PutText("Jezik", "Deutsch");
    TForm1& g = CreateShown();
    EXPECT_EQ(g.RuleSwitches1->Fields1->text(), "Felder");
    EXPECT_TRUE(g.RuleSwitches1->Fields1->isChecked()) << "kept in the settings";
}

TEST_F(FieldsWindow, RenameWaitsForTheFactsItNeedsThenRenamesAsThePreviewWould) {
    TForm1& f = Shown();
    f.RuleSwitches1->Fields1->trigger();
    f.eFind->setText("IMG_");
    f.eReplace->setText("{taken:%Y}_{copy:_}");
    // No preview has read anything: Rename reads what it needs first.
    test::CaptureMessageBoxes([&] { f.Button2->click(); });
    EXPECT_EQ(Entries(), (std::vector<std::string>{"2024_1.jpg", "2024_2.jpg", "IMG_3.jpg",
                                                   "notes.txt"}));
}

} // namespace
} // namespace nomilo
