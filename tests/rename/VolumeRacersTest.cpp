// The batch on the volumes of cameras and memory cards (FAT and exFAT, served by FUSE or by the
// kernel through a loop device) while other programs write in the folder: no file is lost,
// none is replaced, none gets another's bytes, and nothing of ours is left. Each volume is made
// and mounted in a child process with mounts of its own; a volume this machine cannot mount
// (no root, no /dev/fuse, no loop device, a tool missing) is skipped and says why.
#include "platform/files/CurrentDir.h"
#include "platform/files/FileIO.h"
#include "platform/files/MoveFile.h"
#include "rename/UndoJournal.h"
#include "tests/rename/FakeEntries.h"
#include "tests/support/MountNamespace.h"
#include "tests/support/TempFolder.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/loop.h>
#include <map>
#include <mutex>
#include <ostream>
#include <set>
#include <spawn.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace nomilo {
namespace {

// A volume type: the program that makes its file system in an image, and either the kernel's
// type for it or the command of its FUSE server ("DEVICE" and "MOUNT" stand for the paths).
struct Volume {
    const char* name;
    const char* makeFileSystem;
    const char* kernelType; // nullptr: served by FUSE
    std::vector<std::string> server;
    bool needsBlockDevice; // the image is attached to a loop device first
    // The server writes into other files when a file that is open is replaced (libfuse first
    // renames it to a hidden name, which fusefat gets wrong).
    bool damagesOthersWhenAnOpenFileIsReplaced = false;
};

void PrintTo(const Volume& volume, std::ostream* out) {
    *out << volume.name;
}

const Volume kFuseFat{"fusefat", "mkfs.vfat", nullptr, {"fusefat", "-o", "rw+", "DEVICE", "MOUNT"},
                      false,     true};
const Volume kFuseExfat{
    "exfat-fuse", "mkfs.exfat", nullptr, {"mount.exfat-fuse", "DEVICE", "MOUNT"}, true};
const Volume kKernelVfat{"vfat", "mkfs.vfat", "vfat", {}, true};
const Volume kKernelExfat{"exfat", "mkfs.exfat", "exfat", {}, true};

// Runs `command` with its output thrown away: its exit status, 127 when it cannot be started.
int Run(std::vector<std::string> command) {
    std::vector<char*> argv;
    for (std::string& word : command)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int error = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (error != 0 || waitpid(child, &status, 0) != child)
        return 127;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

std::string Failed(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// Whether the kernel knows the file system `type`.
bool KernelKnows(const std::string& type) {
    const FileDescriptor fd(open("/proc/filesystems", O_RDONLY | O_CLOEXEC));
    const std::string table = fd.Valid() ? ReadAll(fd.Get()).value_or("") : "";
    return table.find("\t" + type + "\n") != std::string::npos;
}

// Attaches `image` to a free loop device that lets go of it once nothing has it open any more;
// the device is held open by `held` meanwhile. Its path, or why not in `why`.
std::string AttachLoop(const std::string& image, int& held, std::string& why) {
    const FileDescriptor control(open("/dev/loop-control", O_RDWR | O_CLOEXEC));
    const int number = control.Valid() ? ioctl(control.Get(), LOOP_CTL_GET_FREE) : -1;
    if (number < 0) {
        why = Failed("no free loop device");
        return {};
    }
    const std::string device = "/dev/loop" + std::to_string(number);
    const FileDescriptor file(open(image.c_str(), O_RDWR | O_CLOEXEC));
    held = open(device.c_str(), O_RDWR | O_CLOEXEC);
    loop_config config{};
    config.fd = static_cast<std::uint32_t>(file.Get());
    config.info.lo_flags = LO_FLAGS_AUTOCLEAR;
    if (held < 0 || ioctl(held, LOOP_CONFIGURE, &config) != 0) {
        why = Failed("the loop device " + device + " cannot be used");
        return {};
    }
    return device;
}

// Makes an image of `volume` in `folder` and mounts it at folder/mount; why not, or "".
std::string MountVolume(const Volume& volume, const std::string& folder) {
    if (volume.kernelType && !KernelKnows(volume.kernelType))
        return std::string("the kernel has no ") + volume.kernelType;
    if (!volume.kernelType && access("/dev/fuse", R_OK | W_OK) != 0)
        return "/dev/fuse is not here";
    const std::string image = folder + "/image", mountPoint = folder + "/mount";
    const FileDescriptor fd(open(image.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!fd.Valid() || ftruncate(fd.Get(), 32 << 20) != 0 || mkdir(mountPoint.c_str(), 0755) != 0)
        return Failed("no image");
    if (Run({volume.makeFileSystem, image}) != 0)
        return std::string(volume.makeFileSystem) + " cannot make the image (is it installed?)";
    std::string device = image, why;
    int held = -1;
    if (volume.needsBlockDevice)
        device = AttachLoop(image, held, why);
    const FileDescriptor loop(held); // until the volume is mounted on it
    if (device.empty())
        return why;
    if (volume.kernelType)
        return mount(device.c_str(), mountPoint.c_str(), volume.kernelType, 0, nullptr) == 0
                   ? std::string()
                   : Failed("the kernel does not mount the image");
    std::vector<std::string> server = volume.server;
    for (std::string& word : server)
        word = word == "DEVICE" ? device : word == "MOUNT" ? mountPoint : word;
    return Run(server) == 0 ? std::string() : server[0] + " cannot mount the image here";
}

std::string FileName(const char* prefix, int i) {
    char name[32];
    std::snprintf(name, sizeof name, "%s%04d", prefix, i);
    return name;
}
std::string Content(const std::string& owner, const std::string& name) {
    return owner + " " + name;
}

// The entries of the current directory, with their content.
std::map<std::string, std::string> FolderContents() {
    std::map<std::string, std::string> contents;
    DIR* dir = opendir(".");
    while (const dirent* entry = dir ? readdir(dir) : nullptr) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        std::string& content = contents[name];
        const int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
        char buffer[256];
        for (ssize_t got; fd >= 0 && (got = read(fd, buffer, sizeof buffer)) > 0;)
            content.append(buffer, static_cast<std::size_t>(got));
        if (fd >= 0)
            close(fd);
    }
    if (dir)
        closedir(dir);
    return contents;
}

// Other programs in the folder while the batch runs. One takes the batch's new names from the
// last file down, one makes files of names of its own, and (with `removesPlaceholders`) one
// puts files of its own in the place of empty files under the new names of the first half: the
// placeholders a rename may make there.
class Racers {
public:
    Racers(int files, bool removesPlaceholders) : files_(files) {
        threads_.emplace_back([this] {
            for (int i = files_ - 1; i >= files_ / 2 && !stop_; --i)
                Take(FileName("xf", i));
        });
        threads_.emplace_back([this] {
            for (int i = 0; i < files_ && !stop_; ++i)
                Take(FileName("r", i));
        });
        if (removesPlaceholders)
            threads_.emplace_back([this] {
                while (!stop_)
                    for (int i = 0; i < files_ / 2 && !stop_; ++i)
                        ReplaceIfEmpty(FileName("xf", i));
            });
    }
    ~Racers() { Stop(); }

    void Stop() {
        stop_ = true;
        for (std::thread& thread : threads_)
            if (thread.joinable())
                thread.join();
    }
    // The files the racers made in free places, by name.
    const std::set<std::string>& Took() const { return took_; }
    // The names whose empty file a racer removed to put a file of its own there. It may have
    // been a placeholder, or, in the moment between the racer's look and its removal, a file
    // the batch renamed there: the racer's doing. A file put in a placeholder's place in the
    // moment between the rename's last look and the rename is replaced: no call of these file
    // systems closes that moment.
    const std::set<std::string>& Removed() const { return removed_; }

private:
    // Makes `name` the way a careful program does: only when nobody has it yet.
    static bool Make(const std::string& name) {
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0)
            return false;
        const std::string content = Content("racer", name);
        [[maybe_unused]] const auto written = write(fd, content.data(), content.size());
        close(fd);
        return true;
    }
    void Take(const std::string& name) {
        if (!Make(name))
            return;
        const std::lock_guard lock(mutex_);
        took_.insert(name);
    }
    void ReplaceIfEmpty(const std::string& name) {
        struct stat st {};
        if (lstat(name.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != 0 ||
            unlink(name.c_str()) != 0)
            return;
        {
            const std::lock_guard lock(mutex_);
            removed_.insert(name);
        }
        Make(name);
    }

    int files_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::set<std::string> took_;
    std::set<std::string> removed_;
    std::vector<std::thread> threads_;
};

// `text` with every byte that is not printable ASCII as \xNN.
std::string Escaped(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(c));
        escaped += c >= ' ' && c <= '~' && c != '\\' ? std::string(1, c) : std::string(hex);
    }
    return escaped;
}

// What the racer that removes placeholders may leave of its own: its files, and one that was
// replaced while it was open, which libfuse keeps under a hidden name until it is closed.
bool IsRemoversLeftover(const std::string& name, const std::string& content) {
    return content.starts_with("racer ") || (name.starts_with(".fuse_hidden") && content.empty());
}

// Renames `files` files of the fresh folder `folder` on the mounted volume with the prefix "x"
// while the racers write there, and tells every problem found, one a line.
std::string BatchAmongRacers(const std::string& folder, const std::string& journalPath, int files,
                             bool removesPlaceholders) {
    SetCurrentDir(folder);
    test::FakeEntries entries;
    for (int i = 0; i < files; ++i) {
        const std::string name = FileName("f", i);
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        const std::string content = Content("file", name);
        if (fd < 0 ||
            write(fd, content.data(), content.size()) != static_cast<ssize_t>(content.size()))
            return "cannot make " + name + ": " + std::strerror(errno) + "\n";
        close(fd);
        entries.entries.push_back({name, true});
    }
    TBatchJournal journal(journalPath, folder);
    Racers racers(files, removesPlaceholders);
    RenameBatch(entries, {true, true, true, "", "x"}, MoveFileRefusal, nullptr, &journal);
    racers.Stop();

    std::map<std::string, std::string> found = FolderContents();
    std::string problems;
    for (int i = 0; i < files; ++i) {
        const std::string original = FileName("f", i);
        const std::string& name = entries.entries[static_cast<std::size_t>(i)].first;
        const auto it = found.find(name);
        if (it != found.end() && it->second == Content("file", original))
            found.erase(it);
        else if (!racers.Removed().contains(name))
            problems += "lost " + original + (name != original ? " renamed to " + name : "") + "\n";
    }
    for (const std::string& name : racers.Took()) {
        const auto it = found.find(name);
        if (it == found.end() || it->second != Content("racer", name))
            problems += "a racer lost " + name + "\n";
        else
            found.erase(it);
    }
    for (const auto& [name, content] : found)
        if (!removesPlaceholders || !IsRemoversLeftover(name, content))
            problems += "left " + name + " holding \"" + Escaped(content) + "\"\n";
    return problems;
}

class VolumeRacers : public ::testing::TestWithParam<Volume> {
protected:
    // Runs the batch among racers in `rounds` fresh folders of a fresh volume.
    void RunRounds(int rounds, int files, bool removesPlaceholders) {
        const Volume volume = GetParam();
        const test::ChildOutcome outcome = test::RunWithOwnMounts(
            [&](std::string& report) -> std::string {
                const test::TempFolder tmp;
                if (std::string why = MountVolume(volume, tmp.Path()); !why.empty())
                    return why;
                for (int round = 0; round < rounds; ++round) {
                    const std::string dir = tmp / "mount/round" + std::to_string(round);
                    mkdir(dir.c_str(), 0755);
                    report += BatchAmongRacers(dir, tmp / "journal", files, removesPlaceholders);
                }
                SetCurrentDir(tmp.Path());
                umount2((tmp / "mount").c_str(), MNT_DETACH);
                return {};
            },
            240);
        if (!outcome.skipped.empty())
            GTEST_SKIP() << volume.name << ": " << outcome.skipped;
        EXPECT_FALSE(outcome.timedOut) << volume.name;
        EXPECT_EQ(outcome.report, "") << volume.name;
    }
};

TEST_P(VolumeRacers, NoFileIsLostOrReplacedWhileOthersWriteInTheFolder) {
    RunRounds(4, 50, false);
}

// A file put in the place of a removed placeholder in the moment between the rename's last look
// and the rename is replaced, open or not: no call of these file systems closes that moment.
TEST_P(VolumeRacers, NoFileIsLostWhenAnotherProgramReplacesThePlaceholders) {
    if (GetParam().damagesOthersWhenAnOpenFileIsReplaced)
        GTEST_SKIP() << GetParam().name << " damages other files when an open file is replaced";
    RunRounds(3, 50, true);
}

INSTANTIATE_TEST_SUITE_P(Volumes, VolumeRacers,
                         ::testing::Values(kFuseFat, kFuseExfat, kKernelVfat, kKernelExfat),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (char& c : name)
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

} // namespace
} // namespace nomilo
