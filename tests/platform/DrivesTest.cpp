#include "platform/Drives.h"

#include <gtest/gtest.h>
#include <set>

namespace nomilo {
namespace {

// A desktop with a USB stick, the system disk, a CD without a label and a network share, plus
// the pseudo file systems every Linux machine mounts.
const std::string kDesktopTable =
    "22 28 0:21 / /proc rw,nosuid,nodev,noexec,relatime shared:5 - proc proc rw\n"
    "23 28 0:22 / /sys rw,nosuid,nodev,noexec,relatime shared:6 - sysfs sysfs rw\n"
    "24 28 0:5 / /dev rw,nosuid,relatime shared:2 - devtmpfs udev rw,size=8000000k,mode=755\n"
    "25 24 0:23 / /dev/shm rw,nosuid,nodev shared:3 - tmpfs tmpfs rw\n"
    "27 26 0:25 / /run/user/1000 rw,nosuid shared:300 - tmpfs tmpfs rw,size=1600000k\n"
    "32 28 8:17 / /media/stick rw,nosuid,nodev shared:12 - vfat /dev/sdb1 rw,fmask=0022\n"
    "28 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw,errors=remount-ro\n"
    "29 23 0:26 / /sys/fs/cgroup rw,nosuid shared:9 - cgroup2 cgroup2 rw\n"
    "31 28 7:0 / /snap/core/123 ro,nodev,relatime shared:11 - squashfs /dev/loop0 ro\n"
    "33 28 11:0 / /media/cd ro,nosuid,nodev shared:13 - iso9660 /dev/sr0 ro,nojoliet\n"
    "34 28 0:40 / /mnt/x rw,relatime shared:14 - cifs //server/share rw,vers=3.1.1\n"
    "35 28 0:41 / /home rw,relatime shared:15 - autofs systemd-1 rw,fd=49\n"
    "36 28 0:42 / /var/lib/docker/overlay2/abc/merged rw - overlay overlay rw,lowerdir=/l\n";

// The sources a test hands in; records which paths the listing looked at.
struct FakeMachine {
    std::set<std::string> notFolders;
    std::vector<std::string> looked;

    TDriveSources Sources(const std::string& table) {
        TDriveSources sources;
        sources.mountTable = table;
        sources.labels = {{"/dev/sda1", "SYSTEM"}, {"/dev/sdb1", "STICK"}, {"/dev/sdc1", "Backup"}};
        sources.isRemovable = [](const std::string& device) { return device == "/dev/sdb1"; };
        sources.folderExists = [this](const std::string& path) {
            looked.push_back(path);
            return !notFolders.contains(path);
        };
        return sources;
    }
    std::vector<TDrive> List(const std::string& table) { return ListDrives(Sources(table)); }
};

std::vector<std::string> MountPoints(const std::vector<TDrive>& drives) {
    std::vector<std::string> points;
    for (const TDrive& drive : drives)
        points.push_back(drive.mountPoint);
    return points;
}

TEST(ListDrives, GivesThePresentDrivesInMountPointOrder) {
    FakeMachine machine;
    const auto drives = machine.List(kDesktopTable);
    ASSERT_EQ(MountPoints(drives),
              (std::vector<std::string>{"/", "/media/cd", "/media/stick", "/mnt/x"}));
    EXPECT_EQ(drives[0].type, dtFixed);
    EXPECT_EQ(DriveDescription(drives[0]), "[SYSTEM]");
    EXPECT_EQ(drives[1].type, dtCdRom);
    EXPECT_EQ(DriveDescription(drives[1]), "[]");
    // A removable drive is not asked for its label and shows its mount point alone.
    EXPECT_EQ(drives[2].type, dtRemovable);
    EXPECT_EQ(drives[2].volumeLabel, "");
    EXPECT_EQ(DriveDescription(drives[2]), "");
    EXPECT_EQ(drives[3].type, dtNetwork);
    EXPECT_EQ(drives[3].remoteName, "//server/share");
    EXPECT_EQ(DriveDescription(drives[3]), "//server/share");
}

TEST(ListDrives, NetworkMountPointsAreNeverLookedAt) {
    FakeMachine machine;
    const auto drives =
        machine.List(kDesktopTable + "37 34 8:33 / /mnt/x/inner rw - ext4 /dev/sdc1 rw\n"
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
    struct Case {
        const char* mount; // mount point, type and source
        TDriveType type;   // dtUnknown: not listed
    };
    const Case cases[] = {
        {"/n nfs host:/a", dtNetwork},     {"/n fuse.sshfs ann@host:", dtNetwork},
        {"/n 9p hostshare", dtNetwork},    {"/c udf /dev/sr1", dtCdRom},
        {"/tmp tmpfs tmpfs", dtRam},       {"/r ramfs none", dtRam},
        {"/devices tmpfs tmpfs", dtRam},   {"/run/lock tmpfs tmpfs", dtUnknown},
        {"/sys/x tmpfs tmpfs", dtUnknown}, {"/data btrfs /dev/mapper/root", dtFixed},
        {"/w fuseblk /dev/sdd1", dtFixed}, {"/snap/x squashfs /dev/loop3", dtUnknown},
        {"/d fuse portal", dtUnknown},     {"/pool zfs pool/data", dtUnknown},
        {"/m overlay overlay", dtUnknown}, {"/u iso9660 /dev/sdb1", dtCdRom},
    };
    for (const Case& c : cases) {
        FakeMachine machine;
        std::string line = c.mount;
        line.insert(line.find(' ') + 1, "rw - ");
        // The root is a fixed drive whatever its file system, an overlay in a container too.
        const auto drives = machine.List("1 0 0:1 / / rw - overlay overlay rw\n2 1 0:2 / " + line);
        ASSERT_EQ(drives.size(), c.type == dtUnknown ? 1u : 2u) << c.mount;
        EXPECT_EQ(drives[0].type, dtFixed);
        EXPECT_EQ(drives.back().type, c.type == dtUnknown ? dtFixed : c.type) << c.mount;
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
    // Without a root in the table, "/" is still the first drive.
    EXPECT_EQ(MountPoints(machine.List("")), std::vector<std::string>{"/"});
    EXPECT_EQ(MountPoints(machine.List("30 28 8:17 / /d rw - ext4 /dev/sdc1 rw")),
              (std::vector<std::string>{"/", "/d"}));
}

TEST(ListDrives, MachineListStartsWithTheRoot) {
    const auto drives = ListDrives();
    ASSERT_FALSE(drives.empty());
    EXPECT_EQ(drives[0].mountPoint, "/");
    EXPECT_EQ(DriveOfPath("/"), "/");
}

TEST(DriveOfPath, TakesTheLongestMountPointOnASeparatorBoundary) {
    FakeMachine machine;
    const auto drives = machine.List(kDesktopTable);
    const std::pair<const char*, const char*> cases[] = {
        {"/", "/"},
        {"/home/ann", "/"},
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
}

TEST(UnescapeLabelName, TurnsUdevEscapesIntoBytes) {
    EXPECT_EQ(UnescapeLabelName("My\\x20Stick\\x2f\\x5C"), "My Stick/\\");
    EXPECT_EQ(UnescapeLabelName("\\xc3\\xa9t\\xC3\\xA9"), "\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(UnescapeLabelName("\\xZZ\\x4 end\\"), "\\xZZ\\x4 end\\");
}

} // namespace
} // namespace nomilo
