#include "browse/DriveComboBox.h"

#include "browse/DirectoryListBox.h"
#include "browse/FileListBox.h"
#include "platform/CurrentDir.h"
#include "platform/DriveFolders.h"
#include "platform/EInOutError.h"
#include "tests/browse/FileListTesting.h"
#include "tests/support/DriveTables.h"
#include "tests/support/TempFolder.h"

#include <QCoreApplication>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>
#include <set>

namespace nomilo {
namespace {

using ::testing::ElementsAre;

std::vector<std::string> Texts(const TDriveComboBox& combo) {
    std::vector<std::string> texts;
    for (int i = 0; i < combo.EntryCount(); ++i)
        texts.push_back(combo.EntryText(i));
    return texts;
}

TEST(DriveComboBox, ListsThePresentDrivesInOrderInEitherCase) {
    std::set<std::string> hidden; // mount points that are not folders
    TDriveComboBox combo;
    combo.SetDriveSources(test::PreparedDrives(
        test::kDesktopMounts, [&](const std::string& path) { return !hidden.contains(path); }));
    EXPECT_EQ(combo.EntryCount(), 0); // nothing before the first show
    combo.show();
    int changes = 0;
    combo.OnChange = [&](TDriveComboBox*) { ++changes; };
    EXPECT_THAT(Texts(combo),
                ElementsAre("/ [system]", "/media/cd []", "/media/stick", "/mnt/x //server/share"));
    EXPECT_THAT((std::vector{combo.EntryType(0), combo.EntryType(1), combo.EntryType(2),
                             combo.EntryType(3)}),
                ElementsAre(dtFixed, dtCdRom, dtRemovable, dtNetwork));
    EXPECT_EQ(combo.DriveLetter(), "/"); // the drive of the current directory
    EXPECT_EQ(combo.currentIndex(), 0);

    combo.SetTextCase(tcUpperCase);
    EXPECT_THAT(Texts(combo),
                ElementsAre("/ [SYSTEM]", "/media/cd []", "/media/stick", "/mnt/x //SERVER/SHARE"));
    // Assigned its current value, TextCase still reads the drives again.
    hidden.insert("/media/cd"); // the CD is taken out
    combo.SetTextCase(tcUpperCase);
    EXPECT_THAT(Texts(combo), ElementsAre("/ [SYSTEM]", "/media/stick", "/mnt/x //SERVER/SHARE"));
    EXPECT_EQ(combo.currentIndex(), 0);
    EXPECT_EQ(changes, 2);

    // The entry height follows the font, never below the drive glyphs.
    QFont font = combo.font();
    font.setPixelSize(4);
    combo.setFont(font);
    EXPECT_EQ(combo.ItemHeight(), 11);
    font.setPixelSize(30);
    combo.setFont(font);
    EXPECT_EQ(combo.ItemHeight(), QFontMetrics(font).height());
}

// A temporary tree with a drive of its own, "stick", and a folder list, file list and drive
// selector linked as in the main window. "gone" is listed (its mount point was there when the
// table was read) but cannot be entered.
class DriveSelector : public ::testing::Test {
protected:
    void SetUp() override {
        ForgetEnteredFolders();
        for (const char* folder : {"a/b", "stick/in", "other"})
            tmp.AddFolder(folder);
        tmp.AddFile("stick/s.txt");
        tmp.AddFile("stick/in/in.txt");
        const TDriveSources sources =
            test::PreparedDrives(test::MountLine(tmp / "stick", "vfat", "/dev/sdb1") +
                                     test::MountLine(tmp / "gone", "ext4", "/dev/sdc1"),
                                 [](const std::string&) { return true; });
        SetCurrentDir(tmp.Path());
        list->SetDriveSources(sources);
        list->SetFileList(files.get());
        combo->SetDriveSources(sources);
        combo->SetDirList(list.get());
        list->OnChange = [this](TDirectoryListBox*) { ++listChanges; };
        combo->OnChange = [this](TDriveComboBox*) { ++changes; };
        combo->OnClick = [this](TDriveComboBox*) { ++clicks; };
        files->show();
        list->show();
        combo->show();
        ASSERT_THAT(Texts(*combo), ElementsAre("/ [system]", tmp / "gone [backup]", tmp / "stick"));
        list->SetFolderPath(tmp / "a/b");
        changes = clicks = listChanges = 0;
    }
    void TearDown() override { ForgetEnteredFolders(); }

    void ExpectAt(const std::string& folder) const {
        EXPECT_EQ(list->FolderPath(), folder);
        EXPECT_EQ(files->FolderPath(), folder);
        EXPECT_EQ(GetCurrentDir(), folder);
    }

