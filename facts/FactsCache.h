#pragma once

#include "facts/ReadFacts.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

namespace nomilo {

// The facts read of files, kept per file (device, inode) as long as its size and status change
// time stay the same, so that reading a folder again reads nothing of a file that did not
// change, and a file that changed is read again. Kept facts stay where they are until the cache
// ends (a file read again gets facts of its own), so that others may hold them: one thread
// adds and finds, any may read facts it was handed. Beyond the values, a file costs a record
// (its identity and where its texts are) and a cell of the index.
class TFactsCache {
public:
    TFactsCache();
    ~TFactsCache();
    TFactsCache(const TFactsCache&) = delete;
    TFactsCache& operator=(const TFactsCache&) = delete;

    // The kept facts of the file whose status is `status`, when they answer `needs`; nullptr
    // when they are not kept or the file changed since.
    const TFileFacts* Find(const TFileStatus& status, TFactNeeds needs) const;
    // Keeps what was read for `needs` of the file whose status is `key` (of the file read, or
    // of the entry itself where the file could not be read); answers the kept facts.
    const TFileFacts* Keep(const TFileStatus& key, const TReadFacts& read, TFactNeeds needs);

    std::size_t Files() const { return records_.size(); }
    // The bytes the cache takes beyond the values and texts themselves, and those.
    std::size_t OverheadBytes() const;
    std::size_t ValueBytes() const;

private:
    struct TRecord {
        TFileFacts facts;
        std::uint64_t inode = 0;
        std::int64_t size = 0;
        std::int64_t changed = 0;
        std::uint32_t device = 0; // folded to 32 bits, which tell the mounts apart
        TFactNeeds needs = NeedsNothing;
    };
    std::uint32_t* Cell(std::uint32_t device, std::uint64_t inode) const;
    void Grow();
    const char* KeepTexts(const TReadFacts& read);

    std::deque<TRecord> records_;
    // Open addressing over the records, at most half full: record number + 1, 0 empty.
    mutable std::vector<std::uint32_t> cells_;
    // The texts, in blocks that never move.
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::size_t blockUsed_ = 0;
    std::size_t textBytes_ = 0;
};

} // namespace nomilo
