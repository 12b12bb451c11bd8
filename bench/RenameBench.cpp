// The rename batch over a folder of files on disk against the bare loop of renameat2 calls over
// the same names, in the same run: the batch alone, the batch with its undo journal as the
// program keeps it (the plan written and flushed before the first rename, each step marked), and
// that batch renaming by a regular expression with a group and a counter.
// Each round renames every file once by each way, rotating which goes first; the report gives
// the medians and their ratios. The journal is written where $NOMILO_BENCH_DIR (or ./bench-data)
// is, beside the files, as the program writes it on the user's own disk.
//   nomilo_bench_rename [ROUNDS=5] [FILES...=100000]

#include "bench/BenchFolder.h"
#include "platform/files/CurrentDir.h"
#include "rename/FileEntries.h"
#include "rename/UndoJournal.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace nomilo::bench {
namespace {

// The file list's entries as the batch sees them, over a vector of names, all selected.
class VectorEntries : public IFileEntries {
public:
    explicit VectorEntries(std::vector<std::string> names)
        : names_(std::move(names)), selected_(names_.size(), true) {}
    int EntryCount() const override { return static_cast<int>(names_.size()); }
    std::string EntryText(int i) const override { return names_.at(static_cast<std::size_t>(i)); }
    bool IsEntrySelected(int i) const override { return selected_.at(static_cast<std::size_t>(i)); }
    void SetEntrySelected(int i, bool s) override { selected_.at(static_cast<std::size_t>(i)) = s; }
    void ReplaceEntryText(int i, const std::string& text) override {
        names_.at(static_cast<std::size_t>(i)) = text;
        selected_.at(static_cast<std::size_t>(i)) = false;
    }

private:
    std::vector<std::string> names_;
    std::vector<bool> selected_;
};

double Batch(BenchFolder& folder) {
    VectorEntries entries(folder.Names(folder.Prefix()));
    return TimeRenameBatch(folder, entries);
}

double JournalledBatch(BenchFolder& folder) {
    VectorEntries entries(folder.Names(folder.Prefix()));
    TBatchJournal journal(BenchRoot() + "/state/last-rename.journal", folder.Path());
    return TimeRenameBatch(folder, entries, &journal);
}

double RegexNumberingBatch(BenchFolder& folder) {
    VectorEntries entries(folder.Names(folder.Prefix()));
    TBatchJournal journal(BenchRoot() + "/state/last-rename.journal", folder.Path());
    return TimeRenameBatch(folder, entries, &journal, true);
}

void RenameRounds(int files, int rounds) {
    BenchFolder folder(files);
    nomilo::SetCurrentDir(folder.Path());

    const std::array<std::function<double(BenchFolder&)>, 4> ways = {
        TimeBareRenames, Batch, JournalledBatch, RegexNumberingBatch};
    std::array<std::vector<double>, 4> seconds;
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t k = 0; k < ways.size(); ++k) {
            const std::size_t way = (k + static_cast<std::size_t>(round)) % ways.size();
            seconds[way].push_back(ways[way](folder));
        }
        std::printf("round %d: bare %.3f s, batch %.3f s, batch with journal %.3f s, "
                    "regular expression and numbering %.3f s\n",
                    round + 1, seconds[0].back(), seconds[1].back(), seconds[2].back(),
                    seconds[3].back());
    }
    const double bare = Median(seconds[0]), batch = Median(seconds[1]),
                 journalled = Median(seconds[2]), regex = Median(seconds[3]);
    std::printf("%d files in %s\n", files, folder.Path().c_str());
    std::printf("bare renameat2 loop: %.3f s (%.1f us a file)\n", bare, bare / files * 1e6);
    std::printf("rename batch:        %.3f s (%.1f us a file)\n", batch, batch / files * 1e6);
    std::printf("batch with journal:  %.3f s (%.1f us a file)\n", journalled,
                journalled / files * 1e6);
    std::printf("batch / bare:              %.3f\n", batch / bare);
    std::printf("regular expression and numbering, with journal: %.3f s (%.1f us a file)\n",
                regex, regex / files * 1e6);
    std::printf("batch with journal / bare: %.3f\n", journalled / bare);
    std::printf("regular expression and numbering / bare: %.3f\n", regex / bare);
}

} // namespace
} // namespace nomilo::bench

int main(int argc, char** argv) {
    using namespace nomilo::bench;
    const auto [rounds, sizes] = ParseBenchArguments(argc, argv, {100000});
    for (int files : sizes)
        RenameRounds(files, rounds);
    return 0;
}
