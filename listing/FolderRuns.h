#pragma once

#include "rename/FileEntries.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nomilo {

// The folders of a list that holds the files of a whole tree, folder by folder: each folder's
// entries are one run, from its first entry up to the next folder's first. A list of one folder
// has no runs, and each entry lies in the list's own folder.
class TFolderRuns {
public:
    // The entries from `first` on lie in the folder `path` (relative to the list's folder), until
    // the next run begins. Runs begin in the order of their entries; a run that holds no entry
    // goes when the next one begins at the same entry.
    void Begin(std::string_view path, std::uint32_t first);
    void Clear();

    // The folder of entry `entry`, numbered by its run.
    TEntryFolder Of(std::uint32_t entry) const;
    std::size_t Count() const { return runs_.size(); }
    // The entry that run `run` begins at, and its folder.
    std::uint32_t First(std::size_t run) const { return runs_[run].first; }
    std::string_view Path(std::size_t run) const;
    // Every run's folder, in order.
    std::vector<std::string> Paths() const;

private:
    struct TRun {
        std::uint32_t first;
        std::uint32_t pathOffset; // in paths_
        std::uint32_t pathLength;
    };
    std::string paths_; // every folder's path, one after the other
    std::vector<TRun> runs_;
};

} // namespace nomilo
