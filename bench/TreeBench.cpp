// A whole tree in one batch: a list with subfolders included against its limits, in the same
// run, on a tree on disk (BenchTree: FILES files spread over FOLDERS folders):
//   - reading the tree into a shown list (the walk off the window's thread, as the program
//     reads) against a bare walk: openat and getdents64 per folder, the same collation keys and
//     the same sort (TimeBareWalkAndSort); wall time and the process's processor time (user +
//     system) of each;
//   - the memory a list entry takes: a process of its own shows the list with subfolders
//     included on the tree, another the list of one folder of as many files (settled VmRSS less
//     the process's before the list, over the entries);
//   - the program itself (the real window, offscreen, its settings in a folder of its own) on
//     the tree with Include subfolders on and on one folder of as many files: its memory when
//     settled (VmRSS) and at its most (VmHWM);
//   - the batch over the list with every entry selected, in selected-only mode, with its journal
//     and the renames folder by folder (TFolderMoves), against a bare loop that opens each
//     folder once and renames its files with renameat2 (TimeBareTreeRenames);
//   - nomilo-rename -r, each started afresh, beside find -exec with the perl rename
//     (file-rename) and with util-linux rename (rename.ul), where they are installed.
// Each round runs the ways alternating which goes first; the report gives medians and ratios.
//   nomilo_bench_tree [ROUNDS=5] [FILES=1000000 [FOLDERS=10000]]
// NOMILO_BENCH_PARTS chooses among "list memory program batch command" (default: all);
// NOMILO_BENCH_LOCALE=C reads in the C locale (default: English, United States).

#include "bench/BenchFolder.h"
#include "browse/FileListBox.h"
#include "platform/files/FolderMoves.h"
#include "platform/files/ResponsiveCalls.h"
#include "rename/UndoJournal.h"

