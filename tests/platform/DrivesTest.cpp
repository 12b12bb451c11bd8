#include "platform/Drives.h"

#include <gtest/gtest.h>
#include <set>

namespace nomilo {
namespace {

// A desktop with a USB stick, the system disk, a CD without a label and a network share, plus
// the pseudo file systems every Linux machine mounts.
const char* const kDesktopTable =
    "22 28 0:21 / /proc rw,nosuid,nodev,noexec,relatime shared:5 - proc proc rw\n"
    "23 28 0:22 / /sys rw,nosuid,nodev,noexec,relatime shared:6 - sysfs sysfs rw\n"
    "24 28 0:5 / /dev rw,nosuid,relatime shared:2 - devtmpfs udev rw,size=8000000k,mode=755\n"
    "25 24 0:23 / /dev/shm rw,nosuid,nodev shared:3 - tmpfs tmpfs rw\n"
    "26 28 0:24 / /run rw,nosuid,nodev,noexec shared:4 - tmpfs tmpfs rw,size=1600000k\n"
    "27 26 0:25 / /run/user/1000 rw,nosuid shared:300 - tmpfs tmpfs rw,size=1600000k\n"
    "32 28 8:17 / /media/stick rw,nosuid,nodev shared:12 - vfat /dev/sdb1 rw,fmask=0022\n"
    "28 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw,errors=remount-ro\n"
    "29 23 0:26 / /sys/fs/cgroup rw,nosuid shared:9 - cgroup2 cgroup2 rw\n"
    "31 28 7:0 / /snap/core/123 ro,nodev,relatime shared:11 - squashfs /dev/loop0 ro\n"
    "33 28 11:0 / /media/cd ro,nosuid,nodev shared:13 - iso9660 /dev/sr0 ro,nojoliet\n"
    "34 28 0:40 / /mnt/x rw,relatime shared:14 - cifs //server/share rw,vers=3.1.1\n"
    "35 28 0:41 / /home rw,relatime shared:15 - autofs systemd-1 rw,fd=49\n"
    "36 28 0:42 / /var/lib/docker/overlay2/abc/merged rw - overlay overlay rw,lowerdir=/l\n";

// Sources made of a table and the answers a test gives; records what the listing looked at.
struct FakeMachine {
    std::set<std::string> removable = {"/dev/sdb1"};
    std::set<std::string> notFolders;
    std::vector<std::string> folderChecks;
    std::vector<std::string> removableChecks;

