#include "browse/DriveComboBox.h"

#include "browse/DirectoryListBox.h"
#include "browse/FileListBox.h"
#include "platform/CurrentDir.h"
#include "platform/DriveFolders.h"
#include "platform/EInOutError.h"
#include "tests/support/DriveTables.h"
#include "tests/browse/FileListTesting.h"
#include "tests/support/TempFolder.h"

#include <QCoreApplication>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>
#include <set>

namespace nomilo {
namespace {

using test::TempFolder;
using ::testing::ElementsAre;

// A desktop with a USB stick, the system disk, a CD without a label and a network share, plus
// the pseudo file systems every Linux machine mounts. None of its mount points need exist.
const std::string kDesktopTable =
    "22 28 0:21 / /proc rw,nosuid,nodev,noexec,relatime shared:5 - proc proc rw\n"
    "23 28 0:22 / /sys rw,nosuid,nodev,noexec,relatime shared:6 - sysfs sysfs rw\n"
    "24 28 0:5 / /dev rw,nosuid,relatime shared:2 - devtmpfs udev rw,size=8000000k,mode=755\n"
    "25 24 0:23 / /dev/shm rw,nosuid,nodev shared:3 - tmpfs tmpfs rw\n"
    "27 26 0:25 / /run/user/1000 rw,nosuid shared:300 - tmpfs tmpfs rw,size=1600000k\n"
    "32 28 8:17 / /media/stick rw,nosuid,nodev shared:12 - vfat /dev/sdb1 rw,fmask=0022\n"
    "29 23 0:26 / /sys/fs/cgroup rw,nosuid shared:9 - cgroup2 cgroup2 rw\n"
    "31 28 7:0 / /snap/core/123 ro,nodev,relatime shared:11 - squashfs /dev/loop0 ro\n"
    "33 28 11:0 / /media/cd ro,nosuid,nodev shared:13 - iso9660 /dev/sr0 ro,nojoliet\n"
    "34 28 0:40 / /mnt/x rw,relatime shared:14 - cifs //Server/Share rw,vers=3.1.1\n"
    "35 28 0:41 / /home rw,relatime shared:15 - autofs systemd-1 rw,fd=49\n";

std::vector<std::string> Texts(const TDriveComboBox& combo) {
    std::vector<std::string> texts;
    for (int i = 0; i < combo.EntryCount(); ++i)
        texts.push_back(combo.EntryText(i));
    return texts;
}

struct Counted {
    explicit Counted(TDriveComboBox& combo) {
        combo.OnChange = [this](TDriveComboBox*) { ++changes; };
        combo.OnClick = [this](TDriveComboBox*) { ++clicks; };
    }
    int changes = 0;
    int clicks = 0;
};

// The desktop's drives; `hidden` mount points are not folders.
TDriveSources Desktop(std::shared_ptr<std::set<std::string>> hidden = {}) {
    TDriveSources sources = test::PreparedDrives(kDesktopTable);
    sources.folderExists = [hidden](const std::string& path) {
        return !hidden || !hidden->contains(path);
    };
    return sources;
}

TEST(DriveComboBox, ListsThePresentDrivesInOrderInEitherCase) {
    TDriveComboBox combo;
    combo.SetDriveSources(Desktop());
    EXPECT_EQ(combo.EntryCount(), 0); // nothing before the first show
    combo.show();
    EXPECT_THAT(Texts(combo),
                ElementsAre("/ [system]", "/media/cd []", "/media/stick", "/mnt/x //server/share"));
    EXPECT_EQ(combo.EntryType(0), dtFixed);
    EXPECT_EQ(combo.EntryType(1), dtCdRom);
    EXPECT_EQ(combo.EntryType(2), dtRemovable);
    EXPECT_EQ(combo.EntryType(3), dtNetwork);
    EXPECT_EQ(combo.DriveLetter(), "/"); // the drive of the current directory
    EXPECT_EQ(combo.currentIndex(), 0);

    combo.SetTextCase(tcUpperCase);
    EXPECT_THAT(Texts(combo),
                ElementsAre("/ [SYSTEM]", "/media/cd []", "/media/stick", "/mnt/x //SERVER/SHARE"));
    EXPECT_EQ(combo.currentIndex(), 0);

    // A share whose remote name is not known shows its label text instead.
    TDriveComboBox unknownShare;
    unknownShare.SetDriveSources(
        test::PreparedDrives("39 28 0:44 / /mnt/gone rw - cifs  rw\n"
                             "40 28 0:45 / /mnt/lab rw - nfs4 /dev/sdc1 rw\n"));
    unknownShare.show();
    EXPECT_THAT(Texts(unknownShare),
                ElementsAre("/ [system]", "/mnt/gone []", "/mnt/lab /dev/sdc1"));
}

TEST(DriveComboBox, EntryHeightFollowsTheFontWithoutAnExtraPixel) {
    TDriveComboBox combo;
    QFont font = combo.font();
    font.setPixelSize(4);
    combo.setFont(font);
    EXPECT_EQ(combo.ItemHeight(), 11);
    font.setPixelSize(30);
    combo.setFont(font);
    EXPECT_EQ(combo.ItemHeight(), QFontMetrics(font).height());
}

TEST(DriveComboBox, TextCaseAssignedAgainStillRebuildsAndSelectsTheDrive) {
    auto hidden = std::make_shared<std::set<std::string>>();
    TDriveComboBox combo;
    combo.SetDriveSources(Desktop(hidden));
    combo.show();
    Counted counted(combo);
    hidden->insert("/media/cd"); // the CD is taken out
    combo.SetTextCase(tcLowerCase);
    EXPECT_THAT(Texts(combo), ElementsAre("/ [system]", "/media/stick", "/mnt/x //server/share"));
    EXPECT_EQ(combo.currentIndex(), 0);
    EXPECT_EQ(counted.changes, 1);
}

// A temporary tree with a drive of its own, "stick", and a folder list, file list and drive
// selector linked as in the main window.
class DriveSelector : public ::testing::Test {
protected:
    void SetUp() override {
        ForgetEnteredFolders();
        for (const char* folder : {"a/b", "stick/in", "other"})
            tmp.AddFolder(folder);
        tmp.AddFile("a/b/b.txt");
        tmp.AddFile("stick/s.txt");
        tmp.AddFile("stick/in/in.txt");
        TDriveSources sources =
            test::PreparedDrives(test::MountLine(tmp / "stick", "vfat", "/dev/sdb1") +
                                 test::MountLine(tmp / "gone", "ext4", "/dev/sdc1"));
        // "gone" is listed (its mount point was there when the table was read) but cannot be
        // entered.
        sources.folderExists = [](const std::string&) { return true; };
        SetCurrentDir(tmp.Path());
        files = std::make_unique<TFileListBox>();
        list = std::make_unique<TDirectoryListBox>();
        list->SetDriveSources(sources);
        list->SetFileList(files.get());
        combo = std::make_unique<TDriveComboBox>();
        combo->SetDriveSources(sources);
        combo->SetDirList(list.get());
        list->OnChange = [this](TDirectoryListBox*) { ++listChanges; };
        counted = std::make_unique<Counted>(*combo);
        files->show();
        list->show();
        combo->show();
        ASSERT_THAT(Texts(*combo), ElementsAre("/ [system]", tmp / "gone [backup]", tmp / "stick"));
        stick = 2;
        gone = 1;
        list->SetFolderPath(tmp / "a/b");
        counted->changes = counted->clicks = listChanges = 0;
    }
    void TearDown() override { ForgetEnteredFolders(); }

