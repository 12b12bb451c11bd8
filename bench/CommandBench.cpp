// The terminal command as a user runs it, each program started afresh and timed from its start
// to its end, in the same run:
//   - a batch over a folder of files, against the bare readdir and renameat2 loop
//     (nomilo_command_bare), side by side with mmv, the perl rename (file-rename) and
//     util-linux rename (rename.ul) where they are installed (scripts/install-deps --bench);
//   - a dry run, against a bare readdir and a sort by the file list's collation
//     (nomilo_startup_bare), and the same with one statx a name;
//   - the start and end on an empty folder, beside a program that does nothing (/bin/true).
// Each round runs every way once, rotating which goes first; the report gives the medians and
// their ratios, of the time from start to end and of the processor time (user and system, all
// threads, as the kernel accounts it to the child), and the median of each round's ratio of
// processor time, which a busy machine disturbs least. The command's journal goes to
// $NOMILO_BENCH_DIR/state.
//   nomilo_bench_command [ROUNDS=5] [FILES...=100000]
// With NOMILO_BENCH_BUSY_CORE=1 a spinning process keeps the machine's last processor busy
// while the batches run; with NOMILO_BENCH_CALLGRIND=1 every program runs under callgrind, which
// counts the instructions each runs outside the kernel (the renames' own work is the kernel's).

#include "bench/BenchFolder.h"

#include <algorithm>
#include <array>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <sched.h>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace nomilo::bench {
namespace {

namespace fs = std::filesystem;

// The full path of `program` on $PATH, if it is installed.
std::optional<std::string> Installed(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= folders.size();) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        const std::string candidate = folders.substr(start, end - start) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return std::nullopt;
}

// What running a program cost: the seconds from its start to its end, the processor time it
// used (user and system, all its threads, as the kernel accounts it to the child), and, under
// callgrind, the instructions it ran outside the kernel.
struct Cost {
    double wall = 0;
    double cpu = 0;
    double instructions = 0;
    Cost& operator+=(const Cost& other) {
        wall += other.wall;
        cpu += other.cpu;
        instructions += other.instructions;
        return *this;
    }
};

// Whether the programs are run under callgrind (NOMILO_BENCH_CALLGRIND=1): each then counts its
// instructions, and its times are valgrind's.
bool UnderCallgrind() {
    const char* value = std::getenv("NOMILO_BENCH_CALLGRIND");
    return value && *value && std::string(value) != "0";
}

// The instructions callgrind counted, from its report ("==PID== Collected : N").
double CollectedInstructions(const std::string& report) {
    const std::size_t at = report.rfind("Collected : ");
    return at == std::string::npos ? 0 : std::atof(report.c_str() + at + 12);
}

// Runs `arguments` in `folder` with standard input from `input` (/dev/null when empty), its
// output thrown away; answers what it cost. Throws when it fails.
Cost TimeProgram(std::vector<std::string> arguments, const std::string& folder,
                 const std::string& input = "/dev/null") {
    const std::string report = BenchRoot() + "/callgrind.txt";
    if (UnderCallgrind())
        arguments.insert(arguments.begin(), {"/usr/bin/valgrind", "--tool=callgrind",
                                             "--callgrind-out-file=/dev/null"});
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, UnderCallgrind() ? report.c_str() : "/dev/null",
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    pid_t child = 0;
    int status = 0;
    rusage usage{};
    Cost cost;
    cost.wall = Seconds([&] {
        if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            throw std::runtime_error("cannot start " + arguments[0]);
        wait4(child, &status, 0, &usage);
    });
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(arguments[0] + " failed");
    cost.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    if (UnderCallgrind()) {
        std::ifstream text(report);
        cost.instructions = CollectedInstructions(
            std::string(std::istreambuf_iterator<char>(text), std::istreambuf_iterator<char>()));
    }
    return cost;
}

