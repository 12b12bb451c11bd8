#include "platform/MountTable.h"

#include "platform/Drives.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>

namespace nomilo {
namespace {

using namespace std::string_literals;

TEST(UnescapeMountField, TurnsOctalEscapesIntoBytes) {
    EXPECT_EQ(UnescapeMountField("/media/my\\040stick"), "/media/my stick");
    EXPECT_EQ(UnescapeMountField("a\\011b\\012c\\134d"), "a\tb\nc\\d");
    EXPECT_EQ(UnescapeMountField("\\303\\251t\\303\\251"), "\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(UnescapeMountField("\\377"), "\xFF");
    // Backslashes that start no escape stand for themselves.
    EXPECT_EQ(UnescapeMountField("\\"), "\\");
    EXPECT_EQ(UnescapeMountField("a\\04"), "a\\04");
    EXPECT_EQ(UnescapeMountField("\\400\\08x\\x20"), "\\400\\08x\\x20");
    EXPECT_EQ(UnescapeMountField(""), "");
    // A NUL byte cannot be part of a path.
    EXPECT_EQ(UnescapeMountField("/a\\000b"), std::nullopt);
}

TEST(ParseMountInfo, ReadsTheFieldsAroundTheOptionalOnes) {
    const auto mounts = ParseMountInfo(
        "28 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw,errors=remount-ro\n"
        "40 28 8:17 / /media/my\\040stick rw - vfat /dev/sdb1 rw\n"
        "41 28 0:50 /sub /srv/a\\011b\\012c\\134d rw shared:7 master:2 propagate_from:1 unbindable"
        " - fuse.sshfs ann@host:/home\\040dir rw\n");
    ASSERT_EQ(mounts.size(), 3u);
    EXPECT_EQ(mounts[0].mountId, 28);
    EXPECT_EQ(mounts[0].parentId, 1);
    EXPECT_EQ(mounts[0].mountPoint, "/");
    EXPECT_EQ(mounts[0].fsType, "ext4");
    EXPECT_EQ(mounts[0].source, "/dev/sda1");
    EXPECT_EQ(mounts[1].mountPoint, "/media/my stick");
    EXPECT_EQ(mounts[2].root, "/sub");
    EXPECT_EQ(mounts[2].mountPoint, "/srv/a\tb\nc\\d");
    EXPECT_EQ(mounts[2].fsType, "fuse.sshfs");
    EXPECT_EQ(mounts[2].source, "ann@host:/home dir");
}

TEST(ParseMountInfo, SkipsMalformedLinesAndKeepsTheRest) {
    const std::string good = "30 1 0:1 / /good rw - ext4 /dev/sda2 rw";
    const auto mounts =
        ParseMountInfo("\n"
                       "garbage\n"
                       "31 1 0:1 / /nosep rw ext4 /dev/sda3 rw\n" // no "-"
                       "32 1 0:1 / /notype rw -\n"                // nothing after "-"
                       "33 1 0:1 / /nosource rw - ext4\n"         // no source
                       "x 1 0:1 / /badid rw - ext4 /dev/sda4 rw\n"
                       "-3 1 0:1 / /negative rw - ext4 /dev/sda4 rw\n"
                       "99999999999 1 0:1 / /huge rw - ext4 /dev/sda4 rw\n"
                       "34 1 0:1 / relative rw - ext4 /dev/sda5 rw\n"
                       "35 1 0:1 / /nul\\000byte rw - ext4 /dev/sda6 rw\n"
                       "36 1 0:1 / /emptytype rw -  /dev/sda7 rw\n"
                       "37 1 0:1 / - - ext4 /dev/sda8 rw\n" +
                       good +
                       "\n"
                       "38 1 0:1 / /nosuper rw - tmpfs tmpfs\n" // super options missing: fine
                       "39 1 0:1 / /extra rw - tmpfs tmpfs rw more fields\n" // extra fields: fine
                       "40 1 0:1 / /emptysource rw - cifs  rw\n");           // an empty source
    std::vector<std::string> points;
    for (const auto& mount : mounts)
        points.push_back(mount.mountPoint);
    EXPECT_EQ(points, (std::vector<std::string>{"/good", "/nosuper", "/extra", "/emptysource"}));
    EXPECT_EQ(mounts.back().source, "");
    // Found by the damage test below: a raw NUL byte must not reach a mount point.
    const std::string rawNul = "28 1 8:1 / /\0/w,relatime shared:1 - ext4 /dev/sda1 rw\n"s;
    EXPECT_TRUE(ParseMountInfo(rawNul).empty());
    EXPECT_TRUE(ParseMountInfo("").empty());
    EXPECT_TRUE(ParseMountInfo("\n\n").empty());
}

// Random damage to a realistic table: whatever the parser and the listing make of it, they
// must not crash, and what they give must keep its promises.
TEST(ParseMountInfo, SurvivesRandomDamage) {
    const std::string table =
        "22 28 0:21 / /proc rw,nosuid shared:5 - proc proc rw\n"
        "25 24 0:23 / /dev/shm rw shared:3 - tmpfs tmpfs rw\n"
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
    for (int round = 0; round < 4000; ++round) {
        std::string text = table;
        const std::size_t damage = 1 + pick(8);
        for (std::size_t d = 0; d < damage && !text.empty(); ++d) {
            const std::size_t at = pick(text.size());
            switch (pick(5)) {
            case 0:
                text[at] = alphabet[pick(alphabet.size())];
                break;
            case 1:
                text[at] = static_cast<char>(pick(256));
                break;
            case 2:
                text.insert(at, 1, alphabet[pick(alphabet.size())]);
                break;
            case 3:
                text.erase(at, 1 + pick(12));
                break;
            default:
                text.insert(at, text.substr(pick(text.size()), pick(40)));
                break;
            }
        }
        for (const TMountEntry& mount : ParseMountInfo(text)) {
            ASSERT_FALSE(mount.mountPoint.empty()) << text;
            ASSERT_EQ(mount.mountPoint.front(), '/') << text;
            ASSERT_EQ(mount.mountPoint.find('\0'), std::string::npos) << text;
            ASSERT_FALSE(mount.fsType.empty()) << text;
        }
        TDriveSources sources;
        sources.mountTable = text;
        sources.labels = {{"/dev/sda1", "SYSTEM"}};
        sources.isRemovable = [](const std::string& device) { return device == "/dev/sdb1"; };
        sources.folderExists = [](const std::string&) { return true; };
        const std::vector<TDrive> drives = ListDrives(sources);
        ASSERT_FALSE(drives.empty());
        ASSERT_EQ(drives.front().mountPoint, "/");
        for (std::size_t i = 0; i < drives.size(); ++i) {
            ASSERT_NE(drives[i].type, dtUnknown);
            ASSERT_EQ(DriveOfPath(drives[i].mountPoint, drives), drives[i].mountPoint);
            if (i > 0) {
                ASSERT_LT(drives[i - 1].mountPoint, drives[i].mountPoint);
            }
        }
    }
}

} // namespace
} // namespace nomilo