#include <QApplication>
#include <QLocale>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace nomilo::bench {
namespace {

namespace fs = std::filesystem;

// Processor time (user + system) of the whole process so far, in seconds.
double ProcessorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// Wall and processor seconds of `work`.
struct Cost {
    double wall = 0, cpu = 0;
};
template <typename F> Cost Costs(F&& work) {
    const double before = ProcessorSeconds();
    Cost cost;
    cost.wall = Seconds(std::forward<F>(work));
    cost.cpu = ProcessorSeconds() - before;
    return cost;
}

void SetLocale() {
    const char* locale = std::getenv("NOMILO_BENCH_LOCALE");
    QLocale::setDefault(locale && std::strcmp(locale, "C") == 0
                            ? QLocale::c()
                            : QLocale(QLocale::English, QLocale::UnitedStates));
}

// The window's waits: calls run on threads of their own, as in the program.
void WaitAsTheWindowDoes() {
    SetCallWaiter([](const std::function<bool()>& done) {
        while (!done())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
}

void ListRounds(const BenchTree& tree, int rounds) {
    TFileListBox list;
    list.resize(300, 700);
    list.SetFolderPath(tree.Path());
    list.SetIncludeSubfolders(true);
    list.show();
    std::vector<double> limitWall, limitCpu, listWall, listCpu;
    std::size_t count = 0;
    for (int round = 0; round < rounds; ++round) {
        const auto runLimit = [&] {
            ReleaseMemory();
            const Cost cost = Costs([&] { TimeBareWalkAndSort(tree.Path(), count); });
            limitWall.push_back(cost.wall);
            limitCpu.push_back(cost.cpu);
        };
        const auto runList = [&] {
            list.SetMask(";");
            ReleaseMemory();
            const Cost cost = Costs([&] {
                list.SetMask("*.*");
                list.doItemsLayout();
                list.viewport()->repaint();
            });
            listWall.push_back(cost.wall);
            listCpu.push_back(cost.cpu);
        };
        if (round % 2 == 0) {
            runLimit();
            runList();
        } else {
            runList();
            runLimit();
        }
    }
    if (static_cast<std::size_t>(list.EntryCount()) != count)
        throw std::runtime_error("the list did not read every file");
    std::printf("read %d files in %zu folders: bare walk %.1f ms (cpu %.1f ms), list with "
                "subfolders %.1f ms (cpu %.1f ms); ratio wall %.2f, cpu %.2f\n",
                tree.Files(), tree.Folders().size(), Median(limitWall) * 1e3,
                Median(limitCpu) * 1e3, Median(listWall) * 1e3, Median(listCpu) * 1e3,
                Median(listWall) / Median(limitWall), Median(listCpu) / Median(limitCpu));
    std::fflush(stdout);
}

// In a process of its own: the list shown on `folder`, with subfolders when `tree`; writes
// "memory BEFORE SETTLED PEAK ENTRIES" (bytes).
int ShowForMemory(const std::string& folder, bool tree, char* program) {
    int qtArgc = 1;
    QApplication app(qtArgc, &program);
    SetLocale();
    WaitAsTheWindowDoes();
    const Memory before = ProcessMemory();
    TFileListBox list;
    list.resize(300, 700);
    list.SetFolderPath(folder);
    list.SetIncludeSubfolders(tree);
    list.show();
    list.doItemsLayout();
    list.viewport()->repaint();
    QApplication::processEvents();
    const Memory after = ProcessMemory();
    std::printf("memory %ld %ld %ld %d\n", before.resident, after.resident, after.peak,
                list.EntryCount());
    return 0;
}

double BytesPerEntry(const std::string& folder, bool tree) {
    const std::string text = RunProgram(Beside("nomilo_bench_tree"),
                                        {"--memory", folder, tree ? "tree" : "folder"});
    long before = 0, settled = 0, peak = 0;
    int entries = 0;
    if (std::sscanf(text.c_str(), "memory %ld %ld %ld %d", &before, &settled, &peak, &entries) != 4 ||
        entries == 0)
        throw std::runtime_error("no memory figures: " + text);
    return static_cast<double>(settled - before) / entries;
}

void MemoryPerEntry(const BenchTree& tree, const BenchFolder& folder) {
    const double inTree = BytesPerEntry(tree.Path(), true);
    const double inFolder = BytesPerEntry(folder.Path(), false);
    std::printf("memory a shown entry takes: %.1f bytes with subfolders included (%d files in "
                "%zu folders), %.1f bytes in one folder of %d files; ratio %.2f\n",
                inTree, tree.Files(), tree.Folders().size(), inFolder, folder.Count(),
                inTree / inFolder);
    std::fflush(stdout);
}

// The resident and peak memory of process `pid` (bytes), and its processor seconds.
struct Held {
    long resident = 0, peak = 0;
    double cpu = 0;
};
Held ProcessHeld(pid_t pid) {
    Held held;
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        long kilobytes = 0;
        if (std::sscanf(line.c_str(), "VmRSS: %ld kB", &kilobytes) == 1)
            held.resident = kilobytes * 1024;
        else if (std::sscanf(line.c_str(), "VmHWM: %ld kB", &kilobytes) == 1)
            held.peak = kilobytes * 1024;
    }
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int i = 0; i < 13 && fields >> field; ++i)
        if (i >= 11)
            ticks += std::atol(field.c_str());
    held.cpu = static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
    return held;
}

// The real program started offscreen on `folder` with settings of its own (Include subfolders
// as `tree` says), left until it has used no processor time for a second, then ended.
Held ProgramSettled(const std::string& folder, bool tree) {
    const std::string home = BenchRoot() + "/program-home";
    fs::remove_all(home);
    fs::create_directories(home + "/config/nomilo");
    fs::create_directories(home + "/state");
    std::ofstream(home + "/config/nomilo/registry.reg")
        << "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Kestrio\\Nomilo]\n\"Jezik\"=\"English\"\n"
        << "\"IncludeSubfolders\"=\"" << (tree ? 1 : 0) << "\"\n\n";
    std::vector<std::string> variables{"QT_QPA_PLATFORM=offscreen", "HOME=" + home,
                                       "XDG_CONFIG_HOME=" + home + "/config",
                                       "XDG_STATE_HOME=" + home + "/state"};
    for (char** variable = environ; *variable; ++variable) {
        const std::string_view text = *variable;
        if (!text.starts_with("HOME=") && !text.starts_with("QT_QPA_PLATFORM=") &&
            !text.starts_with("XDG_"))
            variables.emplace_back(text);
    }
    std::vector<char*> env;
    for (std::string& variable : variables)
        env.push_back(variable.data());
    env.push_back(nullptr);
    std::string program = NOMILO_PROGRAM, argument = folder;
    char* argv[] = {program.data(), argument.data(), nullptr};
    pid_t child = 0;
    if (posix_spawn(&child, argv[0], nullptr, nullptr, argv, env.data()) != 0)
        throw std::runtime_error("cannot start " + program);
    Held held;
    double lastCpu = -1;
    for (int still = 0, ticks = 0; still < 4; ++ticks) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        held = ProcessHeld(child);
        still = ticks > 8 && held.cpu == lastCpu ? still + 1 : 0;
        lastCpu = held.cpu;
    }
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    return held;
}

