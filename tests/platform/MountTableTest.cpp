#include "platform/MountTable.h"

#include "platform/Drives.h"

#include <gtest/gtest.h>
#include <random>

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

} // namespace
} // namespace nomilo
