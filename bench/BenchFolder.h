#pragma once

#include "rename/BatchJournal.h"
#include "rename/FileEntries.h"

#include <chrono>
#include <string>
#include <vector>

namespace nomilo::bench {

// A folder of `count` empty files on disk, made once and kept between runs: creating 100,000
// files right after deleting as many can take many times longer than the first time. The files
// are named PREFIX_NNNNNN.dat, with the prefix "a" or "b"; benchmarks rename them from one prefix
// to the other and back.
class BenchFolder {
public:
    explicit BenchFolder(int count);

    const std::string& Path() const { return path_; }
    int Count() const { return count_; }
    // The prefix the files have now ("a" or "b").
    char Prefix() const { return prefix_; }
    char OtherPrefix() const { return prefix_ == 'a' ? 'b' : 'a'; }
    // The names as they are now, in creation order, and as they will be after a rename.
    std::vector<std::string> Names(char prefix) const;
    // Records that every file now carries `prefix`.
    void Renamed(char prefix) { prefix_ = prefix; }

private:
    std::string path_;
    int count_;
    char prefix_;
};

// A tree of `files` empty files in `folders` folders on disk, made once and kept between runs as
// BenchFolder is: FOLDER/gGGG/dDDD/PREFIX_NNNNNNN.dat, the files spread evenly over the folders
// dDDD (about as many groups gGGG as folders in each), numbered across the tree. The tree's own
// folder and the groups hold no files.
class BenchTree {
public:
    BenchTree(int files, int folders);

    const std::string& Path() const { return path_; }
    int Files() const { return files_; }
    char Prefix() const { return prefix_; }
    char OtherPrefix() const { return prefix_ == 'a' ? 'b' : 'a'; }
    void Renamed(char prefix) { prefix_ = prefix; }
    // Every folder that holds files, by its path in the tree, and the numbers of its files.
    struct Folder {
        std::string path;
        int first, count;
    };
    const std::vector<Folder>& Folders() const { return folders_; }
    static std::string FileName(char prefix, int number);

private:
    std::string path_;
    int files_;
    char prefix_ = 'a';
    std::vector<Folder> folders_;
};

// Renames every file of `tree` to the other prefix with a bare loop: each folder opened once
// (openat), its files renamed with renameat2 in it. Answers the seconds it took.
double TimeBareTreeRenames(BenchTree& tree);

// The limit of a list with subfolders included: a bare walk of `tree` that opens each folder
// (openat) and reads it (getdents64), one collation key per name as TimeBareReadAndSort makes
// them, each folder's files sorted by themselves and its subfolders too, in seconds; `count` is
// set to the number of files.
double TimeBareWalkAndSort(const std::string& tree, std::size_t& count);

// Renames every file of `folder` to the other prefix with a bare loop of renameat2 calls (the
// current directory must be the folder) and answers the seconds it took.
double TimeBareRenames(BenchFolder& folder);

// Runs the rename batch over `entries` (the folder's names, all selected) in selected-only mode,
// renaming every file to the other prefix, and answers the seconds it took. With a `journal`,
// the batch keeps it as the program does. With `regexNumbering` the batch renames by a regular
// expression with a group and a counter that gives each file its number again.
double TimeRenameBatch(BenchFolder& folder, IFileEntries& entries,
                       IBatchJournal* journal = nullptr, bool regexNumbering = false);

// The names in `folder` as a bare readdir loop finds them ("." and ".." left out); only the
// folders among them when `foldersOnly`.
std::vector<std::string> BareReadNames(const std::string& folder, bool foldersOnly);

// The limit of the lists: a bare readdir loop over `folder` into one buffer of names, one
// collation key per name by ICU into one buffer of keys, and one sort of the keys, in seconds.
// The keys are those of the order the lists show: the locale's collator (QLocale()) at
// secondary strength with normalization, and in the C locale the name case-folded by ICU.
// `count` is set to the number of names. With `statEach`, each name is also asked of the kernel
// with one statx as it is read (what a prediction of which files may be renamed needs).
double TimeBareReadAndSort(const std::string& folder, bool foldersOnly, std::size_t& count,
                           bool statEach = false);

// The command line of every benchmark program: [ROUNDS=5] [SIZE...], with `defaultSizes` when no
// size is given.
struct BenchArguments {
    int rounds = 5;
    std::vector<int> sizes;
};
BenchArguments ParseBenchArguments(int argc, char** argv, std::vector<int> defaultSizes);

// Handles every event that waits (posted events, timers that are due, the window system's
// events) until none is left: the program is idle.
void ProcessEventsUntilIdle();

// Windows go nowhere (QT_QPA_PLATFORM=offscreen) unless the environment names a platform.
void PreferOffscreen();

// The path of the program `program` that lies beside this one.
std::string Beside(const char* program);
// Runs the program at `path` with `arguments`, waits for it to end and answers what it wrote to
// its standard output.
std::string RunProgram(const std::string& path, const std::vector<std::string>& arguments);

// Where the benchmark folders live: $NOMILO_BENCH_DIR, else ./bench-data.
std::string BenchRoot();

// Median of the timings, in seconds.
double Median(std::vector<double> seconds);

// Seconds elapsed while running `work`.
template <typename F> double Seconds(F&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Gives the memory the work before released back to the system, so that the next timing does
// not pay for it.
void ReleaseMemory();

// Resident set size of this process in bytes, from /proc/self/statm.
long ResidentBytes();

// The memory of this process as /proc/self/status tells it, in bytes: resident now (VmRSS) and
// the most it has been resident (VmHWM).
struct Memory {
    long resident = 0;
    long peak = 0;
};
Memory ProcessMemory();

} // namespace nomilo::bench
