#include "rename/NumberingTemplate.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace nomilo {

namespace {

// A whole number of one to nine digits with an optional minus sign at `text[at]`; moves `at`
// past it.
std::optional<std::int64_t> ParseNumber(std::string_view text, std::size_t& at) {
    std::size_t i = at;
    const bool negative = i < text.size() && text[i] == '-';
    i += negative;
    std::int64_t value = 0;
    std::size_t digits = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 10; ++i, ++digits)
        value = value * 10 + (text[i] - '0');
    if (digits == 0 || digits > 9)
        return std::nullopt;
    at = i;
    return negative ? -value : value;
}

} // namespace

TNumberingTemplate::TNumberingTemplate(std::string_view replace, TSyntax syntax) : syntax_(syntax) {
    std::size_t i = 0;
    while (i < replace.size()) {
        const char c = replace[i];
        if (c == '\\' && i + 1 < replace.size()) {
            const char next = replace[i + 1];
            if (syntax_ == TSyntax::Literal) {
                // Only `\#` and `\\` are escapes; any other backslash stands for itself.
                if (next == '#' || next == '\\') {
                    texts_.back() += next;
                    i += 2;
                } else {
                    texts_.back() += c;
                    ++i;
                }
            } else if (next == 'Q') {
                // A quote of the engine's own: a `#` in it is text.
                const std::size_t end = replace.find("\\E", i + 2);
                const std::size_t stop = end == std::string_view::npos ? replace.size() : end + 2;
                texts_.back().append(replace.substr(i, stop - i));
                i = stop;
            } else {
                texts_.back().append(replace.substr(i, 2));
                i += 2;
            }
            continue;
        }
        if (c != '#') {
            texts_.back() += c;
            ++i;
            continue;
        }
        TCounter counter;
        const std::size_t run = i;
        while (i < replace.size() && replace[i] == '#')
            ++i;
        counter.width = i - run;
        if (i < replace.size() && replace[i] == '{') {
            std::size_t at = i + 1;
            const auto start = ParseNumber(replace, at);
            std::optional<std::int64_t> step = 1;
            if (start && at < replace.size() && replace[at] == ',') {
                ++at;
                step = ParseNumber(replace, at);
            }
            if (start && step && at < replace.size() && replace[at] == '}') {
                counter.start = *start;
                counter.step = *step;
                i = at + 1;
            }
        }
        counters_.push_back(counter);
        texts_.emplace_back();
        textStarts_.push_back(i);
    }
    // Digits can only be taken for more than digits after a `$` or a backslash.
    for (const std::string& text : texts_)
        quoteCounters_ = quoteCounters_ || (syntax_ == TSyntax::Substitution &&
                                            text.find_first_of("$\\") != std::string::npos);
}

void TNumberingTemplate::AppendCounter(std::string& text, const TCounter& counter,
                                       std::size_t renamesBefore) const {
    // Start and step have at most nine digits and a batch fewer than 2^31 entries: no overflow.
    const std::int64_t value =
        counter.start + counter.step * static_cast<std::int64_t>(renamesBefore);
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value < 0 ? -value : value).ptr;
    const auto length = static_cast<std::size_t>(end - digits) + (value < 0 ? 1 : 0);
    if (quoteCounters_)
        text += "\\Q";
    if (value < 0)
        text += '-';
    if (length < counter.width)
        text.append(counter.width - length, '0');
    text.append(digits, end);
    if (quoteCounters_)
        text += "\\E";
}

std::string TNumberingTemplate::Render(std::size_t renamesBefore) const {
    std::string text = texts_[0];
    for (std::size_t k = 0; k < counters_.size(); ++k) {
        AppendCounter(text, counters_[k], renamesBefore);
        text += texts_[k + 1];
    }
    return text;
}

std::size_t TNumberingTemplate::SourceOffset(std::size_t rendered,
                                             std::size_t renamesBefore) const {
    // In substitution syntax each text is the replace text's own bytes; a counter maps to where
    // it begins. (In literal syntax no engine reads the text, so no offset is asked for.)
    std::size_t at = 0;
    for (std::size_t k = 0;; ++k) {
        if (rendered < at + texts_[k].size() || k == counters_.size())
            return textStarts_[k] + std::min(rendered - at, texts_[k].size());
        at += texts_[k].size();
        std::string counter;
        AppendCounter(counter, counters_[k], renamesBefore);
        const std::size_t counterSize = counter.size();
        if (rendered < at + counterSize)
            return textStarts_[k] + texts_[k].size();
        at += counterSize;
    }
}

} // namespace nomilo
