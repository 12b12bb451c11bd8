#pragma once

#include "rename/FileEntries.h"
#include "rename/Refusal.h"
#include "rename/RenameBatch.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nomilo {

// The folder a preview predicts renames in, as it was read.
struct TPreviewFolder {
    std::vector<std::string> names; // every name in it, whatever kind of entry
    std::size_t nameMax = 255;      // the longest name its file system takes, in bytes
    bool writable = true;           // names may be added and removed
    bool caseBlind = false;         // the volume ignores the letter case of names
    // Per name, 1 where the kernel refuses to rename that entry (DirListing::pinned: a file of
    // another owner in a sticky folder, an immutable or append-only file); may be empty.
    std::vector<char> pinned = {};
};

// Each of `folders` as it is now (paths below the folder `root`, the current directory when
// empty, reached as OpenFolderBelow reaches them), in that order, for a preview across them: a
// folder that cannot be read has no names.
std::vector<TPreviewFolder> ReadPreviewFolders(const std::vector<std::string>& folders,
                                               bool caseBlind, const std::string& root = {});

// What the next batch would do with one entry.
struct TPreviewEntry {
    enum TMark : std::uint8_t { Untouched, Renamed, Refused };
    TMark mark = Untouched; // Untouched: not considered, or the rule changes nothing
    TRefusal reason = TRefusal::None;
    std::string newName;
};

// The same, with the new name a view of the TPreview that holds it.
struct TPreviewEntryView {
    TPreviewEntry::TMark mark = TPreviewEntry::Untouched;
    TRefusal reason = TRefusal::None;
    std::string_view newName;
};

// What the next batch would do with every entry, in entry order, kept as a list keeps it: a
// few bytes per entry, and the new names one after the other in one text.
class TPreview {
public:
    std::size_t Size() const { return entries_.size(); }
    TPreviewEntryView operator[](std::size_t entry) const {
        const TEntry& e = entries_[entry];
        return {e.mark, e.reason, std::string_view(names_).substr(e.offset, e.length)};
    }
    // `count` entries, each untouched.
    void Reset(std::size_t count);
    // Every entry, its new name copied.
    std::vector<TPreviewEntry> Entries() const;

private:
    friend class TRenamePreview;
    struct TEntry {
        std::uint32_t offset = 0; // where the new name lies in names_
        std::uint32_t length = 0;
        TPreviewEntry::TMark mark = TPreviewEntry::Untouched;
        TRefusal reason = TRefusal::None;
    };
    std::vector<TEntry> entries_;
    std::string names_;
};

// Predicts a rename batch: walks the entries as the batch does, in its order, with the names
// that earlier renames take and give up, and the refusals MoveFile would answer. What it
// predicts is what the batch does, as long as the folder does not change in between. On a
// case-blind volume names are compared with ASCII letters folded.
//
// A list with subfolders included spans many folders: the preview is then given each folder as
// read, in the order of the entries' folder numbers (TEntryFolder), and predicts each rename
// against the names of its entry's folder (whose case rule is the first folder's: a walk stays
// on one file system).
class TRenamePreview {
public:
    // The folder as read, and the file list's entries as read from it: their names are
    // numbered first, in entry order, so that a prediction finds an entry's own name without a
    // lookup. Entries that change later are still predicted right, only a little slower.
    TRenamePreview(TPreviewFolder folder, const IFileEntries& entries);
    // The folder as read, for one prediction: each entry's name is looked up as the walk meets
    // it, which costs that prediction what numbering the entries first would.
    explicit TRenamePreview(TPreviewFolder folder);
    // The same for entries across `folders`, folder n for the entries of folder number n.
    TRenamePreview(std::vector<TPreviewFolder> folders, const IFileEntries& entries);
    explicit TRenamePreview(std::vector<TPreviewFolder> folders);

