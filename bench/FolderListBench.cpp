// The folder list against its limit (BenchFolder.h), in the same run, on folders on disk:
//   - opening a folder with many subfolders in a shown folder list, linked to a shown file list
//     as in the window (enter, read, sort by the locale ignoring case, lay out, paint, the file
//     list's read of the same folder), against the limit on the subfolders;
//   - the names read sorted alone (their keys and their order);
//   - a change of folder between two small folders, and the drive list each change looks at:
//     as kept between changes of the mounts, and read afresh from the machine.
// Both with the locale the process has and with English (United States), whose comparison is
// the full Unicode collation. Each round runs both ways, alternating which goes first; the
// report gives medians. Each figure times its own work only: what a phase leaves behind is
// released before the next phase is timed.
//   nomilo_bench_folderlist [ROUNDS=5] [SUBFOLDERS...=1000 10000 100000]
// With NOMILO_BENCH_MOUNTS=N (root only) the program first moves to a mount namespace of its
// own and mounts N small tmpfs file systems there, so that the mount table is that much longer.

#include "bench/BenchFolder.h"
#include "browse/DirectoryListBox.h"
#include "browse/FileListBox.h"
#include "listing/FolderNames.h"
#include "listing/NameOrder.h"
#include "platform/drives/Drives.h"

#include <QApplication>
#include <QLocale>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <sched.h>
#include <stdexcept>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <vector>

namespace fs = std::filesystem;

namespace nomilo::bench {
namespace {

// A folder of `count` subfolders, made once and kept between runs. Every other name starts
// with a capital, so that the sort has letter case to ignore.
std::string SubfolderTree(int count) {
    const std::string path = BenchRoot() + "/folders-" + std::to_string(count);
    auto name = [](int i) {
        char text[32];
        std::snprintf(text, sizeof text, "%s_%06d", i % 2 ? "Folder" : "folder", i);
        return std::string(text);
    };
    if (fs::is_directory(path + "/" + name(0)) && fs::is_directory(path + "/" + name(count - 1)))
        return path;
    std::cerr << "creating " << count << " folders in " << path << " ...\n";
    fs::remove_all(path);
    fs::create_directories(path);
    for (int i = 0; i < count; ++i)
        if (mkdir((path + "/" + name(i)).c_str(), 0755) != 0)
            throw std::runtime_error("cannot create the benchmark folders in " + path);
    return path;
}

void OpenRounds(int count, int rounds) {
    const std::string path = SubfolderTree(count);
    const std::string parent = fs::path(path).parent_path().string();
    TFileListBox files;
    TDirectoryListBox list;
    list.SetFileList(&files);
    list.resize(200, 700);
    list.SetFolderPath(parent);
    files.show();
    list.show();

    std::vector<double> bare, open, sorted;
    std::size_t names = 0;
    for (int round = 0; round < rounds; ++round) {
        auto runBare = [&] {
            ReleaseMemory();
            bare.push_back(TimeBareReadAndSort(path, true, names));
        };
        auto runOpen = [&] {
            list.SetFolderPath(parent); // the big list goes before the timing
            ReleaseMemory();
            open.push_back(Seconds([&] {
                list.SetFolderPath(path);
                list.doItemsLayout();
                list.viewport()->repaint();
            }));
        };
        if (round % 2 == 0) {
            runBare();
            runOpen();
        } else {
            runOpen();
            runBare();
        }
        const std::vector<std::string> found = BareReadNames(path, true);
        ReleaseMemory();
        sorted.push_back(Seconds([&] {
            TNameKeys names;
            for (const std::string& name : found)
                names.Add(name);
            FolderOrder(names, true);
        }));
    }
    if (list.EntryCount() <= static_cast<int>(names))
        throw std::runtime_error("the folder list did not list every subfolder");
    const double b = Median(bare), o = Median(open);
    std::printf("%s: open a folder of %6d subfolders: limit %7.1f ms, "
                "folder list %7.1f ms, ratio %.2f (the names sorted alone %6.1f ms)\n",
                QLocale().name().toUtf8().constData(), count, b * 1e3, o * 1e3, o / b,
                Median(sorted) * 1e3);
}

// What every change of folder costs besides reading the folder, and the part of it that looks
// at the drives.
void ChangeRounds(int rounds) {
    const std::string root = BenchRoot() + "/change";
    fs::create_directories(root + "/a");
    fs::create_directories(root + "/b");
    TFileListBox files;
    TDirectoryListBox list;
    list.SetFileList(&files);
    list.SetFolderPath(root + "/a");
    files.show();
    list.show();
    constexpr int kChanges = 200;
    std::vector<double> change, kept, fresh;
    for (int round = 0; round < rounds; ++round) {
        ReleaseMemory();
        change.push_back(Seconds([&] {
                             for (int i = 0; i < kChanges; ++i)
                                 list.SetFolderPath(root + (i % 2 ? "/a" : "/b"));
                         }) /
                         kChanges);
        kept.push_back(Seconds([] {
                           for (int i = 0; i < kChanges; ++i)
                               ListDrives();
                       }) /
                       kChanges);
        fresh.push_back(Seconds([] {
                            for (int i = 0; i < kChanges; ++i)
                                ListDrives(SystemDriveSources());
                        }) /
                        kChanges);
    }
    std::printf("change of folder: %.3f ms; the drive list %.1f us as kept, %.1f us read afresh "
                "(%zu drives)\n",
                Median(change) * 1e3, Median(kept) * 1e6, Median(fresh) * 1e6, ListDrives().size());
}

// Moves to a mount namespace of its own with `count` more mounts. Must run before any thread.
void MountMany(int count) {
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr))
        throw std::runtime_error(std::string("no mount namespace of its own: ") +
                                 std::strerror(errno));
    const std::string root = BenchRoot() + "/mounts";
    for (int i = 0; i < count; ++i) {
        const std::string point = root + "/" + std::to_string(i);
        fs::create_directories(point);
        if (mount("tmpfs", point.c_str(), "tmpfs", 0, "size=16k") != 0)
            throw std::runtime_error("cannot mount " + point + ": " + std::strerror(errno));
    }
    std::printf("%d more mounts in a mount namespace of this run\n", count);
}

} // namespace
} // namespace nomilo::bench

int main(int argc, char** argv) {
    using namespace nomilo::bench;
    if (const char* mounts = std::getenv("NOMILO_BENCH_MOUNTS"))
        MountMany(std::atoi(mounts));
    nomilo::bench::PreferOffscreen();
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    const auto [rounds, sizes] = ParseBenchArguments(argc, argv, {1000, 10000, 100000});
    ChangeRounds(rounds);
    for (int count : sizes)
        OpenRounds(count, rounds);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    for (int count : sizes)
        OpenRounds(count, rounds);
    return 0;
}
