#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nomilo {

// The order of a sorted list's entries: byte by byte with the ASCII letters folded, so letter
// case is ignored; a text that is the start of another sorts first.
bool EntryLess(std::string_view a, std::string_view b);

// Tells, for texts added one by one to a list sorted by EntryLess (each after the entries equal
// to it), whether an addition lands at one watched index, without keeping the list: it keeps
// only the `watched` + 1 smallest texts seen so far. O(log watched) a text.
class TInsertionWatch {
public:
    explicit TInsertionWatch(std::size_t watched) : watched_(watched) {}

    // Records `text`; true when the sorted list would have taken it at the watched index.
    bool Add(std::string_view text);

private:
    std::size_t watched_;
    std::vector<std::string> smallest_; // max-heap of the `watched_` smallest texts
    std::optional<std::string> next_;   // the smallest text not in smallest_
};

} // namespace nomilo
