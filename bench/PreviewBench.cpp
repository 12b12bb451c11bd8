// The preview of new names after a keystroke: 100,000 listed entries (a folder on disk, read into
// a shown file list, every entry considered), the inputs changed as a keystroke in the find or
// replace field changes them, and the time until the preview is recomputed for every entry and
// the list repainted. Reading the folder's names, which happens once per read of the list and
// not per keystroke, is reported apart.
//   nomilo_bench_preview [ROUNDS=21] [FILES=100000]

#include "bench/BenchFolder.h"
#include "browse/FileListBox.h"
#include "ui/NewNamesPreview.h"

#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace nomilo::bench {
namespace {

struct Keystrokes {
    const char* what;
    bool prefix;
    std::vector<std::pair<std::string, std::string>> texts; // find, replace after each keystroke
    bool regex = false; // the find text is a regular expression, the replace text numbers
};

void Run(TFileListBox& list, TNewNamesPreview& preview, TRenameInputs& inputs,
         const Keystrokes& keys, int rounds) {
    std::vector<double> seconds;
    for (int round = 0; round < rounds; ++round) {
        const auto& [find, replace] = keys.texts[static_cast<std::size_t>(round) % keys.texts.size()];
        inputs.prefixMode = keys.prefix;
        inputs.regularExpression = inputs.numbering = keys.regex;
        inputs.findText = find;
        inputs.replaceText = replace;
        seconds.push_back(Seconds([&] {
            preview.Update();
            list.viewport()->repaint();
        }));
    }
    std::printf("%-38s median %5.1f ms, slowest %5.1f ms\n", keys.what, Median(seconds) * 1e3,
                *std::max_element(seconds.begin(), seconds.end()) * 1e3);
}

} // namespace
} // namespace nomilo::bench

int main(int argc, char** argv) {
    nomilo::bench::PreferOffscreen();
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    using namespace nomilo;
    using namespace nomilo::bench;
    const auto [rounds, sizes] = ParseBenchArguments(argc, argv, {100000});
    const int files = sizes.back();

    BenchFolder folder(files);
    TFileListBox list;
    list.SetMultiSelect(true);
    list.resize(300, 700);
    list.SetFolderPath(folder.Path());
    list.show();
    list.doItemsLayout();
    if (list.EntryCount() != files)
        throw std::runtime_error("the list did not read every file");

    TRenameInputs inputs;
    inputs.selectedOnly = false; // every listed entry is considered
    auto* preview = new TNewNamesPreview(&list, [&] { return inputs; }, [] { return false; });
    preview->SetOn(true);
    const double read = Seconds([&] { preview->FolderChanged(), preview->Update(); });
    std::printf("%d entries in %s\n", files, folder.Path().c_str());
    std::printf("%-38s %5.1f ms (once per read of the list)\n", "reading the folder's names:",
                read * 1e3);

    const std::string p(1, folder.Prefix()), q(1, folder.OtherPrefix());
    Run(list, *preview, inputs,
        {"typing a find text (every entry):", false, {{p, q}, {p + "_", q + "_"}, {p + "_0", q}}},
        rounds);
    Run(list, *preview, inputs,
        {"typing a find text (one in ten):", false, {{"1.", "x."}, {"2.", "x."}, {"3.", "y."}}},
        rounds);
    Run(list, *preview, inputs,
        {"typing a prefix (every entry):", true, {{"", "x"}, {"", "xy"}, {"", "xyz"}}}, rounds);
    Run(list, *preview, inputs,
        {"typing a text no name holds:", false, {{"z", "y"}, {"zz", "y"}, {"zzz", "y"}}}, rounds);
    Run(list, *preview, inputs,
        {"typing an expression (every entry):",
         false,
         {{p + "_(\\d+)", q + "_$1"}, {p + "_(\\d+)\\.", "\\U$0#"}, {"_(\\d)(\\d+)", "-$2-##{5}-"}},
         true},
        rounds);
    Run(list, *preview, inputs,
        {"typing an expression (one in ten):",
         false,
         {{"(\\d)1\\.", "$1x."}, {"(\\d)2\\.", "$1x."}, {"(\\d)3\\.d", "$1y.d"}},
         true},
        rounds);
    return 0;
}
