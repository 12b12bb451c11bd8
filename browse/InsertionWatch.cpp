#include "browse/InsertionWatch.h"

#include "platform/text/AsciiText.h"

#include <algorithm>

namespace nomilo {

namespace {

struct Less {
    bool operator()(const std::string& a, const std::string& b) const { return EntryLess(a, b); }
};

} // namespace

bool EntryLess(std::string_view a, std::string_view b) {
    return LessIgnoringAsciiCase(a, b);
}

bool TInsertionWatch::Add(std::string_view text) {
    if (smallest_.size() < watched_) {
        // Fewer than `watched_` texts so far: the list is too short to reach the index.
        smallest_.emplace_back(text);
        std::push_heap(smallest_.begin(), smallest_.end(), Less());
        return false;
    }
    // The new text goes after every text not greater than it, so it lands at the watched index
    // exactly when `watched_` texts are not greater and the rest are all greater.
    const bool lands = (smallest_.empty() || !EntryLess(text, smallest_.front())) &&
                       (!next_ || EntryLess(text, *next_));
    if (!smallest_.empty() && EntryLess(text, smallest_.front())) {
        std::pop_heap(smallest_.begin(), smallest_.end(), Less());
        next_ = std::move(smallest_.back());
        smallest_.back() = std::string(text);
        std::push_heap(smallest_.begin(), smallest_.end(), Less());
    } else if (!next_ || EntryLess(text, *next_)) {
        next_ = std::string(text);
    }
    return lands;
}

} // namespace nomilo
