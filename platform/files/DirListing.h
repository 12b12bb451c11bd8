#pragma once

#include <cstddef>
#include <fcntl.h>
#include <optional>
#include <string>
#include <vector>

namespace nomilo {

// The names in `folder`, whatever kind of entry ("." and ".." left out), in directory order;
// std::nullopt, with errno set, when it cannot be read.
std::optional<std::vector<std::string>> ReadFolderNames(const std::string& folder);

// 0 when the entries of `folder` can be read, else the errno of the refusal (EACCES for a folder
// that may be entered but not listed).
int FolderReadError(const std::string& folder);

// The current directory as a rename sees it: every name in it, whatever its kind (hidden files
// and folders included, "." and ".." left out), and what the kernel lets the user do there.
struct DirListing {
    std::vector<std::string> names; // in directory order; none when it cannot be read
    std::size_t nameMax = 255;      // the longest name its file system takes, in bytes
    bool writable = true;           // the user may add and remove names in it
    // Per name, 1 where the kernel refuses to rename the entry: a file of another owner in a
    // sticky folder (/tmp) that is not the user's own, unless the user may act as any owner; an
    // immutable or append-only file. Empty when no name is so. Asked of each entry only where
    // the folder leaves the answer open: not in a folder the user cannot change anyway, the
    // owner only in such a sticky folder, the flags only where the file system has them.
    std::vector<char> pinned;
};
DirListing ListCurrentDir();
// The same with the names read already, by a search of the current directory.
DirListing ListCurrentDir(std::vector<std::string> names);
// The same of the folder at `path`, for a thread of its own (the current directory plays no
// part); std::nullopt when it cannot be opened (a path longer than PATH_MAX among others).
std::optional<DirListing> ListFolder(const std::string& path);
// The same of the folder `path` below the folder `root` (AT_FDCWD: the current directory),
// reached as OpenFolderBelow reaches it, on the calling thread; no names when it cannot be.
DirListing ListFolderBelow(const std::string& path, int root = AT_FDCWD);

} // namespace nomilo
