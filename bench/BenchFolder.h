#pragma once

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

// Resident set size of this process in bytes, from /proc/self/statm.
long ResidentBytes();

} // namespace nomilo::bench