void ProgramMemory(const BenchTree& tree, const BenchFolder& folder) {
    for (const auto& [name, path, subfolders] :
         {std::tuple<const char*, std::string, bool>{"one folder", folder.Path(), false},
          {"the tree with subfolders included", tree.Path(), true}}) {
        const Held held = ProgramSettled(path, subfolders);
        std::printf("the program on %s (%d files): settled %.1f MB, peak %.1f MB, peak/settled "
                    "%.2f, processor %.2f s\n",
                    name, subfolders ? tree.Files() : folder.Count(), held.resident / 1048576.0,
                    held.peak / 1048576.0,
                    static_cast<double>(held.peak) / static_cast<double>(held.resident),
                    held.cpu);
        std::fflush(stdout);
    }
}

// The batch over the shown list with every entry selected, as the program runs it (its
// journal, the renames in each folder).
Cost ListBatch(BenchTree& tree, TFileListBox& list) {
    list.RebuildEntries();
    for (int i = 0; i < list.EntryCount(); ++i)
        list.SetEntrySelected(i, true);
    TRenameInputs inputs;
    inputs.selectedOnly = true;
    inputs.findText = std::string(1, tree.Prefix()) + "_";
    inputs.replaceText = std::string(1, tree.OtherPrefix()) + "_";
    bool failed = false;
    const Cost cost = Costs([&] {
        TBatchJournal journal(BenchRoot() + "/state/last-rename.journal", list.FolderPath());
        TFolderMoves moves;
        RenameBatch(
            list, inputs,
            [&](const std::string& from, const std::string& to, IMoveWitness* witness) {
                return moves.Move(from, to, witness);
            },
            [&](const auto&) { failed = true; }, &journal);
    });
    if (failed)
        throw std::runtime_error("the batch could not rename every file");
    tree.Renamed(tree.OtherPrefix());
    return cost;
}

void BatchRounds(BenchTree& tree, int rounds) {
    TFileListBox list;
    list.SetMultiSelect(true);
    list.resize(300, 700);
    list.SetFolderPath(tree.Path());
    list.SetIncludeSubfolders(true);
    list.show();
    std::vector<double> bareWall, bareCpu, batchWall, batchCpu;
    const auto bare = [&] {
        const Cost cost = Costs([&] { TimeBareTreeRenames(tree); });
        bareWall.push_back(cost.wall);
        bareCpu.push_back(cost.cpu);
    };
    const auto batch = [&] {
        const Cost cost = ListBatch(tree, list);
        batchWall.push_back(cost.wall);
        batchCpu.push_back(cost.cpu);
    };
    for (int round = 0; round < rounds; ++round) {
        if (round % 2 == 0) {
            bare();
            batch();
        } else {
            batch();
            bare();
        }
    }
    std::printf("rename %d files in %zu folders: bare openat + renameat2 loop %.3f s (cpu %.3f "
                "s), batch over the list %.3f s (cpu %.3f s); ratio wall %.3f, cpu %.3f\n",
                tree.Files(), tree.Folders().size(), Median(bareWall), Median(bareCpu),
                Median(batchWall), Median(batchCpu), Median(batchWall) / Median(bareWall),
                Median(batchCpu) / Median(bareCpu));
    std::fflush(stdout);
}

// The processor seconds (user + system) of the children that ended so far.
double ChildrenSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// Runs `arguments` in `folder`, its output thrown away: wall and processor seconds.
Cost RunTimed(const std::vector<std::string>& arguments, const std::string& folder) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    const double before = ChildrenSeconds();
    int status = 0;
    Cost cost;
    cost.wall = Seconds([&] {
        pid_t child = 0;
        if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            throw std::runtime_error("cannot start " + arguments[0]);
        waitpid(child, &status, 0);
    });
    cost.cpu = ChildrenSeconds() - before;
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(arguments[0] + " failed");
    return cost;
}

