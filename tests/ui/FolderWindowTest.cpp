#include "browse/DirectoryListBox.h"
#include "browse/DriveComboBox.h"
#include "browse/FileListBox.h"
#include "platform/files/CurrentDir.h"
#include "tests/support/Modal.h"
#include "tests/ui/FormTesting.h"

#include <QAction>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace nomilo {
namespace {

using FolderWindow = test::FormTest;

TEST_F(FolderWindow, OpensOnTheStartFolderAndTheFileListFollowsTheFolderList) {
    tmp.AddFile("files/top.txt");
    tmp.AddFolder("files/sub");
    tmp.AddFile("files/sub/old.txt");
    TForm1& f = CreateShown();
    EXPECT_EQ(f.DirectoryListBox1->FolderPath(), files);
    EXPECT_EQ(f.FileListBox1->FolderPath(), files);
    EXPECT_EQ(f.DriveComboBox1->DriveLetter(), f.DirectoryListBox1->DriveLetter());
    EXPECT_EQ(Entries(), std::vector<std::string>{"top.txt"});

    // Another folder opened in the folder list: the file list and the current directory
    // follow, so the rename button renames there.
    f.DirectoryListBox1->SetFolderPath(files + "/sub");
    EXPECT_EQ(f.FileListBox1->FolderPath(), files + "/sub");
    EXPECT_EQ(GetCurrentDir(), files + "/sub");
    EXPECT_EQ(Entries(), std::vector<std::string>{"old.txt"});
    f.RenameSel->trigger(); // all entries
    f.eFind->setText("old");
    f.eReplace->setText("new");
    f.Button2->click();
    EXPECT_EQ(tmp.Read("files/sub/new.txt"), "");
    EXPECT_EQ(Entries(), std::vector<std::string>{"new.txt"});
}

TEST_F(FolderWindow, WithoutAStartFolderTheListsStartOnTheCurrentDirectory) {
    SetCurrentDir(files);
    TForm1& f = Create();
    EXPECT_EQ(f.DirectoryListBox1->FolderPath(), files);
    EXPECT_EQ(f.FileListBox1->FolderPath(), files);
}

// Started in a folder that was removed meanwhile, the window opens on the start folder, else on
// the home folder, and reports nothing.
TEST_F(FolderWindow, StartedInARemovedFolderTheWindowOpensOnTheStartFolderElseAtHome) {
    const std::string home = std::filesystem::canonical(std::getenv("HOME")).string();
    for (const std::string& startFolder : {files, std::string()}) {
        tmp.AddFolder("gone");
        SetCurrentDir(tmp / "gone");
        ASSERT_EQ(rmdir((tmp / "gone").c_str()), 0);
        const auto shown =
            test::CaptureMessageBoxes([&] { form = std::make_unique<TForm1>(store, startFolder); });
        EXPECT_EQ(shown.count, 0) << shown.text.toStdString();
        const std::string expected = startFolder.empty() ? home : files;
        EXPECT_EQ(form->DirectoryListBox1->FolderPath(), expected);
        EXPECT_EQ(form->FileListBox1->FolderPath(), expected);
        EXPECT_EQ(GetCurrentDir(), expected);
        Destroy();
    }
}

TEST_F(FolderWindow, AStartFolderThatCannotBeOpenedIsReportedAndTheWindowOpensAsStored) {
    PutText("Jezik", "Hrvatski");
    PutText("Panel2.Width", "90");
    const auto shown = test::CaptureMessageBoxes(
        [&] { form = std::make_unique<TForm1>(store, tmp / "no such folder"); });
    EXPECT_EQ(shown.count, 1);
    EXPECT_EQ(shown.title, "Tarvolen");
    EXPECT_EQ(shown.text, "File not found.");
    EXPECT_EQ(shown.icon, QMessageBox::Critical);
    // The settings are read and applied all the same.
    EXPECT_EQ(form->windowTitle(), "Velkaro");
    EXPECT_EQ(form->Panel2->width(), 90);
    EXPECT_EQ(form->Button2->text(), "Preimenuj");
}

} // namespace
} // namespace nomilo