    // The user picks entry `index` in the drop-down list.
    void Pick(int index) { combo->setCurrentIndex(index); }
    void ExpectAt(const std::string& folder) const {
        EXPECT_EQ(list->FolderPath(), folder);
        EXPECT_EQ(files->FolderPath(), folder);
        EXPECT_EQ(GetCurrentDir(), folder);
    }

    TempFolder tmp;
    std::unique_ptr<TFileListBox> files;
    std::unique_ptr<TDirectoryListBox> list;
    std::unique_ptr<TDriveComboBox> combo;
    std::unique_ptr<Counted> counted;
    int listChanges = 0;
    int stick = 0, gone = 0;
};

TEST_F(DriveSelector, PickingADriveGoesToItsOwnFolderAndBack) {
    EXPECT_EQ(combo->DriveLetter(), "/");
    EXPECT_EQ(combo->currentIndex(), 0);

    Pick(stick);
    EXPECT_EQ(combo->DriveLetter(), tmp / "stick");
    ExpectAt(tmp / "stick"); // nothing entered on it yet: its mount point
    EXPECT_THAT(test::TextsOf(*files), ElementsAre("s.txt"));
    EXPECT_EQ(counted->clicks, 1);
    EXPECT_EQ(counted->changes, 2); // once from the switch, once for the pick
    EXPECT_EQ(listChanges, 1);

    list->SetFolderPath("in");
    Pick(0);
    ExpectAt(tmp / "a/b"); // the folder last entered on "/"
    EXPECT_EQ(list->DriveLetter(), "/");
    Pick(stick);
    ExpectAt(tmp / "stick/in");
    EXPECT_THAT(test::TextsOf(*files), ElementsAre("in.txt"));
    EXPECT_EQ(counted->changes, 6);
    EXPECT_EQ(listChanges, 4);
}

TEST_F(DriveSelector, OpeningAFolderOnAnotherDriveMovesTheSelector) {
    list->SetFolderPath(tmp / "stick/in");
    ExpectAt(tmp / "stick/in");
    EXPECT_EQ(combo->DriveLetter(), tmp / "stick");
    EXPECT_EQ(combo->currentIndex(), stick);
    EXPECT_FALSE(list->InFolderChange());
    EXPECT_EQ(counted->changes, 1);
    EXPECT_EQ(listChanges, 1); // the drive switch on the way fires nothing of its own

    list->SetFolderPath(tmp / "other");
    EXPECT_EQ(combo->DriveLetter(), "/");
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(listChanges, 2);
}

TEST_F(DriveSelector, ADriveWithoutAnEntryKeepsTheSelectionAndStillMovesTheFolderList) {
    combo->SetDriveLetter(tmp / "other");
    EXPECT_EQ(combo->DriveLetter(), tmp / "other");
    EXPECT_EQ(combo->currentIndex(), 0);
    ExpectAt(tmp / "other");
    EXPECT_EQ(counted->changes, 1);
}

// The error reaches the caller; the selector already shows the new drive while the lists stay
// where they were. Picking that drive again does nothing; another drive and then this one try
// again.
TEST_F(DriveSelector, ADriveThatCannotBeEnteredLeavesTheListsWhereTheyWere) {
    try {
        combo->SetDriveLetter(tmp / "gone");
        ADD_FAILURE() << "entered a drive that is gone";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.Code(), 2);
    }
    EXPECT_EQ(combo->DriveLetter(), tmp / "gone");
    EXPECT_EQ(combo->currentIndex(), gone);
    ExpectAt(tmp / "a/b");
    EXPECT_EQ(list->DriveLetter(), "/");
    EXPECT_EQ(counted->changes, 0);
    EXPECT_EQ(listChanges, 0);

