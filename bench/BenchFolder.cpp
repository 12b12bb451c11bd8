#include "bench/BenchFolder.h"

#include "platform/files/FileIO.h"
#include "platform/files/MoveFile.h"
#include "rename/RenameBatch.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QLocale>
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
#include <numeric>
#include <spawn.h>
#include <sys/stat.h>
#include <stdexcept>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unicode/ucasemap.h>
#include <unicode/ucol.h>
#include <unicode/ustring.h>
#include <unistd.h>

extern char** environ;

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
        RenameBatch(
            entries, inputs, MoveFileRefusal, [&](const auto&) { failed = true; }, journal);
    });
    if (failed)
        throw std::runtime_error("the batch could not rename every file");
    folder.Renamed(folder.OtherPrefix());
    return seconds;
}

// Calls `found` with each name in `folder` as a bare readdir loop finds them ("." and ".." left
// out); only the folders among them when `foldersOnly`.
template <typename Found>
void ForEachBareName(const std::string& folder, bool foldersOnly, const Found& found) {
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        throw std::runtime_error("cannot read " + folder);
    while (const dirent* entry = readdir(dir)) {
        if (!std::strcmp(entry->d_name, ".") || !std::strcmp(entry->d_name, ".."))
            continue;
        if (!foldersOnly || entry->d_type == DT_DIR)
            found(entry->d_name);
    }
    closedir(dir);
}

std::vector<std::string> BareReadNames(const std::string& folder, bool foldersOnly) {
    std::vector<std::string> names;
    ForEachBareName(folder, foldersOnly, [&](const char* name) { names.emplace_back(name); });
    return names;
}

namespace {

// One buffer of bytes that grows by doubling, with (offset, length) records of what was put in.
struct Pieces {
    std::string bytes;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> spans;

