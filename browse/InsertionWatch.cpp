#include "browse/InsertionWatch.h"

#include <algorithm>

namespace nomilo {

namespace {

unsigned char Fold(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u + 0x20) : u;
}

struct Less {
    bool operator()(const std::string& a, const std::string& b) const { return EntryLess(a, b); }
};

} // namespace

bool EntryLess(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = Fold(a[i]), y = Fold(b[i]);
        if (x != y)
            return x < y;
    }
    return a.size() < b.size();
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
