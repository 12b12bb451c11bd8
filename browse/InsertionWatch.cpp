#include "browse/InsertionWatch.h"

#include <algorithm>

namespace nomilo {

bool TInsertionWatch::Add(std::uint32_t name) {
    const auto less = [this](std::uint32_t a, std::uint32_t b) { return Less(a, b); };
    if (smallest_.size() < watched_) {
        // Fewer than `watched_` names so far: the list is too short to reach the index.
        smallest_.push_back(name);
        std::push_heap(smallest_.begin(), smallest_.end(), less);
        return false;
    }
    // The new name goes after every name not greater than it, so it lands at the watched index
    // exactly when `watched_` names are not greater and the rest are all greater.
    const bool belowWatched = !smallest_.empty() && Less(name, smallest_.front());
    const bool lands = !belowWatched && (!next_ || Less(name, *next_));
    if (belowWatched) {
        std::pop_heap(smallest_.begin(), smallest_.end(), less);
        next_ = smallest_.back();
        smallest_.back() = name;
        std::push_heap(smallest_.begin(), smallest_.end(), less);
    } else if (lands) {
        next_ = name;
    }
    return lands;
}

} // namespace nomilo
