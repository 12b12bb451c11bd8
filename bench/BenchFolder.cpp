#include "bench/BenchFolder.h"

#include "browse/NameOrder.h"
#include "platform/files/MoveFile.h"
#include "rename/RenameBatch.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <malloc.h>
#include <stdexcept>
#include <unistd.h>

namespace fs = std::filesystem;

namespace nomilo::bench {

namespace {

std::string FileName(char prefix, int i) {
    char name[32];
    std::snprintf(name, sizeof name, "%c_%06d.dat", prefix, i);
    return name;
}

} // namespace

std::string BenchRoot() {
    const char* root = std::getenv("NOMILO_BENCH_DIR");
    return fs::absolute(root && *root ? root : "bench-data").string();
}

BenchFolder::BenchFolder(int count) : count_(count) {
    path_ = BenchRoot() + "/files-" + std::to_string(count);
    fs::create_directories(path_);
    for (char prefix : {'a', 'b'}) {
        if (fs::exists(path_ + "/" + FileName(prefix, 0)) &&
            fs::exists(path_ + "/" + FileName(prefix, count - 1))) {
            prefix_ = prefix;
            return;
        }
    }
    // A fresh folder, or one a broken run left half renamed: start over.
    std::cerr << "creating " << count << " files in " << path_ << " ...\n";
    fs::remove_all(path_);
    fs::create_directories(path_);
    for (int i = 0; i < count; ++i) {
        const int fd = ::open((path_ + "/" + FileName('a', i)).c_str(), O_CREAT | O_WRONLY, 0644);
        if (fd < 0)
            throw std::runtime_error("cannot create the benchmark files in " + path_);
        ::close(fd);
    }
    prefix_ = 'a';
}

std::vector<std::string> BenchFolder::Names(char prefix) const {
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(count_));
    for (int i = 0; i < count_; ++i)
        names.push_back(FileName(prefix, i));
    return names;
}

double TimeBareRenames(BenchFolder& folder) {
    const auto from = folder.Names(folder.Prefix());
    const auto to = folder.Names(folder.OtherPrefix());
    const double seconds = Seconds([&] {
        for (std::size_t i = 0; i < from.size(); ++i)
            if (renameat2(AT_FDCWD, from[i].c_str(), AT_FDCWD, to[i].c_str(), RENAME_NOREPLACE))
                throw std::runtime_error("bare rename failed: " + from[i]);
    });
    folder.Renamed(folder.OtherPrefix());
    return seconds;
}

double TimeRenameBatch(BenchFolder& folder, IFileEntries& entries, IBatchJournal* journal,
                       bool regexNumbering) {
    TRenameInputs inputs;
    inputs.selectedOnly = true;
    inputs.findText = std::string(1, folder.Prefix()) + "_";
    inputs.replaceText = std::string(1, folder.OtherPrefix()) + "_";
    if (regexNumbering) {
        // a_000042.dat -> b_000042.dat: the entries are in creation order, counted from 0.
        inputs.regularExpression = inputs.numbering = true;
        inputs.findText = "^" + inputs.findText + "\\d{6}(\\.dat)$";
        inputs.replaceText += "######{0}$1";
    }
    bool failed = false;
    const double seconds = Seconds([&] {
        RenameBatch(entries, inputs, MoveFileRefusal, [&](const auto&) { failed = true; }, journal);
    });
    if (failed)
        throw std::runtime_error("the batch could not rename every file");
    folder.Renamed(folder.OtherPrefix());
    return seconds;
}

std::vector<std::string> BareReadNames(const std::string& folder, bool foldersOnly) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        throw std::runtime_error("cannot read " + folder);
    while (const dirent* entry = readdir(dir)) {
        if (!std::strcmp(entry->d_name, ".") || !std::strcmp(entry->d_name, ".."))
            continue;
        if (!foldersOnly || entry->d_type == DT_DIR)
            names.emplace_back(entry->d_name);
    }
    closedir(dir);
    return names;
}

double TimeBareReadAndSort(const std::string& folder, bool foldersOnly, std::size_t& count) {
    std::vector<std::string> sorted; // released after the timing, as the lists keep theirs
    const double seconds = Seconds([&] {
        std::vector<std::string> names = BareReadNames(folder, foldersOnly);
        TNameKeys keys;
        for (const std::string& name : names)
            keys.Add(name);
        sorted.reserve(names.size());
        for (std::uint32_t name : keys.Order())
            sorted.push_back(std::move(names[name]));
    });
    count = sorted.size();
    return seconds;
}

BenchArguments ParseBenchArguments(int argc, char** argv, std::vector<int> defaultSizes) {
    BenchArguments arguments;
    if (argc > 1)
        arguments.rounds = std::atoi(argv[1]);
    for (int i = 2; i < argc; ++i)
        arguments.sizes.push_back(std::atoi(argv[i]));
    if (arguments.sizes.empty())
        arguments.sizes = std::move(defaultSizes);
    return arguments;
}

void PreferOffscreen() {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
}

double Median(std::vector<double> seconds) {
    std::sort(seconds.begin(), seconds.end());
    const std::size_t n = seconds.size();
    return n % 2 ? seconds[n / 2] : (seconds[n / 2 - 1] + seconds[n / 2]) / 2;
}

void ReleaseMemory() {
    malloc_trim(0);
}

long ResidentBytes() {
    long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

} // namespace nomilo::bench
