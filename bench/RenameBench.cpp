// The rename batch over a folder of files on disk against the bare loop of renameat2 calls over
// the same names, in the same run. Each round renames every file once by each way, alternating
// which goes first; the report gives the medians and their ratio.
//   nomilo_bench_rename [ROUNDS=5] [FILES...=100000]

#include "bench/BenchFolder.h"
#include "platform/files/CurrentDir.h"
#include "rename/FileEntries.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
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

void RenameRounds(int files, int rounds) {
    BenchFolder folder(files);
    nomilo::SetCurrentDir(folder.Path());
    std::vector<double> bare, batch;
    for (int round = 0; round < rounds; ++round) {
        if (round % 2 == 0) {
            bare.push_back(TimeBareRenames(folder));
            batch.push_back(Batch(folder));
        } else {
            batch.push_back(Batch(folder));
            bare.push_back(TimeBareRenames(folder));
        }
        std::printf("round %d: bare %.3f s, batch %.3f s\n", round + 1, bare.back(), batch.back());
    }
    const double b = Median(bare), r = Median(batch);
    std::printf("%d files in %s\n", files, folder.Path().c_str());
    std::printf("bare renameat2 loop: %.3f s (%.1f us a file)\n", b, b / files * 1e6);
    std::printf("rename batch:        %.3f s (%.1f us a file)\n", r, r / files * 1e6);
    std::printf("batch / bare:        %.3f\n", r / b);
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
