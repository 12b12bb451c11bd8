#pragma once

#include <string>
#include <vector>

namespace nomilo {

// Why a path of the command line's selection is not selected.
enum class TLeftOut {
    Missing,     // nothing by that path exists
    OtherFolder, // it lies in another folder than the first path
    NotListed,   // the file list does not show it (a folder, a hidden file, a socket, ...)
};

struct TLeftOutPath {
    std::string path;
    TLeftOut reason;
    bool operator==(const TLeftOutPath&) const = default;
};

// An entry to select: its name in the selection's folder, the path that named it, and whether
// it is a folder (the file list then selects every file below it, with subfolders included).
struct TSelectedEntry {
    std::string name;
    std::string path;
    bool folder = false;
    bool operator==(const TSelectedEntry&) const = default;
};

// The paths of a selection sorted out: the folder of the first path that exists, the entries
// of that folder the paths name, and the paths left out.
struct TStartSelection {
    std::string folder; // empty when no path exists
    std::vector<TSelectedEntry> entries;
    std::vector<TLeftOutPath> leftOut;
    // The paths still to sort out, where that was put off (UngroupedSelection).
    std::vector<std::string> ungrouped;

    // Whether an entry is a folder, whose files are renamed with subfolders included.
    bool HoldsFolders() const;
};

// Sorts out `paths` (absolute, or relative to the current directory). A path's folder and name
// are taken from its text ("a/b/" is the entry "b" of "a", "x" the entry "x" of "."), so a link
// is selected as the entry it is, not as what it leads to; two folders are the same when they
// are one folder on disk. Each name is kept once, with its first path. The paths
// that do not exist and those of other folders are left out, each once, in the order given.
TStartSelection GroupSelection(const std::vector<std::string>& paths);

// The selection of `paths` before any of them is looked at: the folder the first path's text
// names (as GroupSelection takes it), and every path still to sort out. For a folder that does
// not answer yet.
TStartSelection UngroupedSelection(const std::vector<std::string>& paths);

} // namespace nomilo
