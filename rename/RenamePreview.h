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

// What the next batch would do with one entry.
struct TPreviewEntry {
    enum TMark : std::uint8_t { Untouched, Renamed, Refused };
    TMark mark = Untouched; // Untouched: not considered, or the rule changes nothing
    TRefusal reason = TRefusal::None;
    std::string newName;
};

// Predicts a rename batch: walks the entries as the batch does, in its order, with the names
// that earlier renames take and give up, and the refusals MoveFile would answer. What it
// predicts is what the batch does, as long as the folder does not change in between. On a
// case-blind volume names are compared with ASCII letters folded.
class TRenamePreview {
public:
    // The folder as read, and the file list's entries as read from it: their names are
    // numbered first, in entry order, so that a prediction finds an entry's own name without a
    // lookup. Entries that change later are still predicted right, only a little slower.
    TRenamePreview(TPreviewFolder folder, const IFileEntries& entries);
    // The folder as read, for one prediction: each entry's name is looked up as the walk meets
    // it, which costs that prediction what numbering the entries first would.
    explicit TRenamePreview(TPreviewFolder folder);

    // One prediction per entry, in entry order. Throws ERenameRule, as PlanBatch does, when the
    // rule cannot rename.
    std::vector<TPreviewEntry> Predict(const IFileEntries& entries, bool selectedOnly,
                                       const TRenameRule& rule) const&;
    // The same with the rule built from `inputs`.
    std::vector<TPreviewEntry> Predict(const IFileEntries& entries,
                                       const TRenameInputs& inputs) const&;
    // The last prediction of a preview: it works in the folder's table itself instead of a copy.
    std::vector<TPreviewEntry> Predict(const IFileEntries& entries, bool selectedOnly,
                                       const TRenameRule& rule) &&;

    // The names of a folder by their hash, in one flat array: a lookup costs one probe
    // sequence over adjacent cells, where node-based sets chase a pointer per step. Each
    // prediction works on a copy, to which the walk adds the new names it meets.
    struct TNameTable {
        // (upper 32 bits of the name's hash << 32) | (name number + 1); 0 is an empty cell.
        std::vector<std::uint64_t> cells;
        std::size_t names = 0;
    };

private:
    // Adds the folder's names to the table and keeps their keys, each once, with whether
    // their entries may not be renamed (`pinned`, per name; may be empty).
    void AddFolderNames(std::vector<std::string> names, const std::vector<char>& pinned);
    // The prediction of `plan`, with `table` (the folder's names) taking the names the walk
    // adds.
    std::vector<TPreviewEntry> Walk(const IFileEntries& entries, std::vector<TRenameStep> plan,
                                    TNameTable& table) const;

    std::size_t nameMax_;
    bool writable_;
    bool caseBlind_;
    std::vector<std::string> keys_; // the names as compared: folded on a case-blind volume
    std::vector<char> pinned_;      // per name number, as keys_: its entry may not be renamed
    std::vector<std::size_t> entryNames_; // the number of each entry's name as read
    TNameTable table_;
    mutable TNameTable scratch_; // the copy a prediction adds to, kept for the next one
};

} // namespace nomilo
