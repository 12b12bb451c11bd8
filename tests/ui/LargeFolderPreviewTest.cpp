// The preview of a large folder, whose names are read on a thread of their own: it fills in
// once they are there, and predicts against them as a small folder's preview does.
#include "browse/FileListBox.h"
#include "tests/ui/FormTesting.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <cstdio>

namespace nomilo {
namespace {

class LargeFolderPreview : public test::FormTest {
protected:
    std::string TipOf(int row) const {
        const QAbstractItemModel* model = form->FileListBox1->model();
        return model->index(row, 0).data(Qt::ToolTipRole).toString().toStdString();
    }
    // The tip of `row` once it is `expected`, or as it is after ten seconds.
    std::string TipOnce(int row, const std::string& expected) const {
        QElapsedTimer clock;
        clock.start();
        std::string tip;
        while ((tip = TipOf(row)) != expected && clock.elapsed() < 10000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        return tip;
    }
};

TEST_F(LargeFolderPreview, TheNamesReadAsideDecideAsTheyDoForASmallFolder) {
    char name[32];
    for (int i = 0; i < 5000; ++i) {
        std::snprintf(name, sizeof name, "files/f%04d.txt", i);
        tmp.AddFile(name);
    }
    tmp.AddFolder("files/taken.txt");
    TForm1& f = CreateShown();
    f.RenameSel->trigger();
    f.ShowNewNames1->trigger();
    f.eFind->setText("f0001");
    f.eReplace->setText("taken");
    EXPECT_EQ(TipOnce(1, "f0001.txt -> taken.txt: the name is taken"),
              "f0001.txt -> taken.txt: the name is taken");
    f.eReplace->setText("free");
    EXPECT_EQ(TipOnce(1, "f0001.txt -> free.txt"), "f0001.txt -> free.txt");
    // The folder changes on disk: its names are read again.
    tmp.AddFile("files/free.txt");
    f.FileListBox1->RebuildEntries();
    EXPECT_EQ(TipOnce(1, "f0001.txt -> free.txt: the name is taken"),
              "f0001.txt -> free.txt: the name is taken");
}

} // namespace
} // namespace nomilo
