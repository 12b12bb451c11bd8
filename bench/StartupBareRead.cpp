// The yardstick of the program's start: a process that does the limit of the lists on the folder
// given (a bare readdir loop, one collation key per name, one sort; see BenchFolder.h), then
// writes "ready NANOSECONDS NAMES" (the monotonic clock) and ends.
//   nomilo_startup_bare FOLDER
#include "bench/BenchFolder.h"

#include <cstdio>
#include <ctime>

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    std::size_t count = 0;
    nomilo::bench::TimeBareReadAndSort(argv[1], false, count);
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    std::printf("ready %lld %zu\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec,
                count);
    return 0;
}