    test::TempFolder tmp;
    std::unique_ptr<TFileListBox> files = std::make_unique<TFileListBox>();
    std::unique_ptr<TDirectoryListBox> list = std::make_unique<TDirectoryListBox>();
    std::unique_ptr<TDriveComboBox> combo = std::make_unique<TDriveComboBox>();
    int changes = 0, clicks = 0, listChanges = 0;
    const int gone = 1, stick = 2;
};

TEST_F(DriveSelector, PickingADriveGoesToItsOwnFolderAndBack) {
    EXPECT_EQ(combo->DriveLetter(), "/");
    combo->setCurrentIndex(stick); // the user's pick
    EXPECT_EQ(combo->DriveLetter(), tmp / "stick");
    ExpectAt(tmp / "stick"); // nothing entered on it yet: its mount point
    EXPECT_THAT(test::TextsOf(*files), ElementsAre("s.txt"));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(changes, 2); // once from the switch, once for the pick
    EXPECT_EQ(listChanges, 1);

    list->SetFolderPath("in");
    combo->setCurrentIndex(0);
    ExpectAt(tmp / "a/b"); // the folder last entered on "/"
    EXPECT_EQ(list->DriveLetter(), "/");
    combo->setCurrentIndex(stick);
    ExpectAt(tmp / "stick/in");
    EXPECT_THAT(test::TextsOf(*files), ElementsAre("in.txt"));
    EXPECT_EQ(changes, 6);
    EXPECT_EQ(listChanges, 4);
}

TEST_F(DriveSelector, OpeningAFolderOnAnotherDriveMovesTheSelector) {
    list->SetFolderPath(tmp / "stick/in");
    ExpectAt(tmp / "stick/in");
    EXPECT_EQ(combo->DriveLetter(), tmp / "stick");
    EXPECT_EQ(combo->currentIndex(), stick);
    EXPECT_FALSE(list->InFolderChange());
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(listChanges, 1); // the drive switch on the way fires nothing of its own
    list->SetFolderPath(tmp / "other");
    EXPECT_EQ(combo->currentIndex(), 0);

    // A drive without an entry keeps the selection and still moves the folder list.
    combo->SetDriveLetter(tmp / "other");
    EXPECT_EQ(combo->DriveLetter(), tmp / "other");
    EXPECT_EQ(combo->currentIndex(), 0);
    ExpectAt(tmp / "other");
    EXPECT_EQ(changes, 3);
}

// The error reaches the caller; the selector already shows the new drive while the lists stay
// where they were. The same drive again does nothing; another drive and then this one try again.
TEST_F(DriveSelector, ADriveThatCannotBeEnteredLeavesTheListsWhereTheyWere) {
    EXPECT_THROW(combo->SetDriveLetter(tmp / "gone"), EInOutError);
    EXPECT_EQ(combo->DriveLetter(), tmp / "gone");
    EXPECT_EQ(combo->currentIndex(), gone);
    ExpectAt(tmp / "a/b");
    EXPECT_EQ(list->DriveLetter(), "/");
    EXPECT_EQ(changes + listChanges, 0);

    combo->SetDriveLetter(tmp / "gone");
    EXPECT_EQ(changes, 0);
    combo->SetDriveLetter("/");
    EXPECT_EQ(changes, 1);
    EXPECT_THROW(combo->SetDriveLetter(tmp / "gone"), EInOutError);

    // From a user's pick the error goes on to the event loop (and so to the error report),
    // not through the combo box's own code.
    combo->SetDriveLetter("/");
    combo->setCurrentIndex(gone);
    EXPECT_EQ(combo->DriveLetter(), tmp / "gone");
    ExpectAt(tmp / "a/b");
    EXPECT_THROW(QCoreApplication::sendPostedEvents(combo.get(), QEvent::MetaCall), EInOutError);
}

TEST_F(DriveSelector, LinksAreWeakBothWays) {
    EXPECT_EQ(list->DriveComboLink(), combo.get());
    TDirectoryListBox other;
    combo->SetDirList(&other);
    EXPECT_EQ(list->DriveComboLink(), nullptr);
    EXPECT_EQ(other.DriveComboLink(), combo.get());
    combo.reset();
    EXPECT_EQ(other.DriveComboLink(), nullptr);
    TDriveComboBox again;
    again.SetDirList(list.get());
    list.reset();
    EXPECT_EQ(again.DirList(), nullptr);
}

} // namespace
} // namespace nomilo
