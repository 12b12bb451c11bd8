#include "rename/RenamePreview.h"

#include "platform/files/DirListing.h"
#include "platform/files/FileContent.h"
#include "platform/files/MoveFile.h"
#include "platform/text/AsciiText.h"
#include "rename/RewriteName.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <functional>
#include <new>

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
std::ptrdiff_t FindName(TRenamePreview::TNameTable& table, std::string_view key, std::uint64_t hash,
                        bool add, const KeyOf& keyOf) {
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

// Finds or adds each of `count` keys in turn, as FindName does, and hands its number to `found`;
// `keyAt(i)` answers key i, valid until it is asked again. The table is far larger than the
// caches: each key's cell is fetched from memory a few keys ahead, so that the lookups do not
// wait for memory one after the other.
template <typename KeyAt, typename KeyOf, typename Found>
void FindNames(TRenamePreview::TNameTable& table, std::size_t count, const KeyAt& keyAt, bool add,
               const KeyOf& keyOf, const Found& found) {
    constexpr std::size_t kAhead = 8;
    std::vector<std::uint64_t> hashes(count);
    for (std::size_t i = 0; i < count; ++i)
        hashes[i] = HashOf(keyAt(i));
    const std::size_t mask = table.cells.size() - 1;
    for (std::size_t i = 0; i < count; ++i) {
        if (i + kAhead < count)
            __builtin_prefetch(&table.cells[hashes[i + kAhead] & mask]);
        found(i, FindName(table, keyAt(i), hashes[i], add, keyOf));
    }
}

void FoldInPlace(std::string& name) {
    for (char& c : name)
        c = AsciiLower(c);
}

// The walk's view of the folder: the names as read, with the renames so far. Names are
// numbered: those of the folder first, then those the walk adds. Its state lives in buffers
// kept from one walk to the next.
class TFolderWalk {
public:
    TFolderWalk(const std::vector<std::string>& read, TRenamePreview::TNameTable& table,
                std::vector<std::uint8_t>& state, std::vector<std::string_view>& added)
        : read_(read), table_(table), state_(state), added_(added) {
        state_.assign(read.size(), kPresent);
        added_.clear();
    }

    // The number of a name's key, added when the walk has not met it yet.
    std::size_t Number(std::string_view key) { return Number(key, HashOf(key)); }
    std::size_t Number(std::string_view key, std::uint64_t hash) {
        if (CellsFor(table_.names + 1) > table_.cells.size())
            Grow(table_.cells.size() * 2); // never more than half full
        const auto number =
            FindName(table_, key, hash, true, [this](std::size_t n) { return KeyOf(n); });
        if (static_cast<std::size_t>(number) == read_.size() + added_.size()) {
            added_.push_back(key);
            state_.push_back(0);
        }
        return static_cast<std::size_t>(number);
    }
    // Fetches the cell of a key with this hash from memory, for a lookup a few steps later.
    void Prefetch(std::uint64_t hash) const {
        __builtin_prefetch(&table_.cells[hash & (table_.cells.size() - 1)]);
    }
    // Fetches from memory the name that the lookup of a key with this hash will compare it
    // with: the first one of the same hash tag in its cells (which Prefetch fetched a few
    // steps before).
    void PrefetchName(std::uint64_t hash) const {
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
    bool Present(std::size_t number) const { return state_[number] & kPresent; }
    bool PutByBatch(std::size_t number) const { return state_[number] & kPutByBatch; }
    void Rename(std::size_t oldNumber, std::size_t newNumber) {
        state_[oldNumber] &= static_cast<std::uint8_t>(~kPresent);
        state_[newNumber] |= kPresent | kPutByBatch;
    }

private:
    enum : std::uint8_t { kPresent = 1, kPutByBatch = 2 };

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
    TRenamePreview::TNameTable& table_;
    std::vector<std::uint8_t>& state_; // per name number: whether a file has it, and put it there
    std::vector<std::string_view>& added_; // the keys of the names the walk added
};

// What the folders as read tell a prediction.
struct TFolderRules {
    const std::vector<TRenamePreview::TFolderLimits>& folders; // by folder number
    const std::vector<char>& pinned;                           // per name number as read
    std::uint32_t keyPrefix; // the bytes of a key before the name: its folder's number
};

// The bytes of a key before the name where a preview spans many folders.
constexpr std::uint32_t kFolderPrefix = sizeof(std::uint32_t);

// What MoveFile would answer for the rename `move`, checked in the order it and the kernel
// check: the names, then the old file, then the new name, then the right to remove the old name
// from the folder (the folder's, a sticky folder's owners, the file's flags). `newKeys` holds
// the new names' keys, `oldKeys` the keys of old names not as read.
TRefusal PredictMove(TFolderWalk& walk, const TFolderRules& rules,
                     const TRenamePreview::TPlannedMove& move, std::string_view newKeys,
                     std::string_view oldKeys) {
    using TMove = TRenamePreview::TPlannedMove;
    if (move.names == TMove::NotAcceptable)
        return TRefusal::NotAcceptable;
    if (move.names == TMove::SameName)
        return TRefusal::None;
    const std::size_t oldNumber =
        move.oldRead ? move.old
                     : walk.Number(oldKeys.substr(move.old, move.oldLength), move.oldHash);
    if (!walk.Present(oldNumber))
        return TRefusal::Gone;
    const TRenamePreview::TFolderLimits& folder = rules.folders[move.folder];
    if (move.newLength > folder.nameMax)
        return TRefusal::TooLong;
    const std::size_t newNumber =
        walk.Number(newKeys.substr(move.newKey, rules.keyPrefix + move.newLength), move.newHash);
    // On a case-blind volume a new spelling of the name is the file's own name.
    if (walk.Present(newNumber) && newNumber != oldNumber)
        return walk.PutByBatch(newNumber) ? TRefusal::TakenInBatch : TRefusal::Taken;
    // A file the batch renamed is one the kernel let the user rename.
    if (!folder.writable ||
        (oldNumber < rules.pinned.size() && rules.pinned[oldNumber] && !walk.PutByBatch(oldNumber)))
        return TRefusal::NoPermission;
    walk.Rename(oldNumber, newNumber);
    return TRefusal::None;
}

// An offset or length in a text that TPreview and the plan keep in 32 bits.
std::uint32_t Offset(std::size_t at) {
    if (at > UINT32_MAX)
        throw std::bad_alloc();
    return static_cast<std::uint32_t>(at);
}

} // namespace

std::vector<TPreviewFolder> ReadPreviewFolders(const std::vector<std::string>& folders,
                                               bool caseBlind, const std::string& root) {
    const int at = root.empty() ? AT_FDCWD : OpenFolder(root);
    std::vector<TPreviewFolder> read;
    read.reserve(folders.size());
    for (const std::string& folder : folders) {
        DirListing listing = at == -1 ? DirListing{} : ListFolderBelow(folder, at);
        read.push_back({std::move(listing.names), listing.nameMax, listing.writable, caseBlind,
                        std::move(listing.pinned)});
    }
    if (at >= 0)
        CloseFile(at);
    return read;
}

void TPreview::Reset(std::size_t count) {
    entries_.assign(count, TEntry{});
    names_.clear();
}

std::vector<TPreviewEntry> TPreview::Entries() const {
    std::vector<TPreviewEntry> entries(entries_.size());
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const TPreviewEntryView entry = (*this)[i];
        entries[i] = {entry.mark, entry.reason, std::string(entry.newName)};
    }
    return entries;
}

