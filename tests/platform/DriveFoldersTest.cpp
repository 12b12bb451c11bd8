#include "platform/DriveFolders.h"

#include "platform/CurrentDir.h"
#include "platform/EInOutError.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace nomilo {
namespace {

// A temporary folder mounted nowhere is part of "/"; its subfolder "stick" plays a drive.
class DriveFolders : public ::testing::Test {
protected:
    void SetUp() override {
        ForgetEnteredFolders();
        tmp.AddFolder("a/deep");
        tmp.AddFolder("stick/b");
        tmp.AddFolder("stick/old");
        tmp.AddFolder("stick2");
        drives = {TDrive{"/", dtFixed, {}, {}}, TDrive{tmp / "stick", dtRemovable, {}, {}}};
    }
    void TearDown() override { ForgetEnteredFolders(); }

    test::TempFolder tmp;
    std::vector<TDrive> drives;
};

int CodeOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EInOutError& e) {
        return e.Code();
    }
    return 0;
}

TEST_F(DriveFolders, EnteringADriveGoesBackToItsOwnFolder) {
    SetCurrentDir(tmp / "stick/old");
    SetCurrentDir(tmp / "a");
    SetCurrentDir("deep"); // recorded as the absolute folder
    SetCurrentDir(tmp / "stick/b");
    SetCurrentDir(tmp / "stick2"); // on "/": "stick2" is not below "stick"
    EXPECT_EQ(EnteredFolders().front(), tmp / "stick2");

    EXPECT_EQ(DriveOwnFolder(tmp / "stick", drives), tmp / "stick/b");
    EXPECT_EQ(EnterDrive(tmp / "stick", drives), tmp / "stick/b");
    EXPECT_EQ(GetCurrentDir(), tmp / "stick/b");

    EXPECT_EQ(EnterDrive("/", drives), tmp / "stick2");
    SetCurrentDir(tmp / "a/deep");
    EXPECT_EQ(EnterDrive(tmp / "stick", drives), tmp / "stick/b");
    EXPECT_EQ(EnterDrive("/", drives), tmp / "a/deep");
}

TEST_F(DriveFolders, GoneFoldersAreSkippedDownToTheMountPoint) {
    SetCurrentDir(tmp / "stick/old");
    SetCurrentDir(tmp / "stick/b");
    SetCurrentDir(tmp / "a");
    ASSERT_EQ(rmdir((tmp / "stick/b").c_str()), 0);
    EXPECT_EQ(EnterDrive(tmp / "stick", drives), tmp / "stick/old");

    SetCurrentDir(tmp / "a");
    ASSERT_EQ(rmdir((tmp / "stick/old").c_str()), 0);
    EXPECT_EQ(EnterDrive(tmp / "stick", drives), tmp / "stick");
    EXPECT_EQ(GetCurrentDir(), tmp / "stick");
}

TEST_F(DriveFolders, ADriveNoLongerListedStillFindsItsFolder) {
    SetCurrentDir(tmp / "stick/b");
    SetCurrentDir(tmp / "a");
    const std::vector<TDrive> rootOnly = {drives[0]};
    EXPECT_EQ(DriveOwnFolder(tmp / "stick", rootOnly), tmp / "stick/b");
}

TEST_F(DriveFolders, RefusedEntryRaisesAndStaysPut) {
    SetCurrentDir(tmp / "a");
    ASSERT_EQ(rmdir((tmp / "stick2").c_str()), 0);
    EXPECT_EQ(CodeOf([&] { EnterDrive(tmp / "stick2", drives); }), 2);
    EXPECT_EQ(CodeOf([&] { EnterDrive("", drives); }), 2);
    EXPECT_EQ(GetCurrentDir(), tmp / "a");
    // Refused changes record nothing.
    EXPECT_EQ(CodeOf([&] { SetCurrentDir(tmp / "missing"); }), 2);
    EXPECT_EQ(EnteredFolders(), std::vector<std::string>{tmp / "a"});
}

TEST_F(DriveFolders, RecordIsBoundedNewestFirstAndWithoutRepeats) {
    for (std::size_t i = 0; i < kEnteredFoldersKept + 20; ++i)
        RecordEnteredFolder("/f" + std::to_string(i));
    auto folders = EnteredFolders();
    ASSERT_EQ(folders.size(), kEnteredFoldersKept);
    EXPECT_EQ(folders.front(), "/f" + std::to_string(kEnteredFoldersKept + 19));
    EXPECT_EQ(folders.back(), "/f20");

    RecordEnteredFolder("/f50");
    RecordEnteredFolder("/f50");
    folders = EnteredFolders();
    EXPECT_EQ(folders.size(), kEnteredFoldersKept);
    EXPECT_EQ(folders[0], "/f50");
    EXPECT_EQ(std::count(folders.begin(), folders.end(), "/f50"), 1);
}

} // namespace
} // namespace nomilo
