#include "platform/drives/Drives.h"

#include "platform/drives/DriveFolders.h"
#include "platform/drives/internal/MountTable.h"
#include "platform/files/CurrentDir.h"
#include "platform/files/EInOutError.h"
#include "tests/support/DriveTables.h"
#include "tests/support/MountNamespace.h"
#include "tests/support/TempFolder.h"

#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <sys/mount.h>
#include <unistd.h>

namespace nomilo {
namespace {

using namespace std::string_literals;

TEST(MountTable, EscapesOfTheMountTableAndOfTheLabelNames) {
    EXPECT_EQ(UnescapeMountField("/my\\040stick\\011\\012\\134\\303\\251"),
              "/my stick\t\n\\\xC3\xA9");
    // Backslashes that start no escape stand for themselves; a NUL byte is in no path.
    EXPECT_EQ(UnescapeMountField("\\400\\08x\\x20a\\04\\"), "\\400\\08x\\x20a\\04\\");
    EXPECT_EQ(UnescapeMountField("/a\\000b"), std::nullopt);
    EXPECT_EQ(UnescapeLabelName("My\\x20Stick\\x2f\\x5C\\xc3\\xA9"), "My Stick/\\\xC3\xA9");
    EXPECT_EQ(UnescapeLabelName("\\xZZ\\x4 end\\"), "\\xZZ\\x4 end\\");
}

TEST(ParseMountInfo, ReadsTheFieldsAroundTheOptionalOnesAndSkipsMalformedLines) {
    const auto mounts = ParseMountInfo(
        "\ngarbage\n"
        "31 1 0:1 / /nosep rw ext4 /dev/sda3 rw\n"
        "32 1 0:1 / /notype rw -\n"
        "33 1 0:1 / /nosource rw - ext4\n"
        "x 1 0:1 / /badid rw - ext4 /dev/sda4 rw\n"
        "-3 1 0:1 / /negative rw - ext4 /dev/sda4 rw\n"
        "99999999999 1 0:1 / /huge rw - ext4 /dev/sda4 rw\n"
        "34 1 0:1 / relative rw - ext4 /dev/sda5 rw\n"
        "35 1 0:1 / /nul\\000byte rw - ext4 /dev/sda6 rw\n"
        // Found by the damage test below: a raw NUL byte must not reach a mount point.
        "28 1 8:1 / /\0/w,relatime - ext4 /dev/sda1 rw\n"s
        "36 1 0:1 / /emptytype rw -  /dev/sda7 rw\n"
        "41 28 0:50 /sub /srv/a\\040b rw shared:7 master:2 propagate_from:1 unbindable"
        " - fuse.sshfs ann@host:/home\\040dir rw\n"
        "38 1 0:1 / /nosuper rw - tmpfs tmpfs\n"
        "39 1 0:1 / /extra rw - tmpfs tmpfs rw more fields\n"
        "40 1 0:1 / /emptysource rw - cifs  rw");
    ASSERT_EQ(mounts.size(), 4u);
    EXPECT_EQ(mounts[0].mountId, 41);
    EXPECT_EQ(mounts[0].parentId, 28);
    EXPECT_EQ(mounts[0].root, "/sub");
    EXPECT_EQ(mounts[0].mountPoint, "/srv/a b");
    EXPECT_EQ(mounts[0].fsType, "fuse.sshfs");
    EXPECT_EQ(mounts[0].source, "ann@host:/home dir");
    EXPECT_EQ(mounts[1].mountPoint, "/nosuper");
    EXPECT_EQ(mounts[2].mountPoint, "/extra");
    EXPECT_EQ(mounts[3].mountPoint, "/emptysource");
    EXPECT_EQ(mounts[3].source, "");
}

// Random damage to a realistic table: the parser and the listing must not crash, and what they
// give must keep its promises. (scripts/fuzz runs the same for longer under libFuzzer.)
TEST(ParseMountInfo, SurvivesRandomDamage) {
    const std::string table =
        "22 28 0:21 / /proc rw,nosuid shared:5 - proc proc rw\n"
        "28 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw,errors=remount-ro\n"
        "30 28 0:27 / /tmp rw shared:10 - tmpfs tmpfs rw\n"
        "32 28 8:17 / /media/my\\040stick rw shared:12 - vfat /dev/sdb1 rw\n"
        "33 28 11:0 / /media/cd ro - iso9660 /dev/sr0 ro\n"
        "34 28 0:40 /sub /mnt/x rw shared:14 master:3 - cifs //server/share rw\n"
        "35 34 0:41 / /mnt/x/in\\134side rw - ext4 /dev/sdc1 rw\n";
    const std::string alphabet = " -\\01234567\n/:abx";
    std::mt19937 random(20240521u);
    auto pick = [&](std::size_t bound) {
        return std::uniform_int_distribution<std::size_t>(0, bound - 1)(random);
    };
    TDriveSources sources;
    sources.isRemovable = [](const std::string& device) { return device == "/dev/sdb1"; };
    sources.folderExists = [](const std::string&) { return true; };
    for (int round = 0; round < 3000; ++round) {
        std::string text = table;
        for (std::size_t d = 1 + pick(8); d > 0 && !text.empty(); --d) {
            const std::size_t at = pick(text.size());
            switch (pick(4)) {
            case 0:
                text[at] = alphabet[pick(alphabet.size())];
                break;
            case 1:
                text[at] = static_cast<char>(pick(256));
                break;
            case 2:
                text.erase(at, 1 + pick(12));
                break;
            default:
                text.insert(at, text.substr(pick(text.size()), pick(40)));
                break;
            }
        }
        for (const TMountEntry& mount : ParseMountInfo(text)) {
            ASSERT_EQ(mount.mountPoint.front(), '/') << text;
            ASSERT_EQ(mount.mountPoint.find('\0'), std::string::npos) << text;
            ASSERT_FALSE(mount.fsType.empty()) << text;
        }
        sources.mountTable = text;
        const std::vector<TDrive> drives = ListDrives(sources);
        ASSERT_EQ(drives.at(0).mountPoint, "/");
        for (std::size_t i = 1; i < drives.size(); ++i) {
            ASSERT_LT(drives[i - 1].mountPoint, drives[i].mountPoint) << text;
            ASSERT_EQ(DriveOfPath(drives[i].mountPoint, drives), drives[i].mountPoint) << text;
        }
    }
}

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

// Each case: a mount point, file-system type and source; dtUnknown: not listed.
TEST(ListDrives, SortsFileSystemsIntoDriveTypes) {
    const std::pair<const char*, TDriveType> cases[] = {
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
        // Any FUSE file system may be a share that stops answering, unless it is known to
        // work on local data; such a one is a drive only on a disk of its own.
        {"/d fuse portal", dtNetwork},
        {"/g fuse.gvfsd-fuse gvfsd-fuse", dtNetwork},
        {"/f fuse.curlftpfs ftp://host/", dtNetwork},
        {"/b fuse.bindfs /home/ann", dtUnknown},
        {"/e fuse.gocryptfs /home/ann/.secret", dtUnknown},
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

// The mounts a look must not wait on are told from the mount table alone: every visible one
// whose file system is not the machine's own, drives or not; of them, a folder's own (the
// deepest that holds it) is waited on.
TEST(RemoteMountPoints, AreEveryMountNotOfTheMachinesOwnButTheFoldersOwn) {
    const TDriveSources sources = test::PreparedDrives(
        test::kDesktopMounts +
        test::MountLine("/run/user/1000/gvfs", "fuse.gvfsd-fuse", "gvfsd-fuse") +
        test::MountLine("/run/user/1000/doc", "fuse.portal", "portal") +
        test::MountLine("/home/ann/view", "fuse.bindfs", "/srv/data") +
        test::MountLine("/mnt/x/inner", "nfs4", "host:/inner") +
        test::MountLine("/mnt/odd", "newfs", "somewhere"));
    const std::vector<std::string> remote = RemoteMountPoints(sources);
    EXPECT_EQ(remote, (std::vector<std::string>{"/home", "/mnt/odd", "/mnt/x", "/mnt/x/inner",
                                                "/run/user/1000/doc", "/run/user/1000/gvfs"}));
    EXPECT_EQ(OtherRemoteMountPoints("/mnt/x/inner/photos", remote),
              (std::vector<std::string>{"/home", "/mnt/odd", "/mnt/x", "/run/user/1000/doc",
                                        "/run/user/1000/gvfs"}));
    EXPECT_EQ(OtherRemoteMountPoints("/mnt/xy", remote), remote);
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

// Mounts that are no drives belong to the drive around them; a relative path is on no drive.
TEST(DriveOfPath, TakesTheLongestMountPointOnASeparatorBoundary) {
    FakeMachine machine;
    const auto drives = machine.List(test::kDesktopMounts);
    const std::pair<const char*, const char*> cases[] = {
        {"/", "/"},          {"/mnt/x", "/mnt/x"}, {"/mnt/x/photos/2023", "/mnt/x"},
        {"/mnt/xy", "/"},    {"/mnt", "/"},        {"/media/stick/DCIM", "/media/stick"},
        {"/dev/shm/x", "/"}, {"mnt/x", ""},        {"", ""},
    };
    for (const auto& [path, drive] : cases)
        EXPECT_EQ(DriveOfPath(path, drives), drive) << path;
    EXPECT_EQ(DriveOfPath("/"), "/");
}

// The mount table is read once, and again only when the kernel reports a change: a mount in a
// process of its own shows at once, in the table and as a drive.
TEST(MountTableWatch, ReadsTheTableAgainOnlyAfterAChangeOfTheMounts) {
    TMountTableWatch watch;
    bool reread = false;
    EXPECT_EQ(watch.Text(reread), ReadMountTable());
    EXPECT_TRUE(reread);
    watch.Text(reread);
    EXPECT_FALSE(reread);

    test::TempFolder tmp({"ram/"});
    const test::ChildOutcome outcome = test::RunWithOwnMounts([&](std::string& report) {
        // Whether the table holds the mount, and whether it was read again for it.
        const auto look = [&] {
            const bool mounted = watch.Text(reread).find(tmp / "ram") != std::string::npos;
            return std::string(mounted ? "+" : "-") + (reread ? "r" : ".");
        };
        // The namespace is new, so is its table; then nothing changes until the mount.
        report += look();
        report += look();
        const std::size_t drivesBefore = ListDrives().size();
        if (mount("tmpfs", (tmp / "ram").c_str(), "tmpfs", 0, "size=64k") != 0)
            return std::string("tmpfs cannot be mounted: ") + std::strerror(errno);
        report += look();
        const std::vector<TDrive> drives = ListDrives();
        report +=
            drives.size() == drivesBefore + 1 && DriveOfPath(tmp / "ram", drives) == tmp / "ram"
                ? " listed"
                : " not listed";
        return std::string();
    });
    if (!outcome.skipped.empty())
        GTEST_SKIP() << "the mounts cannot be changed here: " << outcome.skipped;
    EXPECT_EQ(outcome.report, "-r-.+r listed");
}

// A temporary folder mounted nowhere is part of "/"; its subfolders "stick" and "dN" play
// drives of their own.
class DriveFolders : public ::testing::Test {
protected:
    void SetUp() override { ForgetDriveFolders(); }
    void TearDown() override { ForgetDriveFolders(); }

    test::TempFolder tmp{{"a/deep/", "stick/b/", "stick/old/"}};
};

TEST_F(DriveFolders, EnteringADriveGoesToItsRecordedFolderWhileThatIsThere) {
    SetCurrentDir(tmp / "a");
    EXPECT_EQ(EnterDrive(tmp / "stick"), tmp / "stick"); // nothing recorded: the mount point
    RecordDriveFolder(tmp / "stick", tmp / "stick/old");
    RecordDriveFolder(tmp / "stick", tmp / "stick/b"); // the last one counts
    RecordDriveFolder("/", tmp / "a/deep");
    EXPECT_EQ(EnterDrive(tmp / "stick"), tmp / "stick/b");
    EXPECT_EQ(GetCurrentDir(), tmp / "stick/b");
    EXPECT_EQ(EnterDrive("/"), tmp / "a/deep");
    ASSERT_EQ(rmdir((tmp / "stick/b").c_str()), 0);
    EXPECT_EQ(DriveOwnFolder(tmp / "stick"), tmp / "stick");
    EXPECT_EQ(EnterDrive(tmp / "stick"), tmp / "stick");

    // One folder for each drive, however many there are.
    for (int i = 0; i < 300; ++i) {
        const std::string drive = "d" + std::to_string(i);
        tmp.AddFolder(drive + "/in");
        RecordDriveFolder(tmp / drive, tmp / (drive + "/in"));
    }
    for (int i = 0; i < 300; i += 37)
        EXPECT_EQ(DriveOwnFolder(tmp / ("d" + std::to_string(i))),
                  tmp / ("d" + std::to_string(i) + "/in"));
    EXPECT_EQ(DriveOwnFolder("/"), tmp / "a/deep");
}

TEST_F(DriveFolders, RefusedEntryRaisesAndStaysPut) {
    SetCurrentDir(tmp / "a");
    RecordDriveFolder(tmp / "gone", tmp / "gone/in");
    for (const std::string& mountPoint : {tmp / "gone", std::string()})
        EXPECT_THROW(EnterDrive(mountPoint), EInOutError) << mountPoint;
    EXPECT_EQ(GetCurrentDir(), tmp / "a");
}

} // namespace
} // namespace nomilo