    std::string_view operator[](std::size_t i) const {
        return std::string_view(bytes).substr(spans[i].first, spans[i].second);
    }
};

// The ICU collator of the locale, as the lists open it; none in the C locale.
UCollator* OpenLimitCollator() {
    const QLocale locale = QLocale().collation();
    if (locale.language() == QLocale::C)
        return nullptr;
    UErrorCode status = U_ZERO_ERROR;
    UCollator* collator =
        ucol_open(locale.bcp47Name().replace(u'-', u'_').toLatin1().constData(), &status);
    ucol_setStrength(collator, UCOL_SECONDARY);
    ucol_setAttribute(collator, UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
    return collator;
}

// Appends the key of `name` to `keys`.
void AppendKey(UCollator* collator, UCaseMap* folding, std::string_view name, Pieces& keys) {
    const auto offset = static_cast<std::uint32_t>(keys.bytes.size());
    UErrorCode status = U_ZERO_ERROR;
    if (!collator) {
        keys.bytes.resize(offset + name.size() * 3 + 1);
        const std::int32_t length = ucasemap_utf8FoldCase(
            folding, keys.bytes.data() + offset, static_cast<std::int32_t>(name.size() * 3),
            name.data(), static_cast<std::int32_t>(name.size()), &status);
        keys.bytes.resize(offset + static_cast<std::size_t>(length));
    } else {
        UChar text[1024];
        std::int32_t textLength = 0;
        u_strFromUTF8WithSub(text, 1024, &textLength, name.data(),
                             static_cast<std::int32_t>(name.size()), 0xFFFD, nullptr, &status);
        std::int32_t room = 4 * textLength + 16;
        keys.bytes.resize(offset + static_cast<std::size_t>(room));
        std::int32_t length =
            ucol_getSortKey(collator, text, textLength,
                            reinterpret_cast<std::uint8_t*>(keys.bytes.data() + offset), room);
        if (length > room) {
            keys.bytes.resize(offset + static_cast<std::size_t>(length));
            ucol_getSortKey(collator, text, textLength,
                            reinterpret_cast<std::uint8_t*>(keys.bytes.data() + offset), length);
        }
        keys.bytes.resize(offset + static_cast<std::size_t>(length));
    }
    keys.spans.emplace_back(offset, static_cast<std::uint32_t>(keys.bytes.size() - offset));
}

} // namespace

double TimeBareReadAndSort(const std::string& folder, bool foldersOnly, std::size_t& count,
                           bool statEach) {
    UCollator* collator = OpenLimitCollator();
    UErrorCode status = U_ZERO_ERROR;
    UCaseMap* folding = ucasemap_open("", U_FOLD_CASE_DEFAULT, &status);
    std::vector<std::uint32_t> order; // released after the timing, as the lists keep theirs
    Pieces names;
    const double seconds = Seconds([&] {
        const int folderFd = statEach ? open(folder.c_str(), O_RDONLY | O_DIRECTORY) : -1;
        ForEachBareName(folder, foldersOnly, [&](const char* name) {
            if (folderFd >= 0) {
                struct statx st {};
                statx(folderFd, name, AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC, 0, &st);
            }
            const auto offset = static_cast<std::uint32_t>(names.bytes.size());
            names.bytes.append(name);
            names.spans.emplace_back(offset,
                                     static_cast<std::uint32_t>(names.bytes.size() - offset));
        });
        Pieces keys;
        keys.spans.reserve(names.spans.size());
        for (std::size_t i = 0; i < names.spans.size(); ++i)
            AppendKey(collator, folding, names[i], keys);
        order.resize(keys.spans.size());
        std::iota(order.begin(), order.end(), 0u);
        std::sort(order.begin(), order.end(),
                  [&](std::uint32_t a, std::uint32_t b) { return keys[a] < keys[b]; });
        if (folderFd >= 0)
            close(folderFd);
    });
    count = order.size();
    ucasemap_close(folding);
    if (collator)
        ucol_close(collator);
    return seconds;
}

namespace {

// The bare walk of one folder (TimeBareWalkAndSort): its files' names and keys are put at the end
// of `names` and `keys` and sorted by themselves; its subfolders are walked after, in order.
void WalkBare(int parent, const char* name, UCollator* collator, UCaseMap* folding, Pieces& names,
              Pieces& keys, std::vector<std::uint32_t>& order) {
    const int fd = openat(parent, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        throw std::runtime_error(std::string("cannot open ") + name);
    const std::size_t first = names.spans.size();
    Pieces subfolders;
    alignas(8) char buffer[1 << 16];
    for (long got; (got = syscall(SYS_getdents64, fd, buffer, sizeof buffer)) > 0;)
        for (long at = 0; at < got;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
            at += entry->d_reclen;
            if (!std::strcmp(entry->d_name, ".") || !std::strcmp(entry->d_name, ".."))
                continue;
            Pieces& into = entry->d_type == DT_DIR ? subfolders : names;
            const auto offset = static_cast<std::uint32_t>(into.bytes.size());
            into.bytes.append(entry->d_name);
            into.spans.emplace_back(offset, static_cast<std::uint32_t>(into.bytes.size() - offset));
        }
    for (std::size_t i = first; i < names.spans.size(); ++i)
        AppendKey(collator, folding, names[i], keys);
    const std::size_t run = order.size();
    order.resize(names.spans.size());
    std::iota(order.begin() + static_cast<std::ptrdiff_t>(run), order.end(),
              static_cast<std::uint32_t>(first));
    std::sort(order.begin() + static_cast<std::ptrdiff_t>(run), order.end(),
              [&](std::uint32_t a, std::uint32_t b) { return keys[a] < keys[b]; });
    Pieces subfolderKeys;
    for (std::size_t i = 0; i < subfolders.spans.size(); ++i)
        AppendKey(collator, folding, subfolders[i], subfolderKeys);
    std::vector<std::uint32_t> next(subfolders.spans.size());
    std::iota(next.begin(), next.end(), 0u);
    std::sort(next.begin(), next.end(), [&](std::uint32_t a, std::uint32_t b) {
        return subfolderKeys[a] < subfolderKeys[b];
    });
    for (const std::uint32_t sub : next)
        WalkBare(fd, std::string(subfolders[sub]).c_str(), collator, folding, names, keys, order);
    close(fd);
}

} // namespace

std::string BenchTree::FileName(char prefix, int number) {
    char name[32];
    std::snprintf(name, sizeof name, "%c_%07d.dat", prefix, number);
    return name;
}

BenchTree::BenchTree(int files, int folders) : files_(files) {
    path_ = BenchRoot() + "/tree-" + std::to_string(files) + "-" + std::to_string(folders);
    int groups = 1;
    while (groups * groups < folders)
        ++groups;
    const int perGroup = (folders + groups - 1) / groups;
    for (int leaf = 0, first = 0; leaf < folders; ++leaf) {
        const int count = files / folders + (leaf < files % folders ? 1 : 0);
        char path[32];
        std::snprintf(path, sizeof path, "g%03d/d%03d", leaf / perGroup, leaf % perGroup);
        folders_.push_back({path, first, count});
        first += count;
    }
    const Folder& last = folders_.back();
    for (char prefix : {'a', 'b'}) {
        if (fs::exists(path_ + "/" + folders_.front().path + "/" + FileName(prefix, 0)) &&
            fs::exists(path_ + "/" + last.path + "/" +
                       FileName(prefix, last.first + last.count - 1))) {
            prefix_ = prefix;
            return;
        }
    }
    std::cerr << "creating " << files << " files in " << folders << " folders in " << path_
              << " ...\n";
    fs::remove_all(path_);
    for (const Folder& folder : folders_) {
        fs::create_directories(path_ + "/" + folder.path);
        for (int i = folder.first; i < folder.first + folder.count; ++i) {
            const std::string file = path_ + "/" + folder.path + "/" + FileName('a', i);
            const int fd = ::open(file.c_str(), O_CREAT | O_WRONLY, 0644);
            if (fd < 0)
                throw std::runtime_error("cannot create the benchmark files in " + path_);
            ::close(fd);
        }
    }
    prefix_ = 'a';
}

double TimeBareTreeRenames(BenchTree& tree) {
    const char from = tree.Prefix(), to = tree.OtherPrefix();
    const int root = open(tree.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const double seconds = Seconds([&] {
        for (const BenchTree::Folder& folder : tree.Folders()) {
            const int fd = openat(root, folder.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            for (int i = folder.first; i < folder.first + folder.count; ++i)
                if (renameat2(fd, BenchTree::FileName(from, i).c_str(), fd,
                              BenchTree::FileName(to, i).c_str(), RENAME_NOREPLACE))
                    throw std::runtime_error("bare rename failed in " + folder.path);
            close(fd);
        }
    });
    close(root);
    tree.Renamed(to);
    return seconds;
}

double TimeBareWalkAndSort(const std::string& tree, std::size_t& count) {
    UCollator* collator = OpenLimitCollator();
    UErrorCode status = U_ZERO_ERROR;
    UCaseMap* folding = ucasemap_open("", U_FOLD_CASE_DEFAULT, &status);
    std::vector<std::uint32_t> order; // released after the timing, as the lists keep theirs
    Pieces names, keys;
    const double seconds = Seconds([&] {
        WalkBare(AT_FDCWD, tree.c_str(), collator, folding, names, keys, order);
        keys = Pieces(); // the keys go once sorted, as the lists' do
    });
    count = order.size();
    ucasemap_close(folding);
    if (collator)
        ucol_close(collator);
    return seconds;
}

std::string Beside(const char* program) {
    return (fs::read_symlink("/proc/self/exe").parent_path() / program).string();
}

std::string RunProgram(const std::string& path, const std::vector<std::string>& arguments) {
    std::vector<char*> argv{const_cast<char*>(path.c_str())};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    int output[2];
    if (pipe(output) != 0)
        throw std::runtime_error("no pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, output[0]);
    pid_t child = 0;
    const int error = posix_spawn(&child, path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    if (error != 0) {
        close(output[0]);
        throw std::runtime_error("cannot start " + path);
    }
    const std::string text = ReadAll(output[0]).value_or(std::string());
    close(output[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return text;
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

void ProcessEventsUntilIdle() {
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    for (int idle = 0; idle < 2;) {
        QCoreApplication::sendPostedEvents();
        idle = dispatcher->processEvents(QEventLoop::AllEvents) ? 0 : idle + 1;
    }
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

Memory ProcessMemory() {
    Memory memory;
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        long kilobytes = 0;
        if (std::sscanf(line.c_str(), "VmRSS: %ld kB", &kilobytes) == 1)
            memory.resident = kilobytes * 1024;
        else if (std::sscanf(line.c_str(), "VmHWM: %ld kB", &kilobytes) == 1)
            memory.peak = kilobytes * 1024;
    }
    return memory;
}

} // namespace nomilo::bench
