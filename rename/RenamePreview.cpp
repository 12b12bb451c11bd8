#include "rename/RenamePreview.h"

#include "platform/files/MoveFile.h"
#include "rename/RewriteName.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <deque>
#include <functional>

namespace nomilo {

namespace {

std::uint64_t HashOf(std::string_view key) {
    return std::hash<std::string_view>{}(key);
}

// Room for `names` names at most half full, so probe sequences stay short.
std::size_t CellsFor(std::size_t names) {
    return std::bit_ceil(std::max<std::size_t>(16, names * 2));
}

// Finds `key` in `table`, whose name number i is `keyOf(i)`; adds it as number `table.names`
// when it is not there (and `add` is set). Answers its number, or -1.
template <typename KeyOf>
std::ptrdiff_t FindName(TRenamePreview::TNameTable& table, std::string_view key,
                        std::uint64_t hash, bool add, const KeyOf& keyOf) {
    const std::uint64_t tag = hash >> 32 << 32;
    const std::size_t mask = table.cells.size() - 1;
    for (std::size_t cell = hash & mask;; cell = (cell + 1) & mask) {
        const std::uint64_t entry = table.cells[cell];
        if (entry == 0) {
            if (!add)
                return -1;
            table.cells[cell] = tag | (table.names + 1);
            return static_cast<std::ptrdiff_t>(table.names++);
        }
        const std::size_t number = (entry & 0xFFFFFFFFu) - 1;
        if ((entry & ~std::uint64_t{0xFFFFFFFFu}) == tag && keyOf(number) == key)
            return static_cast<std::ptrdiff_t>(number);
    }
}
template <typename KeyOf>
std::ptrdiff_t FindName(TRenamePreview::TNameTable& table, std::string_view key, bool add,
                        const KeyOf& keyOf) {
    return FindName(table, key, HashOf(key), add, keyOf);
}

// Finds or adds each of `keys` in turn, as FindName does, and hands its number to `found`. The
// table is far larger than the caches: each name's cell is fetched from memory a few names
// ahead, so that the lookups do not wait for memory one after the other.
template <typename KeyOf, typename Found>
void FindNames(TRenamePreview::TNameTable& table, const std::vector<std::string>& keys, bool add,
               const KeyOf& keyOf, const Found& found) {
    constexpr std::size_t kAhead = 8;
    std::vector<std::uint64_t> hashes(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i)
        hashes[i] = HashOf(keys[i]);
    const std::size_t mask = table.cells.size() - 1;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (i + kAhead < keys.size())
            __builtin_prefetch(&table.cells[hashes[i + kAhead] & mask]);
        found(i, FindName(table, keys[i], hashes[i], add, keyOf));
    }
}

// The walk's view of the folder: the names as read, with the renames so far. Names are
// numbered: those of the folder first, then those the walk adds.
class TFolderWalk {
public:
    TFolderWalk(const std::vector<std::string>& read, TRenamePreview::TNameTable& table,
                bool caseBlind, std::size_t renames)
        : read_(read), caseBlind_(caseBlind), table_(table), present_(read.size(), 1),
          byBatch_(read.size(), 0) {
        added_.reserve(renames * 2);
    }

    // The name as the volume compares it.
    std::string_view Key(const std::string& name) {
        if (!caseBlind_)
            return name;
        return folded_.emplace_back(FoldCase(name, false));
    }
    // The number of a name, added when the walk has not met it yet.
    std::size_t Number(std::string_view key) {
        if (CellsFor(table_.names + 1) > table_.cells.size())
            Grow(table_.cells.size() * 2); // never more than half full
        const auto number =
            FindName(table_, key, true, [this](std::size_t n) { return KeyOf(n); });
        if (static_cast<std::size_t>(number) == read_.size() + added_.size()) {
            added_.push_back(key);
            present_.push_back(0);
            byBatch_.push_back(0);
        }
        return static_cast<std::size_t>(number);
    }
    // The number of an entry's name: the one it was read with while it still has that name.
    std::size_t EntryNumber(std::size_t readNumber, std::string_view key) {
        return readNumber < read_.size() && read_[readNumber] == key ? readNumber : Number(key);
    }
    // Fetches the cell where `name` would be from memory, for a lookup a few steps later.
    void Prefetch(std::string_view name) const {
        if (!caseBlind_)
            __builtin_prefetch(&table_.cells[HashOf(name) & (table_.cells.size() - 1)]);
    }
    // Fetches from memory the name that the lookup of `name` will compare it with: the first
    // one of the same hash tag in its cells (which Prefetch fetched a few steps before).
    void PrefetchName(std::string_view name) const {
        if (caseBlind_)
            return;
        const std::uint64_t hash = HashOf(name);
        const std::uint64_t tag = hash >> 32 << 32;
        const std::size_t mask = table_.cells.size() - 1;
        for (std::size_t cell = hash & mask;; cell = (cell + 1) & mask) {
            const std::uint64_t entry = table_.cells[cell];
            if (entry == 0)
                return;
            if ((entry & ~std::uint64_t{0xFFFFFFFFu}) == tag) {
                const std::size_t number = (entry & 0xFFFFFFFFu) - 1;
                if (number < read_.size())
                    __builtin_prefetch(&read_[number]);
                return;
            }
        }
    }
    bool Present(std::size_t number) const { return present_[number]; }
    bool PutByBatch(std::size_t number) const { return byBatch_[number]; }
    void Rename(std::size_t oldNumber, std::size_t newNumber) {
        present_[oldNumber] = 0;
        present_[newNumber] = 1;
        byBatch_[newNumber] = 1;
    }

private:
    std::string_view KeyOf(std::size_t number) const {
        return number < read_.size() ? std::string_view(read_[number])
                                     : added_[number - read_.size()];
    }
    void Grow(std::size_t cells) {
        TRenamePreview::TNameTable grown{std::vector<std::uint64_t>(cells, 0), 0};
        for (std::size_t n = 0; n < table_.names; ++n)
            FindName(grown, KeyOf(n), true, [this](std::size_t m) { return KeyOf(m); });
        table_ = std::move(grown);
    }