void CommandRounds(BenchTree& tree, int rounds) {
    struct Way {
        std::string name;
        std::function<std::vector<std::string>(char from, char to)> arguments;
    };
    std::vector<Way> ways{{"nomilo-rename -r", [](char from, char to) {
                               return std::vector<std::string>{NOMILO_RENAME_PROGRAM, "-q", "-r",
                                                               std::string(1, from) + "_",
                                                               std::string(1, to) + "_"};
                           }}};
    const auto find = [](char from, std::vector<std::string> command) {
        std::vector<std::string> arguments{"/usr/bin/find", ".", "-type", "f", "-name",
                                           std::string(1, from) + "_*", "-exec"};
        arguments.insert(arguments.end(), command.begin(), command.end());
        arguments.insert(arguments.end(), {"{}", "+"});
        return arguments;
    };
    if (access("/usr/bin/file-rename", X_OK) == 0)
        ways.push_back({"find -exec perl rename (file-rename)", [=](char from, char to) {
                            return find(from, {"/usr/bin/file-rename",
                                               std::string("s{") + from + "_(?=[^/]*$)}{" + to +
                                                   "_}"});
                        }});
    else
        std::printf("the perl rename (file-rename) is not installed: skipped\n");
    if (access("/usr/bin/rename.ul", X_OK) == 0)
        ways.push_back({"find -exec util-linux rename (rename.ul)", [=](char from, char to) {
                            return find(from, {"/usr/bin/rename.ul", std::string(1, from) + "_",
                                               std::string(1, to) + "_"});
                        }});
    else
        std::printf("util-linux rename (rename.ul) is not installed: skipped\n");
    std::vector<std::vector<double>> wall(ways.size()), cpu(ways.size());
    for (int round = 0; round < rounds; ++round)
        for (std::size_t k = 0; k < ways.size(); ++k) {
            const std::size_t way = (k + static_cast<std::size_t>(round)) % ways.size();
            const Cost cost =
                RunTimed(ways[way].arguments(tree.Prefix(), tree.OtherPrefix()), tree.Path());
            const BenchTree::Folder& last = tree.Folders().back();
            if (!fs::exists(tree.Path() + "/" + last.path + "/" +
                            BenchTree::FileName(tree.OtherPrefix(), last.first)))
                throw std::runtime_error(ways[way].name + " did not rename every file");
            tree.Renamed(tree.OtherPrefix());
            wall[way].push_back(cost.wall);
            cpu[way].push_back(cost.cpu);
        }
    std::printf("renaming %d files in %zu folders from a terminal (median of %d):\n", tree.Files(),
                tree.Folders().size(), rounds);
    for (std::size_t way = 0; way < ways.size(); ++way)
        std::printf("  %-42s %8.3f s (cpu %.3f s)\n", ways[way].name.c_str(), Median(wall[way]),
                    Median(cpu[way]));
    std::fflush(stdout);
}

bool Part(const char* name) {
    const char* parts = std::getenv("NOMILO_BENCH_PARTS");
    if (!parts || !*parts)
        return true;
    std::istringstream words(parts);
    for (std::string word; words >> word;)
        if (word == name)
            return true;
    return false;
}

} // namespace
} // namespace nomilo::bench

int main(int argc, char** argv) {
    using namespace nomilo::bench;
    PreferOffscreen();
    if (argc == 4 && std::strcmp(argv[1], "--memory") == 0)
        return ShowForMemory(argv[2], std::strcmp(argv[3], "tree") == 0, argv[0]);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    SetLocale();
    WaitAsTheWindowDoes();
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
    const int files = argc > 2 ? std::atoi(argv[2]) : 1000000;
    const int folders = argc > 3 ? std::atoi(argv[3]) : 10000;
    std::filesystem::create_directories(BenchRoot() + "/state");
    setenv("XDG_STATE_HOME", (BenchRoot() + "/state").c_str(), 1);
    BenchTree tree(files, folders);
    if (Part("list"))
        ListRounds(tree, rounds);
    if (Part("memory") || Part("program")) {
        const BenchFolder folder(files);
        if (Part("memory"))
            MemoryPerEntry(tree, folder);
        if (Part("program"))
            ProgramMemory(tree, folder);
    }
    if (Part("batch"))
        BatchRounds(tree, rounds);
    if (Part("command"))
        CommandRounds(tree, rounds);
    return 0;
}
