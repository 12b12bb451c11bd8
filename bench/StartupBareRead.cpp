// The yardstick of the program's start: a process that does the limit of the lists on the folder
// given (a bare readdir loop, one collation key per name, one sort; see BenchFolder.h), then
// writes "ready NANOSECONDS NAMES" (the monotonic clock) and ends. With --stat-each, each name is
// also asked of the kernel with one statx as it is read.
//   nomilo_startup_bare FOLDER [--stat-each]
#include "bench/BenchFolder.h"

#include <cstdio>
#include <ctime>
#include <string_view>

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    std::size_t count = 0;
    const bool statEach = argc > 2 && std::string_view(argv[2]) == "--stat-each";
    nomilo::bench::TimeBareReadAndSort(argv[1], false, count, statEach);
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    std::printf("ready %lld %zu\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec,
                count);
    return 0;
}
