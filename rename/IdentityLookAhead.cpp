#include "rename/IdentityLookAhead.h"

#include "platform/text/AsciiText.h"

#include <algorithm>
#include <csignal>
#include <pthread.h>
#include <string>
#include <system_error>

namespace nomilo {

TIdentityLookAhead::TIdentityLookAhead(const JournalFile& journal) : journal_(journal) {
    // Signals stay with the thread that renames, which may be putting them off.
    sigset_t all, before;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &before);
    try {
        thread_ = std::thread([this] { LookAhead(); });
    } catch (const std::system_error&) {
        // No thread: every file is looked at when it is asked for.
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

TIdentityLookAhead::~TIdentityLookAhead() {
    if (!thread_.joinable())
        return;
    stop_.store(true);
    free_.release(static_cast<std::ptrdiff_t>(kLead));
    thread_.join();
}

std::optional<FileIdentity> TIdentityLookAhead::Take(std::size_t step) {
    if (!thread_.joinable() || step != next_)
        return LookNow(step);
    ready_.acquire();
    const TLook look = looks_[step % kLead];
    if (++next_ % kRefill == 0)
        free_.release(static_cast<std::ptrdiff_t>(kRefill));
    return look.taken ? look.file : LookNow(step);
}

void TIdentityLookAhead::LookAhead() {
    for (std::size_t step = 0; step < journal_.StepCount(); ++step) {
        // Room for this look means that step - kLead has been asked for, so every step before
        // it has ended.
        free_.acquire();
        if (stop_.load())
            return;
        TLook& look = looks_[step % kLead];
        look.taken = !TouchedBefore(step);
        look.file = look.taken ? LookNow(step) : std::nullopt;
        Enter(step);
        ready_.release();
    }
}

namespace {

// The cell of a name in the window's counts: FNV-1a over its bytes, A-Z folded.
std::uint16_t Cell(std::string_view name, std::size_t cells) {
    std::uint64_t hash = 14695981039346656037u;
    for (const char c : name)
        hash = (hash ^ static_cast<unsigned char>(AsciiLower(c))) * 1099511628211u;
    return static_cast<std::uint16_t>(hash % cells);
}

} // namespace

bool TIdentityLookAhead::TouchedBefore(std::size_t step) const {
    const std::string_view name = journal_.Step(step).oldName;
    if (window_[Cell(name, window_.size())] == 0)
        return false;
    for (std::size_t before = step - std::min(step, kLead); before < step; ++before) {
        const JournalStep& other = journal_.Step(before);
        if (EqualIgnoringAsciiCase(other.oldName, name) ||
            EqualIgnoringAsciiCase(other.newName, name))
            return true;
    }
    return false;
}

void TIdentityLookAhead::Enter(std::size_t step) {
    std::array<std::uint16_t, 2>& cells = cells_[step % kLead];
    if (step >= kLead)
        for (const std::uint16_t cell : cells)
            --window_[cell];
    const JournalStep& names = journal_.Step(step);
    cells = {Cell(names.oldName, window_.size()), Cell(names.newName, window_.size())};
    for (const std::uint16_t cell : cells)
        ++window_[cell];
}

std::optional<FileIdentity> TIdentityLookAhead::LookNow(std::size_t step) const {
    return IdentityOf(std::string(journal_.Step(step).oldName));
}

} // namespace nomilo