    const std::vector<std::string>& read_;
    bool caseBlind_;
    TRenamePreview::TNameTable& table_;
    std::vector<std::string_view> added_;
    std::vector<char> present_;
    std::vector<char> byBatch_;
    std::deque<std::string> folded_; // the keys of a case-blind volume
};

// What the folder as read tells a prediction.
struct TFolderRules {
    std::size_t nameMax;
    bool writable;
    const std::vector<char>& pinned; // per name number as read
};

// What MoveFile would answer for the rename of entry `step.entry`, checked in the order it and
// the kernel check: the names, then the old file, then the new name, then the right to remove
// the old name from the folder (the folder's, a sticky folder's owners, the file's flags).
TRefusal PredictMove(TFolderWalk& walk, std::size_t readNumber, const TFolderRules& rules,
                     const TRenameStep& step) {
    if (!IsBareName(step.oldName) || !IsBareName(step.newName))
        return TRefusal::NotAcceptable;
    if (step.oldName == step.newName)
        return TRefusal::None;
    const std::size_t oldNumber = walk.EntryNumber(readNumber, walk.Key(step.oldName));
    if (!walk.Present(oldNumber))
        return TRefusal::Gone;
    if (step.newName.size() > rules.nameMax)
        return TRefusal::TooLong;
    const std::size_t newNumber = walk.Number(walk.Key(step.newName));
    // On a case-blind volume a new spelling of the name is the file's own name.
    if (walk.Present(newNumber) && newNumber != oldNumber)
        return walk.PutByBatch(newNumber) ? TRefusal::TakenInBatch : TRefusal::Taken;
    // A file the batch renamed is one the kernel let the user rename.
    if (!rules.writable ||
        (oldNumber < rules.pinned.size() && rules.pinned[oldNumber] && !walk.PutByBatch(oldNumber)))
        return TRefusal::NoPermission;
    walk.Rename(oldNumber, newNumber);
    return TRefusal::None;
}

} // namespace

TRenamePreview::TRenamePreview(TPreviewFolder folder)
    : nameMax_(folder.nameMax), writable_(folder.writable), caseBlind_(folder.caseBlind) {
    // Room for the names a walk adds too: about one per entry renamed, and the entries are
    // names of the folder.
    table_.cells.assign(CellsFor(folder.names.size() * 2), 0);
    AddFolderNames(std::move(folder.names), folder.pinned);
}

TRenamePreview::TRenamePreview(TPreviewFolder folder, const IFileEntries& entries)
    : nameMax_(folder.nameMax), writable_(folder.writable), caseBlind_(folder.caseBlind) {
    const int count = entries.EntryCount();
    // Room for the names a walk adds too: about one per entry renamed.
    table_.cells.assign(CellsFor(folder.names.size() + static_cast<std::size_t>(count)), 0);
    AddFolderNames(std::move(folder.names), folder.pinned);
    const auto keyOf = [this](std::size_t n) { return std::string_view(keys_[n]); };
    // The entries' names come first, in entry order, then the rest in folder order: one probe an
    // entry, then the numbers are changed in place.
    std::vector<std::string> entryKeys(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        std::string& key = entryKeys[static_cast<std::size_t>(i)];
        key = entries.EntryText(i);
        if (caseBlind_)
            key = FoldCase(key, false);
    }
    std::vector<std::size_t> renumbered(keys_.size(), SIZE_MAX);
    std::size_t next = 0;
    entryNames_.assign(static_cast<std::size_t>(count), SIZE_MAX);
    FindNames(table_, entryKeys, false, keyOf, [&](std::size_t i, std::ptrdiff_t number) {
        if (number < 0)
            return; // not in the folder as read
        std::size_t& entryNumber = renumbered[static_cast<std::size_t>(number)];
        if (entryNumber == SIZE_MAX)
            entryNumber = next++;
        entryNames_[i] = entryNumber;
    });
    for (std::size_t& number : renumbered)
        if (number == SIZE_MAX)
            number = next++;
    for (std::uint64_t& cell : table_.cells)
        if (cell != 0)
            cell = (cell & ~std::uint64_t{0xFFFFFFFFu}) | (renumbered[(cell & 0xFFFFFFFFu) - 1] + 1);
    // Each key moves to its new number along the cycles of the renumbering, in place.
    for (std::size_t n = 0; n < renumbered.size(); ++n)
        while (renumbered[n] != n) {
            const std::size_t to = renumbered[n];
            std::swap(keys_[n], keys_[to]);
            std::swap(pinned_[n], pinned_[to]);
            std::swap(renumbered[n], renumbered[to]);
        }
}