    combo->SetDriveLetter(tmp / "gone");
    EXPECT_EQ(counted->changes, 0);
    combo->SetDriveLetter("/");
    EXPECT_EQ(counted->changes, 1);
    EXPECT_THROW(combo->SetDriveLetter(tmp / "gone"), EInOutError);

    // From a user's pick the error goes on to the event loop (and so to the error report),
    // not through the combo box's own code.
    combo->SetDriveLetter("/");
    Pick(gone);
    EXPECT_EQ(combo->DriveLetter(), tmp / "gone");
    ExpectAt(tmp / "a/b");
    EXPECT_THROW(QCoreApplication::sendPostedEvents(combo.get(), QEvent::MetaCall), EInOutError);
}

TEST_F(DriveSelector, LinksAreWeakBothWays) {
    EXPECT_EQ(combo->DirList(), list.get());
    EXPECT_EQ(list->DriveComboLink(), combo.get());
    TDirectoryListBox other;
    combo->SetDirList(&other);
    EXPECT_EQ(list->DriveComboLink(), nullptr);
    EXPECT_EQ(other.DriveComboLink(), combo.get());
    combo.reset();
    EXPECT_EQ(other.DriveComboLink(), nullptr);
    // Without a selector the folder list switches the drive itself.
    list->SetFolderPath(tmp / "stick/in");
    ExpectAt(tmp / "stick/in");
    EXPECT_EQ(list->DriveLetter(), tmp / "stick");

    TDriveComboBox again;
    again.SetDirList(list.get());
    list.reset();
    EXPECT_EQ(again.DirList(), nullptr);
}

} // namespace
} // namespace nomilo