// One core kept busy while it lives (NOMILO_BENCH_BUSY_CORE=1): a process of its own spins on
// the machine's last processor, as another program's work would, so that the programs timed
// have the other processors only.
class BusyCore {
public:
    BusyCore() {
        const char* value = std::getenv("NOMILO_BENCH_BUSY_CORE");
        if (!value || !*value || std::string(value) == "0")
            return;
        const long processor = sysconf(_SC_NPROCESSORS_ONLN) - 1;
        spinner_ = fork();
        if (spinner_ == 0) {
            cpu_set_t one;
            CPU_ZERO(&one);
            CPU_SET(static_cast<int>(processor), &one);
            sched_setaffinity(0, sizeof one, &one);
            volatile unsigned long turns = 0;
            for (;;)
                turns = turns + 1;
        }
        std::printf("one core kept busy: a spinning process on processor %ld\n", processor);
    }
    ~BusyCore() {
        if (spinner_ > 0) {
            kill(spinner_, SIGKILL);
            waitpid(spinner_, nullptr, 0);
        }
    }
    BusyCore(const BusyCore&) = delete;
    BusyCore& operator=(const BusyCore&) = delete;

private:
    pid_t spinner_ = -1;
};

// One way of renaming every file of the folder from its prefix to the other.
struct RenameWay {
    std::string name;
    std::function<Cost(BenchFolder&)> run;
};

// `folder` holds every file under `prefix` (checked at the first and the last name).
void CheckRenamed(const BenchFolder& folder, char prefix, const std::string& by) {
    const std::vector<std::string> names = folder.Names(prefix);
    for (const std::string* name : {&names.front(), &names.back()})
        if (!fs::exists(folder.Path() + "/" + *name))
            throw std::runtime_error(by + " did not rename every file");
}

std::vector<RenameWay> RenameWays() {
    std::vector<RenameWay> ways;
    auto prefixes = [](const BenchFolder& folder) {
        return std::make_pair(std::string(1, folder.Prefix()) + "_",
                              std::string(1, folder.OtherPrefix()) + "_");
    };
    ways.push_back(
        {"bare readdir, sort, renameat2 loop", [=](BenchFolder& folder) {
             const auto [from, to] = prefixes(folder);
             return TimeProgram({Beside("nomilo_command_bare"), ".", from, to}, folder.Path());
         }});
    ways.push_back({"nomilo-rename", [=](BenchFolder& folder) {
                        const auto [from, to] = prefixes(folder);
                        return TimeProgram({NOMILO_RENAME_PROGRAM, from, to}, folder.Path());
                    }});
    if (const auto mmv = Installed("mmv"))
        ways.push_back({"mmv", [=](BenchFolder& folder) {
                            const auto [from, to] = prefixes(folder);
                            return TimeProgram({*mmv, from + "*", to + "#1"}, folder.Path());
                        }});
    else
        std::printf("mmv is not installed: skipped (scripts/install-deps --bench installs it)\n");
    if (const auto perlRename = Installed("file-rename"))
        ways.push_back({"perl rename (names on stdin)", [=](BenchFolder& folder) {
                            const auto [from, to] = prefixes(folder);
                            const std::string list = BenchRoot() + "/names.txt";
                            std::ofstream names(list);
                            for (const std::string& name : folder.Names(folder.Prefix()))
                                names << name << '\n';
                            names.close();
                            return TimeProgram({*perlRename, "s/^" + from + "/" + to + "/"},
                                               folder.Path(), list);
                        }});
    else
        std::printf("the perl rename (file-rename) is not installed: skipped "
                    "(scripts/install-deps --bench installs it)\n");
    if (const auto utilLinux = Installed("rename.ul"))
        ways.push_back({"util-linux rename (as xargs runs it)", [=](BenchFolder& folder) {
                            const auto [from, to] = prefixes(folder);
                            // As many names a start as xargs would pass.
                            const std::vector<std::string> all = folder.Names(folder.Prefix());
                            Cost cost;
                            for (std::size_t at = 0; at < all.size(); at += 10000) {
                                std::vector<std::string> arguments{*utilLinux, from, to};
                                arguments.insert(arguments.end(), all.begin() + at,
                                                 all.begin() + std::min(all.size(), at + 10000));
                                cost += TimeProgram(arguments, folder.Path());
                            }
                            return cost;
                        }});
    else
        std::printf("util-linux rename (rename.ul) is not installed: skipped\n");
    return ways;
}

