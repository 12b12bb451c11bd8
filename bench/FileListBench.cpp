// The file list against its limit (BenchFolder.h), in the same run, on folders on disk, in a
// locale with a full collation (English, United States) and in the C locale:
//   - reading a folder into a shown list with the mask "*.*" against the limit, and the phases
//     of the read: the read itself (directory, keys, sort, the model), the layout, the paint;
//   - the memory of a process that shows the list alone on the folder: before the list, settled
//     and at its peak (VmHWM), a process of its own per size, so that each peak is its own;
//   - the rename batch over a shown list with every entry selected, in selected-only mode,
//     against the bare loop of renameat2 calls (at the largest size up to 100,000).
// Each round runs both ways, alternating which goes first; the report gives medians and ratios.
//   nomilo_bench_filelist [ROUNDS=5] [FILES...=1000 10000 100000 1000000]
// NOMILO_BENCH_LOCALES chooses the locales (default "en_US C"); NOMILO_BENCH_MEMORY=0 leaves
// out the memory figures; NOMILO_BENCH_OFF_THREAD=1 reads as the program does, on a thread of
// the read's own while the window's thread waits (ResponsiveCalls.h).

#include "bench/BenchFolder.h"
#include "browse/FileListBox.h"
#include "platform/files/ResponsiveCalls.h"

#include <QApplication>
#include <QLocale>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace nomilo::bench {
namespace {

struct ReadPhases {
    double read = 0, layout = 0, paint = 0;
    double Total() const { return read + layout + paint; }
};

// A read of the folder into the shown list, laid out and painted. The entries of the read
// before are released first, outside the timing, as the limit starts from nothing.
ReadPhases ListRead(TFileListBox& list) {
    list.SetMask(";");
    ReleaseMemory();
    ReadPhases phases;
    phases.read = Seconds([&] { list.SetMask("*.*"); });
    phases.layout = Seconds([&] { list.doItemsLayout(); });
    phases.paint = Seconds([&] { list.viewport()->repaint(); });
    return phases;
}

void ReadRounds(const char* locale, int files, int rounds) {
    BenchFolder folder(files);
    TFileListBox list;
    list.resize(300, 700);
    list.SetFolderPath(folder.Path());
    list.show();
    std::vector<double> limit, total, read, layout, paint;
    std::size_t count = 0;
    for (int round = 0; round < rounds; ++round) {
        const auto runLimit = [&] {
            ReleaseMemory();
            limit.push_back(TimeBareReadAndSort(folder.Path(), false, count));
        };
        const auto runList = [&] {
            const ReadPhases phases = ListRead(list);
            total.push_back(phases.Total());
            read.push_back(phases.read);
            layout.push_back(phases.layout);
            paint.push_back(phases.paint);
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
    const double l = Median(limit), t = Median(total);
    std::printf("%-5s read %7d files: limit %8.1f ms, list read + shown %8.1f ms, ratio %.2f "
                "(read %.1f, layout %.1f, paint %.1f ms)\n",
                locale, files, l * 1e3, t * 1e3, t / l, Median(read) * 1e3, Median(layout) * 1e3,
                Median(paint) * 1e3);
    std::fflush(stdout);
}

double ListBatch(BenchFolder& folder, TFileListBox& list) {
    list.RebuildEntries();
    for (int i = 0; i < list.EntryCount(); ++i)
        list.SetEntrySelected(i, true);
    return TimeRenameBatch(folder, list);
}

void BatchRounds(int files, int rounds) {
    BenchFolder folder(files);
    TFileListBox list;
    list.SetMultiSelect(true);
    list.resize(300, 700);
    list.SetFolderPath(folder.Path());
    list.show();
    std::vector<double> bare, batch;
    for (int round = 0; round < rounds; ++round) {
        if (round % 2 == 0) {
            bare.push_back(TimeBareRenames(folder));
            batch.push_back(ListBatch(folder, list));
        } else {
            batch.push_back(ListBatch(folder, list));
            bare.push_back(TimeBareRenames(folder));
        }
    }
    const double b = Median(bare), r = Median(batch);
    std::printf("rename %6d files: bare renameat2 loop %.3f s, batch over the list %.3f s, "
                "ratio %.3f\n",
                files, b, r, r / b);
}

void SetLocale(const char* locale) {
    QLocale::setDefault(std::strcmp(locale, "C") == 0
                            ? QLocale::c()
                            : QLocale(QLocale::English, QLocale::UnitedStates));
}

// In a process of its own: the list shown on the folder, laid out, painted and settled; writes
// "memory BEFORE SETTLED PEAK ENTRIES" (bytes).
int ShowForMemory(const char* locale, int files, char* program) {
    int qtArgc = 1;
    QApplication app(qtArgc, &program);
    SetLocale(locale);
    BenchFolder folder(files);
    const Memory before = ProcessMemory();
    TFileListBox list;
    list.resize(300, 700);
    list.SetFolderPath(folder.Path());
    list.show();
    list.doItemsLayout();
    list.viewport()->repaint();
    QApplication::processEvents();
    const Memory after = ProcessMemory();
    std::printf("memory %ld %ld %ld %d\n", before.resident, after.resident, after.peak,
                list.EntryCount());
    return 0;
}

void MemoryOfList(const char* locale, int files) {
    const std::string text =
        RunProgram(Beside("nomilo_bench_filelist"), {"--memory", locale, std::to_string(files)});
    long before = 0, settled = 0, peak = 0;
    int entries = 0;
    if (std::sscanf(text.c_str(), "memory %ld %ld %ld %d", &before, &settled, &peak, &entries) != 4)
        throw std::runtime_error("no memory figures: " + text);
    std::printf("%-5s memory with %7d entries shown: settled %6.1f MB, peak %6.1f MB, "
                "peak/settled %.2f (%.1f MB before the list)\n",
                locale, entries, settled / 1048576.0, peak / 1048576.0,
                static_cast<double>(peak) / static_cast<double>(settled), before / 1048576.0);
    std::fflush(stdout);
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream stream(text);
    for (std::string word; stream >> word;)
        words.push_back(word);
    return words;
}

} // namespace
} // namespace nomilo::bench

int main(int argc, char** argv) {
    using namespace nomilo::bench;
    PreferOffscreen();
    if (argc == 4 && std::strcmp(argv[1], "--memory") == 0)
        return ShowForMemory(argv[2], std::atoi(argv[3]), argv[0]);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    const auto [rounds, sizes] = ParseBenchArguments(argc, argv, {1000, 10000, 100000, 1000000});
    if (const char* offThread = std::getenv("NOMILO_BENCH_OFF_THREAD");
        offThread && std::strcmp(offThread, "1") == 0)
        nomilo::SetCallWaiter([](const std::function<bool()>& done) {
            while (!done())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });

    const char* chosen = std::getenv("NOMILO_BENCH_LOCALES");
    const char* memory = std::getenv("NOMILO_BENCH_MEMORY");
    for (const std::string& name : Words(chosen ? chosen : "en_US C")) {
        const char* locale = name.c_str();
        if (!memory || std::strcmp(memory, "0") != 0)
            for (int files : sizes)
                MemoryOfList(locale, files);
        SetLocale(locale);
        for (int files : sizes)
            ReadRounds(locale, files, rounds);
    }
    int batchFiles = 0;
    for (int files : sizes)
        if (files <= 100000)
            batchFiles = std::max(batchFiles, files);
    if (batchFiles > 0)
        BatchRounds(batchFiles, rounds);
    return 0;
}