namespace {

std::vector<TPreviewFolder> OneFolder(TPreviewFolder folder) {
    std::vector<TPreviewFolder> folders;
    folders.push_back(std::move(folder));
    return folders;
}

std::size_t NameCount(const std::vector<TPreviewFolder>& folders) {
    std::size_t names = 0;
    for (const TPreviewFolder& folder : folders)
        names += folder.names.size();
    return names;
}

} // namespace

TRenamePreview::TRenamePreview(TPreviewFolder folder)
    : TRenamePreview(OneFolder(std::move(folder))) {}

TRenamePreview::TRenamePreview(TPreviewFolder folder, const IFileEntries& entries)
    : TRenamePreview(OneFolder(std::move(folder)), entries) {}

TRenamePreview::TRenamePreview(std::vector<TPreviewFolder> folders) {
    // Room for the names a walk adds too: about one per entry renamed, and the entries are
    // names of the folders.
    table_.cells.assign(CellsFor(NameCount(folders) * 2), 0);
    AddFolders(std::move(folders));
}

TRenamePreview::TRenamePreview(std::vector<TPreviewFolder> folders, const IFileEntries& entries) {
    const auto count = static_cast<std::size_t>(std::max(entries.EntryCount(), 0));
    // Room for the names a walk adds too: about one per entry renamed.
    table_.cells.assign(CellsFor(NameCount(folders) + count), 0);
    AddFolders(std::move(folders));
    const auto keyOf = [this](std::size_t n) { return std::string_view(keys_[n]); };
    // The entries' names come first, in entry order, then the rest in folder order: one probe an
    // entry, then the numbers are changed in place.
    std::string copy, key;
    const auto entryKey = [&](std::size_t i) -> std::string_view {
        const int entry = static_cast<int>(i);
        const std::string_view text = entries.EntryTextView(entry, copy);
        return Key(manyFolders_ ? entries.EntryFolder(entry).number : 0, text, key);
    };
    std::vector<std::size_t> renumbered(keys_.size(), SIZE_MAX);
    std::size_t next = 0;
    entryNames_.assign(count, SIZE_MAX);
    FindNames(table_, count, entryKey, false, keyOf, [&](std::size_t i, std::ptrdiff_t number) {
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
            cell =
                (cell & ~std::uint64_t{0xFFFFFFFFu}) | (renumbered[(cell & 0xFFFFFFFFu) - 1] + 1);
    // Each key moves to its new number along the cycles of the renumbering, in place.
    for (std::size_t n = 0; n < renumbered.size(); ++n)
        while (renumbered[n] != n) {
            const std::size_t to = renumbered[n];
            std::swap(keys_[n], keys_[to]);
            std::swap(pinned_[n], pinned_[to]);
            std::swap(renumbered[n], renumbered[to]);
        }
}

void TRenamePreview::AddFolders(std::vector<TPreviewFolder> folders) {
    if (folders.empty())
        folders.emplace_back();
    caseBlind_ = folders.front().caseBlind;
    manyFolders_ = folders.size() > 1;
    for (const TPreviewFolder& folder : folders)
        folders_.push_back({folder.nameMax, folder.writable});
    if (!manyFolders_) {
        std::vector<std::string>& names = folders.front().names;
        if (caseBlind_)
            for (std::string& name : names)
                FoldInPlace(name);
        return AddFolderNames(std::move(names), folders.front().pinned);
    }
    // Every folder's names in one table, each after its folder's number.
    std::vector<std::string> keys;
    std::vector<char> pinned;
    keys.reserve(NameCount(folders));
    for (std::uint32_t number = 0; number < folders.size(); ++number) {
        TPreviewFolder& folder = folders[number];
        if (!folder.pinned.empty()) {
            pinned.resize(keys.size(), 0);
            pinned.insert(pinned.end(), folder.pinned.begin(), folder.pinned.end());
        }
        for (const std::string& name : folder.names) {
            std::string key;
            Key(number, name, key);
            keys.push_back(std::move(key));
        }
        folder = TPreviewFolder(); // its names go as soon as they are keys
    }
    AddFolderNames(std::move(keys), pinned);
}

std::string_view TRenamePreview::Key(std::uint32_t folder, std::string_view name,
                                     std::string& key) const {
    if (!KeyedNames())
        return name;
    key.clear();
    if (manyFolders_)
        key.append(reinterpret_cast<const char*>(&folder), kFolderPrefix);
    const std::size_t at = key.size();
    key.append(name);
    if (caseBlind_)
        for (std::size_t i = at; i < key.size(); ++i)
            key[i] = AsciiLower(key[i]);
    return key;
}

void TRenamePreview::AddFolderNames(std::vector<std::string> names,
                                    const std::vector<char>& pinned) {
    // Each name is numbered in folder order and kept once (names compare equal only on a
    // case-blind volume): a name met for the first time moves down to its number, which is
    // never after its place, so the names still to be looked up stay where they are. A name's
    // entry may not be renamed when that of any name of its number may not.
    keys_ = std::move(names);
    pinned_.assign(keys_.size(), 0);
    std::size_t kept = 0;
    const auto keyOf = [this](std::size_t n) { return std::string_view(keys_[n]); };
    FindNames(table_, keys_.size(), keyOf, true, keyOf, [&](std::size_t i, std::ptrdiff_t number) {
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
    TPreview preview;
    Predict(entries, selectedOnly, rule, preview);
    return preview.Entries();
}

void TRenamePreview::Predict(const IFileEntries& entries, bool selectedOnly,
                             const TRenameRule& rule, TPreview& preview) const& {
    Plan(entries, selectedOnly, rule, preview);
    // The table stays as the folder was read; each prediction adds to a copy of it.
    scratch_.cells.assign(table_.cells.begin(), table_.cells.end());
    scratch_.names = table_.names;
    Walk(preview, scratch_);
}

void TRenamePreview::Predict(const IFileEntries& entries, bool selectedOnly,
                             const TRenameRule& rule, TPreview& preview) && {
    Plan(entries, selectedOnly, rule, preview);
    Walk(preview, table_);
}

void TRenamePreview::Plan(const IFileEntries& entries, bool selectedOnly, const TRenameRule& rule,
                          TPreview& preview) const {
    preview.Reset(static_cast<std::size_t>(std::max(entries.EntryCount(), 0)));
    // The plan, as PlanBatch makes it: the new names go straight into the preview.
    moves_.clear();
    moveKeys_.clear();
    std::string key; // a name's key where it is not the name itself
    PlanSteps(entries, selectedOnly, rule, preview.names_,
              [&](int entry, std::string_view oldName, std::size_t at) {
                  const std::string_view newName = std::string_view(preview.names_).substr(at);
                  TPlannedMove& move = moves_.emplace_back();
                  move.entry = static_cast<std::uint32_t>(entry);
                  move.newKey = Offset(at);
                  move.newLength = Offset(newName.size());
                  TPreview::TEntry& shown = preview.entries_[move.entry];
                  shown.offset = move.newKey;
                  shown.length = move.newLength;
                  if (!IsBareName(oldName) || !IsBareName(newName)) {
                      move.names = TPlannedMove::NotAcceptable;
                      return;
                  }
                  if (oldName == newName) {
                      move.names = TPlannedMove::SameName;
                      return;
                  }
                  std::string_view oldKey = oldName;
                  if (KeyedNames()) {
                      move.folder = manyFolders_ ? entries.EntryFolder(entry).number : 0;
                      move.newKey = Offset(moveKeys_.size());
                      const std::string_view newKey = Key(move.folder, newName, key);
                      moveKeys_.append(newKey);
                      move.newHash = HashOf(newKey);
                      oldKey = Key(move.folder, oldName, key);
                  } else {
                      move.newHash = HashOf(newName);
                  }
                  // An entry's name as read is known by its number; any other is looked up.
                  const std::size_t read =
                      move.entry < entryNames_.size() ? entryNames_[move.entry] : SIZE_MAX;
                  if (read < keys_.size() && keys_[read] == oldKey) {
                      move.old = read;
                  } else {
                      move.oldRead = false;
                      move.old = moveKeys_.size();
                      move.oldLength = Offset(oldKey.size());
                      move.oldHash = HashOf(oldKey);
                      moveKeys_.append(oldKey);
                  }
              },
              [&](int entry, std::string_view, std::size_t at, TRefusal reason) {
                  // A field without a value: the batch refuses it before any rename.
                  TPreview::TEntry& shown = preview.entries_[static_cast<std::size_t>(entry)];
                  shown.offset = Offset(at);
                  shown.length = Offset(preview.names_.size() - at);
                  shown.mark = TPreviewEntry::Refused;
                  shown.reason = reason;
              });
}

void TRenamePreview::Walk(TPreview& preview, TNameTable& table) const {
    TFolderWalk walk(keys_, table, state_, added_);
    const TFolderRules rules{folders_, pinned_, manyFolders_ ? kFolderPrefix : 0};
    const std::string_view newKeys = KeyedNames() ? moveKeys_ : preview.names_;
    // The cells of a step's names are fetched from memory 8 steps ahead; the folder's name that
    // an old name looked up is compared with, 4 steps ahead, once its cell is there.
    constexpr std::size_t kCellsAhead = 8, kNamesAhead = 4;
    for (std::size_t s = 0; s < moves_.size(); ++s) {
        if (s + kCellsAhead < moves_.size()) {
            const TPlannedMove& ahead = moves_[s + kCellsAhead];
            walk.Prefetch(ahead.newHash);
            if (!ahead.oldRead)
                walk.Prefetch(ahead.oldHash);
        }
        if (s + kNamesAhead < moves_.size() && !moves_[s + kNamesAhead].oldRead)
            walk.PrefetchName(moves_[s + kNamesAhead].oldHash);
        const TPlannedMove& move = moves_[s];
        TPreview::TEntry& entry = preview.entries_[move.entry];
        entry.reason = PredictMove(walk, rules, move, newKeys, moveKeys_);
        entry.mark =
            entry.reason == TRefusal::None ? TPreviewEntry::Renamed : TPreviewEntry::Refused;
    }
}

} // namespace nomilo
