// The program's start on a folder of many files, from exec to the window shown and idle
// (nomilo_startup_window), against a process that only reads the folder and sorts its names by
// the same collation (nomilo_startup_bare), each started afresh, in the same run. Each round
// starts both, alternating which goes first; the report gives medians and their ratio.
//   nomilo_bench_startup [ROUNDS=5] [FILES...=100000]
// NOMILO_STARTUP_WINDOW names another window program to time (another build's, to compare).

#include "bench/BenchFolder.h"
#include "platform/files/FileIO.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace nomilo::bench {
namespace {

long long MonotonicNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// A program beside this one.
std::string Beside(const char* name) {
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / name).string();
}

// Starts `program` on `folder` and answers the seconds from the start to its "ready" line;
// `count` is set to the number it reports.
double TimeToReady(const std::string& program, const std::string& folder, long& count) {
    int output[2];
    if (pipe(output) != 0)
        throw std::runtime_error("no pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, output[0]);
    std::vector<char*> arguments{const_cast<char*>(program.c_str()),
                                 const_cast<char*>(folder.c_str()), nullptr};
    const long long start = MonotonicNanoseconds();
    pid_t child = 0;
    const int error =
        posix_spawn(&child, program.c_str(), &actions, nullptr, arguments.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    if (error != 0)
        throw std::runtime_error("cannot start " + program);
    const std::string text = ReadAll(output[0]).value_or(std::string());
    close(output[0]);
    int status = 0;
    waitpid(child, &status, 0);
    long long ready = 0;
    if (std::sscanf(text.c_str(), "ready %lld %ld", &ready, &count) != 2)
        throw std::runtime_error(program + " did not report ready: " + text);
    return static_cast<double>(ready - start) * 1e-9;
}

void StartRounds(int files, int rounds) {
    const BenchFolder folder(files);
    const char* other = std::getenv("NOMILO_STARTUP_WINDOW");
    const std::string window = other && *other ? other : Beside("nomilo_startup_window");
    const std::string bare = Beside("nomilo_startup_bare");
    std::vector<double> windowTimes, bareTimes;
    long shown = 0, read = 0;
    for (int round = 0; round < rounds; ++round) {
        if (round % 2 == 0) {
            bareTimes.push_back(TimeToReady(bare, folder.Path(), read));
            windowTimes.push_back(TimeToReady(window, folder.Path(), shown));
        } else {
            windowTimes.push_back(TimeToReady(window, folder.Path(), shown));
            bareTimes.push_back(TimeToReady(bare, folder.Path(), read));
        }
    }
    if (shown != read)
        throw std::runtime_error("the window did not list every file");
    const double b = Median(bareTimes), w = Median(windowTimes);
    std::printf("start on %6d files: bare readdir + collation sort %.1f ms, window shown and "
                "idle %.1f ms, ratio %.2f\n",
                files, b * 1e3, w * 1e3, w / b);
}

} // namespace
} // namespace nomilo::bench

int main(int argc, char** argv) {
    using namespace nomilo::bench;
    // The window's settings go to a folder of the benchmark's own.
    const std::string config = BenchRoot() + "/startup-config";
    std::filesystem::create_directories(config);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    nomilo::bench::PreferOffscreen();
    const auto [rounds, sizes] = ParseBenchArguments(argc, argv, {100000});
    for (int files : sizes)
        StartRounds(files, rounds);
    return 0;
}
