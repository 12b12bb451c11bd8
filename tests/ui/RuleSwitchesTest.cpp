#include "browse/FileListBox.h"
#include "platform/journal/JournalFile.h"
#include "tests/support/Modal.h"
#include "tests/ui/FormTesting.h"
#include "ui/RuleSwitches.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <filesystem>

namespace nomilo {
namespace {

class RuleSwitches : public test::FormTest {
protected:
    // The window on the folder `files` holding `names`, every listed entry renamed by a batch.
    TForm1& Shown(std::initializer_list<std::string> names) {
        for (const std::string& name : names)
            tmp.AddFile("files/" + name, name);
        TForm1& f = CreateShown();
        f.RenameSel->trigger();
        return f;
    }
    // Each entry's tooltip once the preview has caught up: "name" or "name -> new name".
    std::vector<std::string> Tips() const {
        QApplication::processEvents();
        std::vector<std::string> tips;
        const QAbstractItemModel* model = form->FileListBox1->model();
        for (int row = 0; row < model->rowCount(); ++row)
            tips.push_back(model->index(row, 0).data(Qt::ToolTipRole).toString().toStdString());
        return tips;
    }
    static bool Framed(const QLineEdit* field) { return !field->styleSheet().isEmpty(); }
};

TEST_F(RuleSwitches, TheSwitchesRenameByExpressionEveryOccurrenceAndNumberInEveryLanguage) {
    TForm1& f = Shown({"IMG_1.jpg", "IMG_22.jpg", "notes.txt", "a-b-c.txt"});
    f.ShowNewNames1->trigger();
    f.eFind->setText("IMG_(\\d+)");
    f.eReplace->setText("Holiday_$1");
    // Off, the find text is literal: no name holds it.
    EXPECT_EQ(Tips(), (std::vector<std::string>{"a-b-c.txt", "IMG_1.jpg", "IMG_22.jpg",
                                                "notes.txt"}));
    EXPECT_EQ(f.eReplace->toolTip(), "Replace");

    f.RuleSwitches1->RegularExpression1->trigger();
    f.RuleSwitches1->Numbering1->trigger();
    f.eReplace->setText("##_\\L$0");
    EXPECT_EQ(Tips(), (std::vector<std::string>{"a-b-c.txt", "IMG_1.jpg -> 01_img_1.jpg",
                                                "IMG_22.jpg -> 02_img_22.jpg", "notes.txt"}));
    // The hint explains the counters and the groups in the current language.
    EXPECT_TRUE(f.eReplace->toolTip().startsWith("Replace\nNumbering: #"));
    EXPECT_TRUE(f.eReplace->toolTip().contains("${name}"));

    f.Button2->click();
    EXPECT_EQ(Entries(), (std::vector<std::string>{"a-b-c.txt", "01_img_1.jpg",
                                                   "02_img_22.jpg", "notes.txt"}));
    EXPECT_EQ(tmp.Read("files/02_img_22.jpg"), "IMG_22.jpg");

    // Every occurrence, literal again, with a counter that starts at 7.
    f.RuleSwitches1->RegularExpression1->trigger();
    f.RuleSwitches1->EveryOccurrence1->trigger();
    f.eFind->setText("-");
    f.eReplace->setText("#{7}");
    f.Button2->click();
    EXPECT_EQ(Entries(), (std::vector<std::string>{"a7b7c.txt", "01_img_1.jpg",
                                                   "02_img_22.jpg", "notes.txt"}));

    const struct {
        QAction* language;
        const char* captions[3];
        const char* numbering;
    } languages[] = {
        {f.Hrvatski1, {"Regularni izraz", "Svako pojavljivanje", "Numeriranje"}, "Numeriranje: #"},
        {f.English1, {"Regular expression", "Every occurrence", "Numbering"}, "Numbering: #"},
    };
    for (const auto& l : languages) {
        l.language->trigger();
        EXPECT_EQ(f.RuleSwitches1->RegularExpression1->text(), l.captions[0]);
        EXPECT_EQ(f.RuleSwitches1->EveryOccurrence1->text(), l.captions[1]);
        EXPECT_EQ(f.RuleSwitches1->Numbering1->text(), l.captions[2]);
        EXPECT_TRUE(f.eReplace->toolTip().contains(l.numbering));
    }
    // German comes only from the settings.
    Destroy();
    PutText("Jezik", "Deutsch");
    TForm1& g = CreateShown();
    EXPECT_EQ(g.RuleSwitches1->RegularExpression1->text(), "Regulärer Ausdruck");
    EXPECT_EQ(g.RuleSwitches1->EveryOccurrence1->text(), "Jedes Vorkommen");
    EXPECT_EQ(g.RuleSwitches1->Numbering1->text(), "Nummerierung");
    EXPECT_TRUE(g.RuleSwitches1->EveryOccurrence1->isChecked());
    EXPECT_TRUE(g.RuleSwitches1->Numbering1->isChecked());
    EXPECT_FALSE(g.RuleSwitches1->RegularExpression1->isChecked());
    EXPECT_TRUE(g.eReplace->toolTip().startsWith("umtauschen\nNummerierung: #"));
    // All switches off, the hint is the designed one again.
    g.RuleSwitches1->EveryOccurrence1->trigger();
    g.RuleSwitches1->Numbering1->trigger();
    EXPECT_EQ(g.eReplace->toolTip(), "umtauschen");
}

TEST_F(RuleSwitches, ABadExpressionIsFramedWithItsReasonAndRenamesNothing) {
    TForm1& f = Shown({"a(1).txt", "b.txt"});
    f.ShowNewNames1->trigger();
    f.RuleSwitches1->RegularExpression1->trigger();
    f.eFind->setText("č(");
    f.eReplace->setText("x");
    EXPECT_TRUE(Framed(f.eFind));
    EXPECT_FALSE(Framed(f.eReplace));
    EXPECT_EQ(f.eFind->toolTip(), "Find\nThe find text is not a valid regular expression: "
                                  "missing closing parenthesis (offset 2)");
    EXPECT_EQ(Tips(), (std::vector<std::string>{"a(1).txt", "b.txt"}));

    f.Hrvatski1->trigger();
    test::ShownMessage shown = test::CaptureMessageBoxes([&] { f.Button2->click(); });
    EXPECT_EQ(shown.count, 1);
    EXPECT_EQ(shown.title, "Velkaro");
    EXPECT_EQ(shown.text, "Tekst za pronalaženje nije ispravan regularni izraz: missing closing "
                          "parenthesis (pomak 2)\nNišta nije preimenovano.");
    EXPECT_EQ(tmp.Read("files/a(1).txt"), "a(1).txt");
    EXPECT_EQ(tmp.Read("files/b.txt"), "b.txt");
    EXPECT_EQ(Entries(), (std::vector<std::string>{"a(1).txt", "b.txt"}));
    EXPECT_FALSE(f.UndoLastRename1->isEnabled());
    EXPECT_FALSE(std::filesystem::exists(JournalFile::DefaultPath()));

    // A replacement that names a group the expression lacks frames the replace field.
    f.eFind->setText("\\((\\d)\\)");
    EXPECT_FALSE(Framed(f.eFind));
    EXPECT_EQ(f.eFind->toolTip(), "pronađi");
    f.eReplace->setText("_$2");
    EXPECT_TRUE(Framed(f.eReplace));
    EXPECT_TRUE(f.eReplace->toolTip().endsWith("unknown substring (pomak 3)"));
    shown = test::CaptureMessageBoxes([&] { f.Button2->click(); });
    EXPECT_EQ(shown.count, 1);
    EXPECT_EQ(Entries(), (std::vector<std::string>{"a(1).txt", "b.txt"}));

    // Mended, or in prefix mode, where the find text plays no part, the frames go.
    f.eReplace->setText("_$1");
    EXPECT_FALSE(Framed(f.eReplace));
    EXPECT_EQ(Tips()[0], "a(1).txt -> a_1.txt");
    f.eFind->setText("(");
    EXPECT_TRUE(Framed(f.eFind));
    f.CheckBox1->click();
    EXPECT_FALSE(Framed(f.eFind));
    f.CheckBox1->click();
    f.RuleSwitches1->RegularExpression1->trigger();
    EXPECT_FALSE(Framed(f.eFind));
    EXPECT_EQ(f.eFind->toolTip(), "pronađi");
}

} // namespace
} // namespace nomilo
