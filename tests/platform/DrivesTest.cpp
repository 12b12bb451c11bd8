#include "platform/Drives.h"

#include "tests/support/DriveTables.h"

#include <gtest/gtest.h>
#include <set>

namespace nomilo {
namespace {

// Lists the drives of `table` after the prepared root, recording which paths were looked at.
struct FakeMachine {
    std::set<std::string> notFolders;
    std::vector<std::string> looked;

    std::vector<TDrive> List(const std::string& table) {
        return ListDrives(test::PreparedDrives(table, [this](const std::string& path) {
            looked.push_back(path);
            return !notFolders.contains(path);
        }));
    }
};

std::vector<std::string> MountPoints(const std::vector<TDrive>& drives) {
    std::vector<std::string> points;
    for (const TDrive& drive : drives)
        points.push_back(drive.mountPoint);
    return points;
}

TEST(ListDrives, NetworkMountPointsAreNeverLookedAt) {
    FakeMachine machine;
    const auto drives =
        machine.List(test::kDesktopMounts + "37 34 8:33 / /mnt/x/inner rw - ext4 /dev/sdc1 rw\n"
                                            "38 28 0:43 / /mnt/nfs rw - nfs4 host:/export rw\n"
                                            "39 28 0:44 / /mnt/gone rw - cifs  rw\n");
    EXPECT_EQ(machine.looked, (std::vector<std::string>{"/media/cd", "/media/stick"}));
    // A local mount below a share is listed without a look either.
    ASSERT_EQ(MountPoints(drives),
              (std::vector<std::string>{"/", "/media/cd", "/media/stick", "/mnt/gone", "/mnt/nfs",
                                        "/mnt/x", "/mnt/x/inner"}));
    EXPECT_EQ(DriveDescription(drives[3]), "[]"); // no remote name: the label text
    EXPECT_EQ(DriveDescription(drives[4]), "host:/export");
    EXPECT_EQ(DriveDescription(drives[6]), "[Backup]");
}

TEST(ListDrives, SortsFileSystemsIntoDriveTypes) {
    const std::pair<const char*, TDriveType> cases[] = {
        // mount point, type and source; dtUnknown: not listed
        {"/n fuse.sshfs ann@host:", dtNetwork},
        {"/n 9p hostshare", dtNetwork},
        {"/c udf /dev/sr1", dtCdRom},
        {"/u iso9660 /dev/sdb1", dtCdRom},
        {"/tmp tmpfs tmpfs", dtRam},
        {"/devices tmpfs tmpfs", dtRam},
        {"/run/lock tmpfs tmpfs", dtUnknown},
        {"/sys/x tmpfs tmpfs", dtUnknown},
        {"/data btrfs /dev/mapper/root", dtFixed},
        {"/w fuseblk /dev/sdd1", dtFixed},
        {"/snap/x squashfs /dev/loop3", dtUnknown},
        {"/d fuse portal", dtUnknown},
    };
    for (const auto& [mount, type] : cases) {
        std::string line = mount;
        line.insert(line.find(' ') + 1, "rw - ");
        // The root is a fixed drive whatever its file system, an overlay in a container too.
        TDriveSources sources;
        sources.mountTable = "1 0 0:1 / / rw - overlay overlay rw\n2 1 0:2 / " + line + "\n";
        sources.folderExists = [](const std::string&) { return true; };
        const auto drives = ListDrives(sources);
        ASSERT_EQ(drives.size(), type == dtUnknown ? 1u : 2u) << mount;
        EXPECT_EQ(drives[0].type, dtFixed);
        EXPECT_EQ(drives.back().type, type == dtUnknown ? dtFixed : type) << mount;
    }
}

TEST(ListDrives, EachMountPointCountsOnceAsItsLastMountIfItIsAFolder) {
    FakeMachine machine;
    machine.notFolders = {"/etc/hosts"};
    const auto drives = machine.List("1 0 0:1 / / rw - rootfs rootfs rw\n"
                                     "28 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                                     "32 28 8:17 / /media/stick rw - vfat /dev/sdb1 rw\n"
                                     "33 28 8:33 / /media/stick rw - ext4 /dev/sdc1 rw\n"
                                     "34 28 8:34 / /hidden rw - ext4 /dev/sdc2 rw\n"
                                     "35 28 0:9 / /hidden rw - proc proc rw\n"
                                     "36 28 8:1 /h /etc/hosts rw - ext4 /dev/sda1 rw\n");
    ASSERT_EQ(MountPoints(drives), (std::vector<std::string>{"/", "/media/stick"}));
    EXPECT_EQ(drives[0].volumeLabel, "SYSTEM");
    EXPECT_EQ(drives[1].type, dtFixed);
    EXPECT_EQ(drives[1].volumeLabel, "Backup");
    // Without a root in the table, "/" is still the first drive; so on the machine itself.
    EXPECT_EQ(MountPoints(ListDrives(TDriveSources{})), std::vector<std::string>{"/"});
    EXPECT_EQ(ListDrives().at(0).mountPoint, "/");
}

TEST(DriveOfPath, TakesTheLongestMountPointOnASeparatorBoundary) {
    FakeMachine machine;
    const auto drives = machine.List(test::kDesktopMounts);
    const std::pair<const char*, const char*> cases[] = {
        {"/", "/"},
        {"/mnt/x", "/mnt/x"},
        {"/mnt/x/photos/2023", "/mnt/x"},
        {"/mnt/xy", "/"},
        {"/mnt", "/"},
        {"/media/stick/DCIM", "/media/stick"},
        {"/dev/shm/x", "/"}, // mounts that are no drives belong to the drive around them
        {"mnt/x", ""},       // a relative path is on no drive
        {"", ""},
    };
    for (const auto& [path, drive] : cases)
        EXPECT_EQ(DriveOfPath(path, drives), drive) << path;
    EXPECT_EQ(DriveOfPath("/"), "/");
}

} // namespace
} // namespace nomilo
