// MoveFile on a file system without RENAME_NOREPLACE and without hard links, as FAT-like ones
// are. This test program links its own renameat2 and linkat in place of the C library's, and
// they refuse as such a file system does; its renameat can first let a racer take the new name,
// at the last moment before the rename, where a check that the name is free would be stale.
#include "platform/files/CurrentDir.h"
#include "platform/files/MoveFile.h"
#include "tests/support/TempFolder.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <mutex>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::atomic<bool> racerAtEveryRename{false};
// The name whose placeholder a racer removes, taking the name with a file of its own, as the
// rename looks whether the placeholder is still there.
std::string racerInTheGap;
std::atomic<bool> refuseRenames{false};
std::mutex racerMutex;
std::vector<std::string> racerTook; // the names racers created

constexpr char kRacerContent[] = "racer";

// The names renamed over while this process had them open as a file (an O_PATH descriptor is
// none): a FUSE server built on libfuse hides such a file under a ".fuse_hidden" name first,
// which some get wrong.
std::vector<std::string> renamedOverWhileOpen;

// fstatat itself, which this program takes the place of.
int StatAt(int folder, const char* path, struct stat* st, int flags) {
    return static_cast<int>(syscall(SYS_newfstatat, folder, path, st, flags));
}

bool OpenAsFile(int folder, const char* path) {
    struct stat target {};
    if (StatAt(folder, path, &target, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    for (int fd = 0; fd < 1024; ++fd) {
        struct stat st {};
        const int flags = fcntl(fd, F_GETFL);
        if (flags >= 0 && !(flags & O_PATH) && fstat(fd, &st) == 0 && st.st_dev == target.st_dev &&
            st.st_ino == target.st_ino)
            return true;
    }
    return false;
}

// Creates `name` the way a careful program does: only when nobody has it yet.
void RacerTakes(const std::string& name) {
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    [[maybe_unused]] const auto written = write(fd, kRacerContent, sizeof kRacerContent - 1);
    close(fd);
    const std::lock_guard lock(racerMutex);
    racerTook.push_back(name);
}

} // namespace

extern "C" int renameat2(int, const char*, int, const char*, unsigned int) noexcept {
    errno = EINVAL;
    return -1;
}

extern "C" int linkat(int, const char*, int, const char*, int) noexcept {
    errno = EPERM;
    return -1;
}

// The renames look at names without following links, in the current directory here.
extern "C" int fstatat(int folder, const char* path, struct stat* st, int flags) noexcept {
    if ((flags & AT_SYMLINK_NOFOLLOW) && !racerInTheGap.empty() && path == racerInTheGap) {
        racerInTheGap.clear();
        unlink(path);
        RacerTakes(path);
    }
    return StatAt(folder, path, st, flags);
}

extern "C" int renameat(int fromFolder, const char* from, int toFolder, const char* to) noexcept {
    if (OpenAsFile(toFolder, to))
        renamedOverWhileOpen.push_back(to);
    if (racerAtEveryRename)
        RacerTakes(to);
    if (refuseRenames) {
        errno = EACCES;
        return -1;
    }
    return static_cast<int>(syscall(SYS_renameat2, fromFolder, from, toFolder, to, 0));
}

namespace nomilo {
namespace {

using Names = std::set<std::string>;

class PlaceholderRename : public ::testing::Test {
protected:
    void SetUp() override {
        SetCurrentDir(tmp.Path());
        racerTook.clear();
        renamedOverWhileOpen.clear();
    }
    void TearDown() override {
        racerInTheGap.clear();
        racerAtEveryRename = false;
        refuseRenames = false;
    }
    test::TempFolder tmp;
};

TEST_F(PlaceholderRename, ANameARacerTakesIsNeverReplacedAndNoFileIsLost) {
    constexpr int kFiles = 600;
    const auto oldName = [](int i) { return "f" + std::to_string(i) + ".txt"; };
    const auto newName = [](int i) { return "g" + std::to_string(i) + ".txt"; };
    for (int i = 0; i < kFiles; ++i)
        tmp.AddFile(oldName(i), "file " + std::to_string(i));

    // One racer takes new names from the end while the batch runs from the start; another
    // waits in every rename of the second half.
    std::thread racer([&] {
        for (int i = kFiles - 1; i >= 0; --i)
            RacerTakes(newName(i));
    });
    std::vector<bool> renamed;
    for (int i = 0; i < kFiles; ++i) {
        racerAtEveryRename = i >= kFiles / 2;
        renamed.push_back(MoveFile(oldName(i), newName(i)));
    }
    racer.join();

    for (const std::string& name : racerTook)
        EXPECT_EQ(tmp.Read(name), kRacerContent) << name;
    std::size_t files = racerTook.size();
    for (int i = 0; i < kFiles; ++i) {
        const std::string content = "file " + std::to_string(i);
        EXPECT_EQ(tmp.Read(renamed[i] ? newName(i) : oldName(i)), content) << i;
        ++files;
    }
    EXPECT_EQ(tmp.Names().size(), files); // and no placeholder is left
    EXPECT_EQ(renamedOverWhileOpen, std::vector<std::string>());
}

// A racer that removes the placeholder and puts a file of its own in its place, in the last
// moment before the rename looks: the racer's file stays. (Where a file system gives the new
// file the placeholder's inode number, as ext4 may for a freed one and FAT-like ones do for an
// entry in the same place, only the placeholder held open and without a name tells.)
TEST_F(PlaceholderRename, AFileAnotherPutInThePlaceholdersPlaceIsNeverReplaced) {
    for (int round = 0; round < 20; ++round) {
        const std::string target = "taken" + std::to_string(round) + ".txt";
        tmp.AddFile("a.txt", "from a");
        racerInTheGap = target;
        EXPECT_FALSE(MoveFile("a.txt", target)) << round;
        EXPECT_EQ(tmp.Read(target), kRacerContent) << round;
        EXPECT_EQ(tmp.Read("a.txt"), "from a") << round;
    }
}

TEST_F(PlaceholderRename, FoldersAndRefusalsLeaveNoPlaceholder) {
    tmp.AddFolder("folder/inside");
    EXPECT_TRUE(MoveFile("folder", "renamed"));
    tmp.AddFile("a.txt", "from a");
    tmp.AddFile("taken.txt", "precious");
    for (const char* taken : {"taken.txt", "renamed"})
        EXPECT_FALSE(MoveFile("a.txt", taken)) << taken;
    EXPECT_FALSE(MoveFile("missing", "never"));
    refuseRenames = true;
    EXPECT_FALSE(MoveFile("a.txt", "refused.txt"));
    EXPECT_FALSE(MoveFile("renamed", "refused"));
    EXPECT_EQ(tmp.Names(), (Names{"a.txt", "renamed", "taken.txt"}));
    EXPECT_EQ(tmp.Read("taken.txt"), "precious");
    EXPECT_EQ(tmp.Read("a.txt"), "from a");
    struct stat st {};
    EXPECT_EQ(stat((tmp / "renamed/inside").c_str(), &st), 0);
}

} // namespace
} // namespace nomilo