    TDriveSources Sources(const std::string& table) {
        TDriveSources sources;
        sources.mountTable = table;
        sources.labels = {{"/dev/sda1", "SYSTEM"}, {"/dev/sdb1", "STICK"}, {"/dev/sdc1", "Backup"}};
        sources.isRemovable = [this](const std::string& device) {
            removableChecks.push_back(device);
            return removable.contains(device);
        };
        sources.folderExists = [this](const std::string& path) {
            folderChecks.push_back(path);
            return !notFolders.contains(path);
        };
        return sources;
    }
};

std::vector<std::string> MountPoints(const std::vector<TDrive>& drives) {
    std::vector<std::string> points;
    for (const TDrive& drive : drives)
        points.push_back(drive.mountPoint);
    return points;
}

TDrive Find(const std::vector<TDrive>& drives, const std::string& mountPoint) {
    for (const TDrive& drive : drives)
        if (drive.mountPoint == mountPoint)
            return drive;
    ADD_FAILURE() << mountPoint << " is not listed";
    return {};
}

TEST(ListDrives, GivesThePresentDrivesInMountPointOrder) {
    FakeMachine machine;
    const auto drives = ListDrives(machine.Sources(kDesktopTable));
    ASSERT_EQ(MountPoints(drives),
              (std::vector<std::string>{"/", "/media/cd", "/media/stick", "/mnt/x"}));

    EXPECT_EQ(drives[0].type, dtFixed);
    EXPECT_EQ(drives[0].volumeLabel, "SYSTEM");
    EXPECT_EQ(DriveDescription(drives[0]), "[SYSTEM]");

    EXPECT_EQ(drives[1].type, dtCdRom);
    EXPECT_EQ(drives[1].volumeLabel, "");
    EXPECT_EQ(DriveDescription(drives[1]), "[]");

    // A removable drive is not asked for its label and shows its mount point alone.
    EXPECT_EQ(drives[2].type, dtRemovable);
    EXPECT_EQ(drives[2].volumeLabel, "");
    EXPECT_EQ(DriveDescription(drives[2]), "");

    EXPECT_EQ(drives[3].type, dtNetwork);
    EXPECT_EQ(drives[3].remoteName, "//server/share");
    EXPECT_EQ(DriveDescription(drives[3]), "//server/share");
}

TEST(ListDrives, NeverLooksAtNetworkMountPointsOrAsksAboutOtherSources) {
    FakeMachine machine;
    const std::string table = std::string(kDesktopTable) +
                              "37 34 8:33 / /mnt/x/inner rw - ext4 /dev/sdc1 rw\n"
                              "38 28 0:43 / /mnt/nfs rw - nfs4 host:/export rw\n";
    const auto drives = ListDrives(machine.Sources(table));
    for (const std::string& path : machine.folderChecks) {
        EXPECT_NE(path.rfind("/mnt/", 0), 0u) << path << " was looked at";
        EXPECT_NE(path, "/") << "the root needs no look";
    }
    // A local mount below a network share is listed without a look either.
    EXPECT_EQ(Find(drives, "/mnt/x/inner").type, dtFixed);
    EXPECT_EQ(Find(drives, "/mnt/x/inner").volumeLabel, "Backup");
    EXPECT_EQ(Find(drives, "/mnt/nfs").remoteName, "host:/export");
    // Only block devices are asked whether they are removable.
    for (const std::string& device : machine.removableChecks)
        EXPECT_EQ(device.rfind("/dev/", 0), 0u) << device;
}

TEST(ListDrives, NetworkDriveWithoutRemoteNameShowsTheLabelText) {
    FakeMachine machine;
    const auto sources = machine.Sources("28 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                                         "34 28 0:40 / /mnt/x rw - cifs  rw\n"
                                         "35 28 0:41 / /mnt/y rw - 9p  rw\n");
    const auto drives = ListDrives(sources);
    ASSERT_EQ(MountPoints(drives), (std::vector<std::string>{"/", "/mnt/x", "/mnt/y"}));
    EXPECT_EQ(drives[1].type, dtNetwork);
    EXPECT_EQ(drives[1].remoteName, "");
    EXPECT_EQ(DriveDescription(drives[1]), "[]");
    TDrive labelled = drives[2];
    labelled.volumeLabel = "Share";
    EXPECT_EQ(DriveDescription(labelled), "[Share]");
}

TEST(ListDrives, SortsFileSystemsIntoDriveTypes) {
    struct Case {
        const char* fsType;
        const char* source;
        const char* mountPoint;
        TDriveType type; // dtUnknown: not listed
    };
    const Case cases[] = {
        {"nfs", "host:/a", "/n/nfs", dtNetwork},
        {"smb3", "//h/s", "/n/smb3", dtNetwork},
        {"fuse.sshfs", "ann@host:", "/n/ssh", dtNetwork},
        {"fuse.rclone", "gdrive:", "/n/rclone", dtNetwork},
        {"ceph", "10.0.0.1:/", "/n/ceph", dtNetwork},
        {"udf", "/dev/sr1", "/c/udf", dtCdRom},
        {"tmpfs", "tmpfs", "/tmp", dtRam},
        {"ramfs", "none", "/mnt/ram", dtRam},
        {"tmpfs", "tmpfs", "/devices", dtRam}, // not below /dev
        {"tmpfs", "tmpfs", "/run/lock", dtUnknown},
        {"tmpfs", "tmpfs", "/sys/fs/x", dtUnknown},
        {"tmpfs", "tmpfs", "/proc/x", dtUnknown},
        {"btrfs", "/dev/mapper/root", "/data", dtFixed},
        {"fuseblk", "/dev/sdd1", "/win", dtFixed},
        {"squashfs", "/dev/loop3", "/snap/x", dtUnknown},
        {"fuse", "portal", "/run2/doc", dtUnknown},
        {"fuse.gvfsd-fuse", "gvfsd-fuse", "/g", dtUnknown},
        {"zfs", "pool/data", "/pool", dtUnknown},
        {"overlay", "overlay", "/merged", dtUnknown},
        {"binfmt_misc", "binfmt_misc", "/binfmt", dtUnknown},
    };
    for (const Case& c : cases) {
        FakeMachine machine;
        const std::string table = "1 0 0:1 / / rw - overlay overlay rw\n2 1 0:2 / " +
                                  std::string(c.mountPoint) + " rw - " + c.fsType + " " + c.source +
                                  " rw\n";
        const auto drives = ListDrives(machine.Sources(table));
        // The root is always a fixed drive, even in a container whose root is an overlay.
        ASSERT_FALSE(drives.empty());
        EXPECT_EQ(drives[0].mountPoint, "/");
        EXPECT_EQ(drives[0].type, dtFixed);
        if (c.type == dtUnknown) {
            EXPECT_EQ(drives.size(), 1u) << c.fsType << " at " << c.mountPoint;
        } else {
            ASSERT_EQ(drives.size(), 2u) << c.fsType << " at " << c.mountPoint;
            EXPECT_EQ(drives[1].type, c.type) << c.fsType << " at " << c.mountPoint;
        }
    }
}

TEST(ListDrives, MountPointMountedTwiceCountsOnceAsItsLastMount) {
    FakeMachine machine;
    const auto drives =
        ListDrives(machine.Sources("1 0 0:1 / / rw - rootfs rootfs rw\n"
                                   "28 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                                   "32 28 8:17 / /media/stick rw - vfat /dev/sdb1 rw\n"
                                   "33 28 8:33 / /media/stick rw - ext4 /dev/sdc1 rw\n"
                                   "34 28 8:34 / /hidden rw - ext4 /dev/sdc2 rw\n"
                                   "35 28 0:9 / /hidden rw - proc proc rw\n"));
    ASSERT_EQ(MountPoints(drives), (std::vector<std::string>{"/", "/media/stick"}));
    EXPECT_EQ(drives[0].volumeLabel, "SYSTEM");
    EXPECT_EQ(drives[1].type, dtFixed);
    EXPECT_EQ(drives[1].volumeLabel, "Backup");
}

TEST(ListDrives, LeavesOutMountPointsThatAreNotFolders) {
    FakeMachine machine;
    machine.notFolders = {"/etc/hosts", "/media/gone"};
    const auto drives =
        ListDrives(machine.Sources("28 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                                   "29 28 8:1 /h /etc/hosts rw - ext4 /dev/sda1 rw\n"
                                   "30 28 8:17 / /media/gone rw - vfat /dev/sdb1 rw\n"
                                   "31 28 8:1 /v /volume rw - ext4 /dev/sda1 rw\n"));
    EXPECT_EQ(MountPoints(drives), (std::vector<std::string>{"/", "/volume"}));
}

TEST(ListDrives, RootIsThereWhateverTheTableHolds) {
    FakeMachine machine;
    for (const char* table : {"", "garbage\n", "30 28 8:17 / /data rw - ext4 /dev/sdc1 rw\n"}) {
        const auto drives = ListDrives(machine.Sources(table));
        ASSERT_FALSE(drives.empty()) << table;
        EXPECT_EQ(drives[0].mountPoint, "/");
        EXPECT_EQ(drives[0].type, dtFixed);
        EXPECT_EQ(drives[0].volumeLabel, "");
    }
}

TEST(ListDrives, MachineListStartsWithTheRoot) {
    const auto drives = ListDrives();
    ASSERT_FALSE(drives.empty());
    EXPECT_EQ(drives[0].mountPoint, "/");
    EXPECT_EQ(drives[0].type, dtFixed);
    for (const TDrive& drive : drives)
        EXPECT_NE(drive.type, dtUnknown) << drive.mountPoint;
}

TEST(DriveOfPath, TakesTheLongestMountPointOnASeparatorBoundary) {
    FakeMachine machine;
    const auto drives = ListDrives(machine.Sources(kDesktopTable));
    EXPECT_EQ(DriveOfPath("/", drives), "/");
    EXPECT_EQ(DriveOfPath("/home/ann", drives), "/");
    EXPECT_EQ(DriveOfPath("/mnt/x", drives), "/mnt/x");
    EXPECT_EQ(DriveOfPath("/mnt/x/", drives), "/mnt/x");
    EXPECT_EQ(DriveOfPath("/mnt/x/photos/2023", drives), "/mnt/x");
    EXPECT_EQ(DriveOfPath("/mnt/xy", drives), "/");
    EXPECT_EQ(DriveOfPath("/mnt", drives), "/");
    EXPECT_EQ(DriveOfPath("/media/stick/DCIM", drives), "/media/stick");
    // Mounts that are no drives belong to the drive around them.
    EXPECT_EQ(DriveOfPath("/dev/shm/x", drives), "/");
    EXPECT_EQ(DriveOfPath("/proc/self", drives), "/");
    // A relative or empty path is on no drive.
    EXPECT_EQ(DriveOfPath("mnt/x", drives), "");
    EXPECT_EQ(DriveOfPath("", drives), "");
    EXPECT_EQ(DriveOfPath("/anything", {}), "");
}

TEST(UnescapeLabelName, TurnsUdevEscapesIntoBytes) {
    EXPECT_EQ(UnescapeLabelName("My\\x20Stick"), "My Stick");
    EXPECT_EQ(UnescapeLabelName("a\\x2fb\\x5C"), "a/b\\");
    EXPECT_EQ(UnescapeLabelName("\\xc3\\xa9t\\xC3\\xA9"), "\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(UnescapeLabelName("\\xZZ\\x4"), "\\xZZ\\x4");
    EXPECT_EQ(UnescapeLabelName("end\\"), "end\\");
    EXPECT_EQ(UnescapeLabelName(""), "");
}

} // namespace
} // namespace nomilo
