#pragma once

#include "listing/NameOrder.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace nomilo {

// Tells, for names added one by one to a list sorted by `keys` (each after the entries equal to
// it), whether an addition lands at one watched index, without keeping the list: it keeps only
// the `watched` + 1 smallest names seen so far. O(log watched) a name.
class TInsertionWatch {
public:
    TInsertionWatch(const TNameKeys& keys, std::size_t watched) : keys_(keys), watched_(watched) {}

    // Records name number `name` of the keys; true when the sorted list would have taken it at
    // the watched index.
    bool Add(std::uint32_t name);

private:
    bool Less(std::uint32_t a, std::uint32_t b) const { return keys_.Less(a, b); }

    const TNameKeys& keys_;
    std::size_t watched_;
    std::vector<std::uint32_t> smallest_; // max-heap of the `watched_` smallest names
    std::optional<std::uint32_t> next_;   // the smallest name not in smallest_
};

} // namespace nomilo
