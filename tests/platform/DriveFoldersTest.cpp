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
        for (const char* folder : {"a/deep", "stick/b", "stick/old", "stick2"})
            tmp.AddFolder(folder);
        drives = {TDrive{"/", dtFixed, {}, {}, {}}, TDrive{tmp / "stick", dtRemovable, {}, {}, {}}};
    }
    void TearDown() override { ForgetEnteredFolders(); }

    test::TempFolder tmp;
    std::vector<TDrive> drives;
};

TEST_F(DriveFolders, EnteringADriveGoesBackToItsNewestFolderThatStillExists) {
    SetCurrentDir(tmp / "stick/old");
    SetCurrentDir(tmp / "stick/b");
    SetCurrentDir(tmp / "a");
    SetCurrentDir("deep");         // recorded as the absolute folder
    SetCurrentDir(tmp / "stick2"); // on "/": not below "stick"
    EXPECT_EQ(EnterDrive(tmp / "stick", drives), tmp / "stick/b");
    EXPECT_EQ(GetCurrentDir(), tmp / "stick/b");
    EXPECT_EQ(EnterDrive("/", drives), tmp / "stick2");
    SetCurrentDir(tmp / "a/deep");
    // A drive that has left the list still finds its folder.
    EXPECT_EQ(DriveOwnFolder(tmp / "stick", {drives[0]}), tmp / "stick/b");

    ASSERT_EQ(rmdir((tmp / "stick/b").c_str()), 0);
    EXPECT_EQ(EnterDrive(tmp / "stick", drives), tmp / "stick/old");
    SetCurrentDir(tmp / "a");
    ASSERT_EQ(rmdir((tmp / "stick/old").c_str()), 0);
    EXPECT_EQ(EnterDrive(tmp / "stick", drives), tmp / "stick");
}

TEST_F(DriveFolders, RefusedEntryRaisesStaysPutAndRecordsNothing) {
    SetCurrentDir(tmp / "a");
    ASSERT_EQ(rmdir((tmp / "stick2").c_str()), 0);
    for (const std::string& mountPoint : {tmp / "stick2", std::string()})
        EXPECT_THROW(EnterDrive(mountPoint, drives), EInOutError) << mountPoint;
    EXPECT_THROW(SetCurrentDir(tmp / "missing"), EInOutError);
    EXPECT_EQ(GetCurrentDir(), tmp / "a");
    EXPECT_EQ(EnteredFolders(), std::vector<std::string>{tmp / "a"});
}

TEST_F(DriveFolders, RecordIsBoundedNewestFirstAndWithoutRepeats) {
    for (std::size_t i = 0; i < kEnteredFoldersKept + 20; ++i)
        RecordEnteredFolder("/f" + std::to_string(i));
    RecordEnteredFolder("/f50");
    RecordEnteredFolder("/f50");
    const auto folders = EnteredFolders();
    ASSERT_EQ(folders.size(), kEnteredFoldersKept);
    EXPECT_EQ(folders[0], "/f50");
    EXPECT_EQ(folders[1], "/f" + std::to_string(kEnteredFoldersKept + 19));
    EXPECT_EQ(folders.back(), "/f20");
    EXPECT_EQ(std::count(folders.begin(), folders.end(), "/f50"), 1);
}

} // namespace
} // namespace nomilo