void BatchRounds(int files, int rounds) {
    BenchFolder folder(files);
    const std::vector<RenameWay> ways = RenameWays();
    std::vector<std::vector<double>> wall(ways.size()), cpu(ways.size()), instructions(ways.size());
    const BusyCore busy;
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t k = 0; k < ways.size(); ++k) {
            const std::size_t way = (k + static_cast<std::size_t>(round)) % ways.size();
            const char to = folder.OtherPrefix();
            const Cost cost = ways[way].run(folder);
            wall[way].push_back(cost.wall);
            cpu[way].push_back(cost.cpu);
            instructions[way].push_back(cost.instructions);
            CheckRenamed(folder, to, ways[way].name);
            folder.Renamed(to);
        }
    }
    std::printf("batch over %d files in %s (median of %d)%s:\n", files, folder.Path().c_str(),
                rounds, UnderCallgrind() ? ", under callgrind" : "");
    for (std::size_t way = 0; way < ways.size(); ++way) {
        std::vector<double> ratios;
        for (std::size_t round = 0; round < cpu[way].size(); ++round)
            ratios.push_back(cpu[way][round] / cpu[0][round]);
        std::printf("  %-38s %7.3f s %6.3f x; processor %6.3f s %6.3f x, each round's %6.3f x",
                    ways[way].name.c_str(), Median(wall[way]), Median(wall[way]) / Median(wall[0]),
                    Median(cpu[way]), Median(cpu[way]) / Median(cpu[0]), Median(ratios));
        if (UnderCallgrind())
            std::printf("; %.0f instructions %6.3f x", Median(instructions[way]),
                        Median(instructions[way]) / Median(instructions[0]));
        std::printf("\n");
    }
}

void DryRunRounds(int files, int rounds) {
    const BenchFolder folder(files);
    const std::string from = std::string(1, folder.Prefix()) + "_";
    const std::string to = std::string(1, folder.OtherPrefix()) + "_";
    // The bare read and sort; the same with one statx a name, which the prediction of the files
    // the kernel will not let go (immutable, append-only, another's in a sticky folder) needs;
    // the dry run. Each round rotates which goes first.
    const std::vector<std::vector<std::string>> ways{
        {Beside("nomilo_startup_bare"), "."},
        {Beside("nomilo_startup_bare"), ".", "--stat-each"},
        {NOMILO_RENAME_PROGRAM, "-n", from, to}};
    std::vector<std::vector<double>> seconds(ways.size());
    for (int round = 0; round < rounds; ++round)
        for (std::size_t k = 0; k < ways.size(); ++k) {
            const std::size_t way = (k + static_cast<std::size_t>(round)) % ways.size();
            seconds[way].push_back(TimeProgram(ways[way], folder.Path()).wall);
        }
    const double bare = Median(seconds[0]), stat = Median(seconds[1]), dry = Median(seconds[2]);
    std::printf("dry run over %d files (median of %d): bare readdir + collation sort %.1f ms, "
                "the same with a statx a name %.1f ms, nomilo-rename -n %.1f ms; ratio %.3f to "
                "the bare read, %.3f to the read with statx\n",
                files, rounds, bare * 1e3, stat * 1e3, dry * 1e3, dry / bare, dry / stat);
}

void EmptyFolderRounds(int rounds) {
    const std::string empty = BenchRoot() + "/empty";
    fs::create_directories(empty);
    std::vector<double> idle, command;
    for (int round = 0; round < rounds * 10; ++round) {
        idle.push_back(TimeProgram({"/bin/true"}, empty).wall);
        command.push_back(TimeProgram({NOMILO_RENAME_PROGRAM, "a", "b"}, empty).wall);
    }
    // On a shared machine the fastest runs tell the program's own cost best; both are given.
    std::printf("start and end on an empty folder (%d runs): nomilo-rename median %.2f ms, "
                "fastest %.2f ms; /bin/true median %.2f ms, fastest %.2f ms\n",
                rounds * 10, Median(command) * 1e3,
                *std::min_element(command.begin(), command.end()) * 1e3, Median(idle) * 1e3,
                *std::min_element(idle.begin(), idle.end()) * 1e3);
}

} // namespace
} // namespace nomilo::bench

int main(int argc, char** argv) {
    using namespace nomilo::bench;
    const std::string state = BenchRoot() + "/state";
    std::filesystem::create_directories(state);
    setenv("XDG_STATE_HOME", state.c_str(), 1);
    const auto [rounds, sizes] = ParseBenchArguments(argc, argv, {100000});
    EmptyFolderRounds(rounds);
    for (int files : sizes) {
        DryRunRounds(files, rounds);
        BatchRounds(files, rounds);
    }
    return 0;
}
