// The file list against the bare system calls it stands on, in the same run, on folders on disk:
//   - reading a folder into a shown list with the mask "*.*" (read, sort, lay out, paint) against
//     a bare readdir loop and a sort of the same names by the same collation;
//   - the rename batch over a shown list with every entry selected, in selected-only mode,
//     against the bare loop of renameat2 calls;
//   - the resident size of the process with the list holding every entry.
// Each round runs both ways, alternating which goes first; the report gives medians and ratios.
//   nomilo_bench_filelist [ROUNDS=5] [FILES...=10000 100000]

#include "bench/BenchFolder.h"
#include "browse/FileListBox.h"
#include "platform/files/CurrentDir.h"

#include <QApplication>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace nomilo::bench {
namespace {

// A read of the folder into the shown list, laid out and painted. The entries of the read
// before are released first, outside the timing, as the bare read starts from nothing.
double ListRead(TFileListBox& list) {
    list.SetMask(";");
    ReleaseMemory();
    return Seconds([&] {
        list.SetMask("*.*");
        list.doItemsLayout();
        list.viewport()->repaint();
    });
}

void ReadRounds(int files, int rounds) {
    BenchFolder folder(files);
    TFileListBox list;
    list.resize(300, 700);
    list.SetFolderPath(folder.Path());
    list.show();
    std::vector<double> bare, read;
    std::size_t count = 0;
    for (int round = 0; round < rounds; ++round) {
        const auto runBare = [&] {
            ReleaseMemory();
            bare.push_back(TimeBareReadAndSort(folder.Path(), false, count));
        };
        if (round % 2 == 0) {
            runBare();
            read.push_back(ListRead(list));
        } else {
            read.push_back(ListRead(list));
            runBare();
        }
    }
    if (static_cast<std::size_t>(list.EntryCount()) != count)
        throw std::runtime_error("the list did not read every file");
    const double b = Median(bare), r = Median(read);
    std::printf("read %6d files: bare readdir + collation sort %.1f ms, list read + show %.1f ms, "
                "ratio %.2f\n",
                files, b * 1e3, r * 1e3, r / b);
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

void ResidentSize(int files) {
    const long before = ResidentBytes();
    BenchFolder folder(files);
    TFileListBox list;
    list.resize(300, 700);
    list.SetFolderPath(folder.Path());
    list.show();
    list.doItemsLayout();
    list.viewport()->repaint();
    std::printf("resident size with %d entries: %.1f MB (%.1f MB before the list)\n",
                list.EntryCount(), ResidentBytes() / 1048576.0, before / 1048576.0);
}

} // namespace
} // namespace nomilo::bench

int main(int argc, char** argv) {
    nomilo::bench::PreferOffscreen();
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    using namespace nomilo::bench;
    const auto [rounds, sizes] = ParseBenchArguments(argc, argv, {10000, 100000});

    ResidentSize(sizes.back());
    for (int files : sizes)
        ReadRounds(files, rounds);
    BatchRounds(sizes.back(), rounds);
    return 0;
}
