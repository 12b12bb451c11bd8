#pragma once

#include "platform/files/FileIdentity.h"
#include "platform/journal/JournalFile.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <semaphore>
#include <thread>

namespace nomilo {

// Looks at the files the steps of a journal are about to rename (IdentityOf their old names in
// the current directory) a few steps ahead, on a thread of its own, so that each look overlaps
// the renames before it instead of adding to the batch's time.
//
// A look is taken only when no step before it that may not have ended yet touches the same name
// (as its old or new name, letter case of A-Z aside): nothing the batch itself does then changes
// what the name names before the step's rename, and only another process can, which it could
// also do between a look right before the rename and the rename. Where an earlier step does touch
// the name, the step's file is looked at when it is asked for. So a look is at most kLead
// steps old, and the file it found had the step's old name then.
class TIdentityLookAhead {
public:
    // Looks ahead over the steps of `journal`, which must outlive this object.
    explicit TIdentityLookAhead(const JournalFile& journal);
    ~TIdentityLookAhead();
    TIdentityLookAhead(const TIdentityLookAhead&) = delete;
    TIdentityLookAhead& operator=(const TIdentityLookAhead&) = delete;

    // The file under the old name of `step`, as IdentityOf tells it; std::nullopt when there was
    // none. Steps are asked for in order, each once, each before its rename and after the rename
    // of the step before.
    std::optional<FileIdentity> Take(std::size_t step);

    // Looks are at most kLead steps ahead. Room for more is given back kRefill steps at a time:
    // waking the thread costs far more than a look (an interrupt to another processor), so it
    // is woken once per kRefill steps.
    static constexpr std::size_t kLead = 256;
    static constexpr std::size_t kRefill = kLead / 2;

private:
    struct TLook {
        bool taken = false; // false: the name was not looked at ahead
        std::optional<FileIdentity> file;
    };

    void LookAhead();
    // Whether a step among the kLead before `step` has its old name as old or new name.
    bool TouchedBefore(std::size_t step) const;
    // Counts the names of `step` in the window of names TouchedBefore searches, in place of
    // those of the step kLead before it.
    void Enter(std::size_t step);
    std::optional<FileIdentity> LookNow(std::size_t step) const;

    const JournalFile& journal_;
    std::array<TLook, kLead> looks_; // step i's in looks_[i % kLead]
    std::counting_semaphore<> free_{kLead}; // room for looks
    std::counting_semaphore<> ready_{0};    // looks taken and not yet asked for
    std::atomic<bool> stop_{false};
    std::size_t next_ = 0; // the step asked for next
    // The looking thread's own: how many names of the window fall on each cell (a name's cell
    // comes from its bytes, A-Z folded), so that a name whose cell is empty is in no step of the
    // window, and the cells of each step's old and new names, step i's at i % kLead.
    std::array<std::uint16_t, 4096> window_{};
    std::array<std::array<std::uint16_t, 2>, kLead> cells_{};
    std::thread thread_;
};

} // namespace nomilo
