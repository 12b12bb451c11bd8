// The program's start on a folder of many files, from exec to the window shown and idle
// (nomilo_startup_window), against a process that does only the limit of the lists
// (nomilo_startup_bare, see BenchFolder.h), each started afresh, in the same run; and the
// window's memory when it is idle and at its most. Each round starts both, alternating which
// goes first; the report gives medians and their ratio. The window is also started with Show new
// names on, which is to open as fast as with it off.
//   nomilo_bench_startup [ROUNDS=5] [FILES...=100000]
// NOMILO_STARTUP_WINDOW names another window program to time (another build's, to compare).

#include "bench/BenchFolder.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace nomilo::bench {
namespace {

long long MonotonicNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// What a started program reported: the seconds from its start to its "ready" line, the number
// it gives, and its memory then and at its most, when it tells them (bytes).
struct Ready {
    double seconds = 0;
    long count = 0;
    long resident = 0;
    long peak = 0;
};

// Starts `program` on `folder` and reads its "ready" line.
Ready TimeToReady(const std::string& program, const std::string& folder,
                  const std::vector<std::string>& more = {}) {
    const long long start = MonotonicNanoseconds();
    std::vector<std::string> arguments{folder};
    arguments.insert(arguments.end(), more.begin(), more.end());
    const std::string text = RunProgram(program, arguments);
    long long ready = 0;
    Ready report;
    if (std::sscanf(text.c_str(), "ready %lld %ld %ld %ld", &ready, &report.count, &report.resident,
                    &report.peak) < 2)
        throw std::runtime_error(program + " did not report ready: " + text);
    report.seconds = static_cast<double>(ready - start) * 1e-9;
    return report;
}

void StartRounds(int files, int rounds) {
    const BenchFolder folder(files);
    const char* other = std::getenv("NOMILO_STARTUP_WINDOW");
    const std::string window = other && *other ? other : Beside("nomilo_startup_window");
    const std::string bare = Beside("nomilo_startup_bare");
    std::vector<double> windowTimes, bareTimes, previewTimes, resident, peak;
    Ready shown, read;
    const auto runWindow = [&] {
        shown = TimeToReady(window, folder.Path());
        windowTimes.push_back(shown.seconds);
        resident.push_back(static_cast<double>(shown.resident));
        peak.push_back(static_cast<double>(shown.peak));
    };
    const auto runBare = [&] {
        read = TimeToReady(bare, folder.Path());
        bareTimes.push_back(read.seconds);
    };
    // The same window with Show new names on, whose folder's names are then read too.
    const auto runPreview = [&] {
        previewTimes.push_back(TimeToReady(window, folder.Path(), {"--show-new-names"}).seconds);
    };
    for (int round = 0; round < rounds; ++round) {
        if (round % 2 == 0) {
            runBare();
            runWindow();
            runPreview();
        } else {
            runPreview();
            runWindow();
            runBare();
        }
    }
    if (shown.count != read.count)
        throw std::runtime_error("the window did not list every file");
    const double b = Median(bareTimes), w = Median(windowTimes);
    std::printf("start on %7d files: limit %.1f ms, window shown and idle %.1f ms, ratio %.2f",
                files, b * 1e3, w * 1e3, w / b);
    if (shown.resident > 0)
        std::printf("; memory then %.1f MB, at its most %.1f MB", Median(resident) / 1048576.0,
                    Median(peak) / 1048576.0);
    std::printf("\n  with Show new names on: %.1f ms, %.2f times the window with it off\n",
                Median(previewTimes) * 1e3, Median(previewTimes) / w);
    std::fflush(stdout);
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
