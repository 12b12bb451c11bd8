// The folder list against the bare system calls it stands on, in the same run, on folders on disk:
//   - opening a folder with many subfolders in a shown folder list (enter, read, sort by the
//     locale ignoring case, lay out, paint, pass to a linked file list) against a bare readdir
//     loop and an ASCII case-insensitive sort of the same names;
//   - the sorted name list alone (locale comparison, insertion by binary search);
//   - one listing of the machine's drives, which every change of folder makes.
// Both with the locale the process has and with English (United States), whose comparison is
// the full Unicode collation.
// Each round runs both ways, alternating which goes first; the report gives medians.
//   nomilo_bench_folderlist [ROUNDS=5] [SUBFOLDERS...=10000]

#include "bench/BenchFolder.h"
#include "browse/DirectoryListBox.h"
#include "browse/FileListBox.h"
#include "browse/FolderNames.h"
#include "platform/drives/Drives.h"

#include <QApplication>
#include <QLocale>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string>
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

bool FoldedLess(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        auto fold = [](char c) {
            const auto u = static_cast<unsigned char>(c);
            return u >= 'A' && u <= 'Z' ? u + 0x20 : u;
        };
        return fold(x) < fold(y);
    });
}

std::vector<std::string> BareSubfolders(const std::string& path) {
    std::vector<std::string> names;
    DIR* dir = opendir(path.c_str());
    if (!dir)
        throw std::runtime_error("cannot read " + path);
    while (const dirent* entry = readdir(dir))
        if (entry->d_type == DT_DIR && entry->d_name[0] != '.')
            names.emplace_back(entry->d_name);
    closedir(dir);
    return names;
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

    std::vector<double> bare, open, sorted, drives;
    std::size_t names = 0;
    for (int round = 0; round < rounds; ++round) {
        auto runBare = [&] {
            bare.push_back(Seconds([&] {
                auto found = BareSubfolders(path);
                std::sort(found.begin(), found.end(), FoldedLess);
                names = found.size();
            }));
        };
        auto runOpen = [&] {
            list.SetFolderPath(parent);
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
        const auto found = BareSubfolders(path);
        sorted.push_back(Seconds([&] {
            TSortedFolderNames list;
            for (const std::string& name : found)
                list.Insert(name);
        }));
        drives.push_back(Seconds([] { ListDrives(); }));
    }
    const int pathEntries = list.EntryCount() - static_cast<int>(names);
    if (pathEntries <= 0)
        throw std::runtime_error("the folder list did not list every subfolder");
    std::printf("%s: open a folder of %d subfolders: bare readdir + sort %.1f ms, folder list "
                "%.1f ms (of which the sorted name list %.1f ms, listing the drives %.2f ms)\n",
                QLocale().name().toUtf8().constData(), count, Median(bare) * 1e3,
                Median(open) * 1e3, Median(sorted) * 1e3, Median(drives) * 1e3);
}

} // namespace
} // namespace nomilo::bench

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    using namespace nomilo::bench;
    const auto [rounds, sizes] = ParseBenchArguments(argc, argv, {10000});
    for (int count : sizes)
        OpenRounds(count, rounds);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    for (int count : sizes)
        OpenRounds(count, rounds);
    return 0;
}
