#include "settings/StartSelection.h"

#include "browse/DirectoryListBox.h"
#include "browse/FileListBox.h"
#include "settings/StartFolder.h"
#include "tests/support/Modal.h"
#include "tests/ui/FormTesting.h"
#include "ui/LeftOutPaths.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

namespace nomilo {
namespace {

class StartSelection : public test::FormTest {
protected:
    // The window as the program opens it on `arguments` (after the program's name), shown.
    test::ShownMessage StartOn(const std::vector<std::string>& arguments) {
        std::vector<std::string> commandLine{"nomilo"};
        commandLine.insert(commandLine.end(), arguments.begin(), arguments.end());
        const TCommandLine read = ReadCommandLine(commandLine);
        return test::CaptureMessageBoxes([&] {
            form = read.selection ? std::make_unique<TForm1>(store, GroupSelection(read.paths))
                                  : std::make_unique<TForm1>(store, read.StartFolder());
            form->show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        });
    }
    std::vector<std::string> Selected() const {
        std::vector<std::string> names;
        for (int i = 0; i < form->FileListBox1->EntryCount(); ++i)
            if (form->FileListBox1->IsEntrySelected(i))
                names.push_back(form->FileListBox1->EntryText(i));
        return names;
    }
    std::string Tip(int row) const {
        QApplication::processEvents();
        const QModelIndex index = form->FileListBox1->model()->index(row, 0);
        return index.data(Qt::ToolTipRole).toString().toStdString();
    }
};

TEST_F(StartSelection, TheNamedEntriesAreSelectedAndRenamedWithoutChangingTheStoredSwitch) {
    PutText("RenameSel", "0");
    PutText("ShowNewNames", "1");
    for (const char* name : {"a.jpg", "b.jpg", "c -\n$'\\%.jpg", "d\xff.jpg"})
        tmp.AddFile(std::string("files/") + name);
    const auto shown = StartOn({"--select", "file://" + files + "/c%20-%0A$'%5C%25.jpg",
                                files + "/d\xff.jpg", "file://" + files + "/a.jpg"});
    EXPECT_EQ(shown.count, 0) << shown.text.toStdString();
    EXPECT_EQ(form->DirectoryListBox1->FolderPath(), files);
    EXPECT_EQ(Selected(), (std::vector<std::string>{"a.jpg", "c -\n$'\\%.jpg", "d\xff.jpg"}));
    EXPECT_TRUE(form->RenameSel->isChecked());
    EXPECT_EQ(form->FileListBox1->CurrentIndex(), 0);

    form->eFind->setText(".jpg");
    form->eReplace->setText(".png");
    EXPECT_EQ(Tip(0), "a.jpg -> a.png");
    EXPECT_EQ(Tip(1), "b.jpg");
    form->Button2->click();
    EXPECT_EQ(tmp.Read("files/b.jpg"), "");
    for (const char* name : {"a.png", "c -\n$'\\%.png", "d\xff.png"})
        EXPECT_EQ(tmp.Read(std::string("files/") + name), "") << name;
    Destroy();
    EXPECT_EQ(Stored("RenameSel"), "1:0");

    // Switched by the user, the switch is stored as the user left it.
    StartOn({files + "/b.jpg", files + "/a.png"});
    EXPECT_EQ(Selected(), (std::vector<std::string>{"a.png", "b.jpg"}));
    form->RenameSel->trigger();
    form->RenameSel->trigger();
    Destroy();
    EXPECT_EQ(Stored("RenameSel"), "1:1");

    // One path keeps its meaning: the folder, a file's folder, with nothing selected.
    PutText("RenameSel", "0");
    StartOn({files + "/b.jpg"});
    EXPECT_EQ(form->DirectoryListBox1->FolderPath(), files);
    EXPECT_EQ(Selected(), std::vector<std::string>{});
    EXPECT_FALSE(form->RenameSel->isChecked());
}

TEST_F(StartSelection, PathsOfOtherFoldersMissingOnesAndUnlistedOnesAreNamed) {
    PutText("Jezik", "Deutsch");
    tmp.AddFolder("files/sub");
    tmp.AddFolder("other");
    for (const char* name : {"files/a.txt", "files/.hidden", "other/x.txt"})
        tmp.AddFile(name);
    const auto shown = StartOn({tmp / "gone.txt", files + "/a.txt", tmp / "other/x.txt",
                                files + "/sub", files + "/.hidden", files + "/new\nline"});
    EXPECT_EQ(form->DirectoryListBox1->FolderPath(), files);
    EXPECT_EQ(Selected(), std::vector<std::string>{"a.txt"});
    EXPECT_EQ(shown.count, 1);
    EXPECT_EQ(shown.icon, QMessageBox::Warning);
    EXPECT_EQ(shown.title, "Drostel");
    EXPECT_EQ(shown.text.toStdString(), "Diese Pfade wurden ausgelassen:\n" + tmp / "gone.txt" +
                                            ": existiert nicht\n" + tmp / "other/x.txt" +
                                            ": liegt in einem anderen Ordner\n" + files +
                                            "/new\xEF\xBF\xBDline: existiert nicht\n" + files +
                                            "/sub: steht nicht in der Dateiliste\n" + files +
                                            "/.hidden: steht nicht in der Dateiliste");

    // Nothing exists: the window opens as without a path, selected-only mode as stored.
    Destroy();
    PutText("RenameSel", "0");
    EXPECT_EQ(StartOn({tmp / "gone.txt", tmp / "<b>gone</b>"}).text.toStdString(),
              "Diese Pfade wurden ausgelassen:\n" + tmp / "gone.txt" + ": existiert nicht\n" +
                  tmp / "<b>gone</b>" + ": existiert nicht");
    EXPECT_FALSE(form->RenameSel->isChecked());
}

TEST(LeftOutPaths, TheFirstTwentyAreNamedAndTheRestCounted) {
    std::vector<TLeftOutPath> leftOut(23, {"/x", TLeftOut::Missing});
    const QStringList lines = LeftOutPathsText(leftOut).split('\n');
    ASSERT_EQ(lines.size(), 22);
    EXPECT_EQ(lines[0], "These paths were left out:");
    EXPECT_EQ(lines[20], "/x: it does not exist");
    EXPECT_EQ(lines[21], "... and 3 more");
}

} // namespace
} // namespace nomilo