void TRenamePreview::AddFolderNames(std::vector<std::string> names,
                                    const std::vector<char>& pinned) {
    if (caseBlind_)
        for (std::string& name : names)
            name = FoldCase(name, false);
    // Each name is numbered in folder order and kept once (names compare equal only on a
    // case-blind volume): a name met for the first time moves down to its number, which is
    // never after its place, so the names still to be looked up stay where they are. A name's
    // entry may not be renamed when that of any name of its number may not.
    keys_ = std::move(names);
    pinned_.assign(keys_.size(), 0);
    std::size_t kept = 0;
    const auto keyOf = [this](std::size_t n) { return std::string_view(keys_[n]); };
    FindNames(table_, keys_, true, keyOf, [&](std::size_t i, std::ptrdiff_t number) {
        const auto n = static_cast<std::size_t>(number);
        if (n == kept) {
            if (kept != i)
                keys_[kept] = std::move(keys_[i]);
            ++kept;
        }
        pinned_[n] |= i < pinned.size() && pinned[i];
    });
    keys_.resize(kept);
    pinned_.resize(kept);
}

std::vector<TPreviewEntry> TRenamePreview::Predict(const IFileEntries& entries,
                                                   const TRenameInputs& inputs) const& {
    return Predict(entries, inputs.selectedOnly, TRenameRule(inputs));
}

std::vector<TPreviewEntry> TRenamePreview::Predict(const IFileEntries& entries, bool selectedOnly,
                                                   const TRenameRule& rule) const& {
    // The table stays as the folder was read; each prediction adds to a copy of it.
    std::vector<TRenameStep> plan = PlanBatch(entries, selectedOnly, rule);
    scratch_.cells.assign(table_.cells.begin(), table_.cells.end());
    scratch_.names = table_.names;
    return Walk(entries, std::move(plan), scratch_);
}

std::vector<TPreviewEntry> TRenamePreview::Predict(const IFileEntries& entries, bool selectedOnly,
                                                   const TRenameRule& rule) && {
    return Walk(entries, PlanBatch(entries, selectedOnly, rule), table_);
}

std::vector<TPreviewEntry> TRenamePreview::Walk(const IFileEntries& entries,
                                                std::vector<TRenameStep> plan,
                                                TNameTable& table) const {
    std::vector<TPreviewEntry> preview(static_cast<std::size_t>(entries.EntryCount()));
    {
        // The walk keeps views of the plan's names, so they move out only after it.
        TFolderWalk walk(keys_, table, caseBlind_, plan.size());
        const TFolderRules rules{nameMax_, writable_, pinned_};
        // The cells of a step's names are fetched from memory 8 steps ahead; the folder's name
        // that an entry's name is compared with, 4 steps ahead, once its cell is there.
        constexpr std::size_t kCellsAhead = 8, kNamesAhead = 4;
        const auto lookedUp = [&](const TRenameStep& step) {
            return static_cast<std::size_t>(step.entry) >= entryNames_.size();
        };
        for (std::size_t s = 0; s < plan.size(); ++s) {
            const TRenameStep& step = plan[s];
            if (s + kCellsAhead < plan.size()) {
                const TRenameStep& ahead = plan[s + kCellsAhead];
                walk.Prefetch(ahead.newName);
                if (lookedUp(ahead))
                    walk.Prefetch(ahead.oldName);
            }
            if (s + kNamesAhead < plan.size() && lookedUp(plan[s + kNamesAhead]))
                walk.PrefetchName(plan[s + kNamesAhead].oldName);
            const auto index = static_cast<std::size_t>(step.entry);
            const std::size_t readNumber =
                index < entryNames_.size() ? entryNames_[index] : SIZE_MAX;
            TPreviewEntry& entry = preview[index];
            entry.reason = PredictMove(walk, readNumber, rules, step);
            entry.mark = entry.reason == TRefusal::None ? TPreviewEntry::Renamed
                                                        : TPreviewEntry::Refused;
        }
    }
    for (TRenameStep& step : plan)
        preview[static_cast<std::size_t>(step.entry)].newName = std::move(step.newName);
    return preview;
}

} // namespace nomilo
