#pragma once

#include "facts/FactsCache.h"
#include "facts/FactsReader.h"
#include "rename/FieldContext.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace nomilo {

// Reads what `needs` asks of the entries `names` of `folder` (a path), in the order given, and
// hands the facts of each to `done(index, facts)`: the times from the entry's own statx, the
// data from the cache where the file did not change, else from the reader process. A link is
// read where it leads (in the reader process, where a dead mount cannot hold the program up).
// Stops early when `stop` (may be empty) answers true.
void ReadFolderFacts(const std::string& folder, const std::vector<std::string_view>& names,
                     TFactNeeds needs, TFactsCache& cache, TFactsReader& reader,
                     const std::function<void(std::size_t, const TFileFacts*)>& done,
                     const std::function<bool()>& stop = {});

// The field context of a file list: the facts of its entries as they arrive, the folder's name
// and the names in it as read; with subfolders included, each entry's folder, its name and the
// names in it.
class TEntryFacts final : public IFieldContext {
public:
    // `entries` entries, none read yet.
    void Reset(std::size_t entries, std::string folderName, const std::vector<std::string>& names,
               bool caseBlind);
    // The names the folder holds now (after a batch).
    void SetNamesOnDisk(const std::vector<std::string>& names);
    // The entries lie in many folders, folder n's from `firstEntries[n]` on (ascending), each with
    // its name; the names on disk are then those of each folder, in that order.
    void SetFolders(std::vector<std::uint32_t> firstEntries, std::vector<std::string> names);
    void SetNamesOnDisk(const std::vector<std::vector<std::string>>& namesByFolder);
    void Set(std::size_t entry, const TFileFacts* facts);
    // Entries whose facts are not there yet.
    std::size_t Missing() const { return missing_; }
    std::size_t Size() const { return facts_.size(); }

    const TFileFacts* FactsOf(int entry) const override;
    std::string_view FolderName(int entry) const override;
    bool NameOnDisk(int entry, std::string_view name) const override;
    std::uint32_t FolderOf(int entry) const override;
    bool CaseBlind() const override { return caseBlind_; }

private:
    // A name on disk as names_ keeps it.
    std::string Key(std::uint32_t folder, std::string_view name) const;

    std::vector<const TFileFacts*> facts_;
    std::size_t missing_ = 0;
    std::string folderName_;
    std::vector<std::uint32_t> firstEntries_; // of each folder, with subfolders included
    std::vector<std::string> folderNames_;
    // Each name on disk after its folder's number: views of nameStore_.
    std::unordered_set<std::string_view> names_;
    std::vector<std::string> nameStore_;
    bool caseBlind_ = false;
};

} // namespace nomilo
