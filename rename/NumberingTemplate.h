#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nomilo {

// A replace text that holds counters, numbering the renames of a batch.
//
// A run of one or more `#` is a counter: the number of the rename, written with at least as many
// digits as the run has `#` (zeros in front). Right after the run, `{START}` or `{START,STEP}`
// (whole numbers of up to nine digits, each may be negative) says where the counting starts and
// by how much it goes on; the default is `{1,1}`. A `{` that does not begin such a pair is plain
// text. So for the third rename of a batch `#` is "3", `###` is "003", `#{0}` is "2" and
// `##{10,5}` is "20". A negative number is written with its minus sign first ("-05").
//
// `\#` writes a `#` and `\\` a backslash. In literal syntax every other byte stands for itself;
// in substitution syntax (the replace text of a regular expression) the backslash pairs and the
// `\Q...\E` quotes are left to the expression engine, which reads them the same way.
class TNumberingTemplate {
public:
    enum class TSyntax {
        Literal,      // the replace text is put in as typed
        Substitution, // the replace text goes on to the expression engine's substitution
    };

    TNumberingTemplate() = default;
    TNumberingTemplate(std::string_view replace, TSyntax syntax);

    // The replace text of the rename that `renamesBefore` earlier renames of the batch precede
    // (0 for the first): the counters become their numbers, in substitution syntax quoted for
    // the engine (\Q...\E) wherever a `$` or `\` before them could read them as more.
    std::string Render(std::size_t renamesBefore) const;

    // The byte offset in the replace text as typed of byte `rendered` of Render(renamesBefore):
    // where the engine's complaint about the rendered text points in what the user wrote.
    std::size_t SourceOffset(std::size_t rendered, std::size_t renamesBefore) const;

private:
    struct TCounter {
        std::int64_t start = 1;
        std::int64_t step = 1;
        std::size_t width = 1;
    };
    void AppendCounter(std::string& text, const TCounter& counter,
                       std::size_t renamesBefore) const;

    TSyntax syntax_ = TSyntax::Literal;
    bool quoteCounters_ = false; // the engine reads the digits within \Q...\E
    // texts_[i] comes before counters_[i]; the last text follows the last counter.
    std::vector<std::string> texts_{std::string()};
    std::vector<std::size_t> textStarts_{0}; // where each text begins in the replace text
    std::vector<TCounter> counters_;
};

} // namespace nomilo