    // One prediction per entry, in entry order, into `preview` (whose room is used again).
    // Throws ERenameRule, as PlanBatch does, when the rule cannot rename. The buffers a
    // prediction works in are kept for the next one: one preview serves one thread at a time.
    void Predict(const IFileEntries& entries, bool selectedOnly, const TRenameRule& rule,
                 TPreview& preview) const&;
    // The last prediction of a preview: it works in the folder's table itself instead of a copy.
    void Predict(const IFileEntries& entries, bool selectedOnly, const TRenameRule& rule,
                 TPreview& preview) &&;
    // The same as TPreviewEntry values.
    std::vector<TPreviewEntry> Predict(const IFileEntries& entries, bool selectedOnly,
                                       const TRenameRule& rule) const&;
    // The same with the rule built from `inputs`.
    std::vector<TPreviewEntry> Predict(const IFileEntries& entries,
                                       const TRenameInputs& inputs) const&;

    // The names of a folder by their hash, in one flat array: a lookup costs one probe
    // sequence over adjacent cells, where node-based sets chase a pointer per step. Each
    // prediction works on a copy, to which the walk adds the new names it meets.
    struct TNameTable {
        // (upper 32 bits of the name's hash << 32) | (name number + 1); 0 is an empty cell.
        std::vector<std::uint64_t> cells;
        std::size_t names = 0;
    };

    // A rename of the plan as the walk meets it. What the walk needs of the old name is taken
    // while the entry's text is at hand, so the plan keeps no copy of it.
    struct TPlannedMove {
        enum TNames : std::uint8_t {
            Move,          // the folder decides
            NotAcceptable, // either name is no bare name
            SameName,      // a rename to its own name, which MoveFile does without a look
        };
        std::uint64_t newHash = 0; // of the new name's key
        // The old name's number as read, or (oldRead false) where its key begins in the plan's
        // keys: an entry whose text changed since the read, or any entry of a preview made for
        // one prediction.
        std::size_t old = 0;
        std::uint64_t oldHash = 0; // of the old name's key when it is not as read
        std::uint32_t entry = 0;
        // Where the new name's key begins: in the preview's names, or on a case-blind volume
        // folded in the plan's keys.
        std::uint32_t newKey = 0;
        std::uint32_t newLength = 0;
        std::uint32_t oldLength = 0; // of the old name's key when it is not as read
        std::uint32_t folder = 0;    // the entry's folder number
        TNames names = Move;
        bool oldRead = true;
    };

    // What a prediction needs to know of each folder besides its names.
    struct TFolderLimits {
        std::size_t nameMax;
        bool writable;
    };

private:
    // The folders' rules and their names, in the table.
    void AddFolders(std::vector<TPreviewFolder> folders);
    // Adds the folder's names to the table and keeps their keys, each once, with whether
    // their entries may not be renamed (`pinned`, per name; may be empty).
    void AddFolderNames(std::vector<std::string> names, const std::vector<char>& pinned);
    // The key `name` of folder `folder` is compared by: folded on a case-blind volume, after the
    // folder's number where the preview spans many folders. A view of `name`, or of `key`,
    // which holds it.
    std::string_view Key(std::uint32_t folder, std::string_view name, std::string& key) const;
    // Whether names are compared by keys of their own, not as the list and the rule have them.
    bool KeyedNames() const { return caseBlind_ || manyFolders_; }
    // The plan of the batch, as PlanBatch makes it, into moves_ and the new names into
    // `preview`.
    void Plan(const IFileEntries& entries, bool selectedOnly, const TRenameRule& rule,
              TPreview& preview) const;
    // The prediction of the plan, with `table` (the folder's names) taking the names the walk
    // adds.
    void Walk(TPreview& preview, TNameTable& table) const;

    std::vector<TFolderLimits> folders_;
    bool caseBlind_ = false;
    bool manyFolders_ = false;
    std::vector<std::string> keys_;       // the names as compared: folded on a case-blind volume
    std::vector<char> pinned_;            // per name number, as keys_: its entry may not be renamed
    std::vector<std::size_t> entryNames_; // the number of each entry's name as read
    TNameTable table_;
    // Kept from one prediction to the next: the copy of the table, the plan, the plan's keys
    // that are no new name as it is (folded ones, and old names not as read), the walk's state
    // (per name number) and the keys of the names it adds.
    mutable TNameTable scratch_;
    mutable std::vector<TPlannedMove> moves_;
    mutable std::string moveKeys_;
    mutable std::vector<std::uint8_t> state_;
    mutable std::vector<std::string_view> added_;
};

} // namespace nomilo
