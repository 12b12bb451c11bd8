#pragma once

#include "platform/files/FileAttributes.h"

#include <cstdint>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace nomilo {

// True when `name` matches the wildcard `pattern`: "*" matches any run of characters (dots
// included), "?" exactly one character (a UTF-8 sequence counts as one), ASCII letters match
// regardless of case, and every other byte matches itself. A pattern ending in ".*" also
// matches a name without a dot, so "*.*" matches every name. An empty pattern, or one holding
// "/", matches nothing.
bool MatchesMask(std::string_view name, std::string_view pattern);

// Searches the current directory for entries matching `pattern` and calls `found` with the
// name and attribute bits of each, in directory order, passing over every entry that carries a
// bit of `excluded`. Attribute bits in neither `excluded` nor `wanted` may be left out where
// working them out would cost a system call. A folder that cannot be read finds nothing. Links
// are never looked through into the `network` mounts on the caller's thread (EntryAttributes):
// the search waits for the looks it started there at most kLinkLookPatience, and gives such
// links last. On the window's thread the search runs off it (RunResponsively).
using FoundEntry = std::function<void(std::string_view name, std::uint32_t attributes)>;
void SearchCurrentDir(std::string_view pattern, std::uint32_t excluded, std::uint32_t wanted,
                      const FoundEntry& found, const TNetworkMounts& network = {});
// The same search in `folder` (absolute, or relative to the current directory; of any length),
// which does not become the current directory.
void SearchFolder(const std::string& folder, std::string_view pattern, std::uint32_t excluded,
                  std::uint32_t wanted, const FoundEntry& found,
                  const TNetworkMounts& network = {});

// The folders below the current directory, reached by relative paths ("2024/05", no "." or
// ".." parts) that cross no symbolic link and no mount point (a bind mount is one): a link or a
// mount that takes a folder's place is never passed through, so a walk down a tree neither
// loops nor leaves it, and never enters a server's mount inside it.
//
// Opens the folder `path` below the folder `root` (a descriptor; AT_FDCWD: the current
// directory), "" for `root` itself, for reading: a descriptor, or -1 with errno set: EXDEV when
// a mount point lies on the way (the folder is on another file system), ELOOP when a link does,
// ENOENT or ENOTDIR when it is gone.
int OpenFolderBelow(const std::string& path, int root = AT_FDCWD);

// An entry of a folder TTreeReader reads: its attribute bits, and whether it is a folder itself
// (not a link to one), which a walk goes down into.
using FolderBelowItem =
    std::function<void(std::string_view name, std::uint32_t attributes, bool subfolder)>;

// Reads folders below the current directory as it was when the reader was made (held open, so
// that the reads stay in it whatever the current directory becomes), on the calling thread.
class TTreeReader {
public:
    // Links are not looked through into the `network` mounts.
    explicit TTreeReader(TNetworkMounts network = {});
    ~TTreeReader();
    TTreeReader(const TTreeReader&) = delete;
    TTreeReader& operator=(const TTreeReader&) = delete;

    // Reads the folder `path` below the reader's folder (OpenFolderBelow) once: `item` gets each
    // entry but "." and "..", with its attribute bits (at least `wanted` and the folder bit, as
    // EntryAttributes tells them; links whose look through another mount has not answered come
    // last, as SearchFolder gives them). Answers 0, or the errno of the open or the read that
    // failed.
    int Read(const std::string& path, std::uint32_t wanted, const FolderBelowItem& item) const;

private:
    int root_;
    TNetworkMounts network_;
    std::string rootPath_; // where links are looked through from, when `network_` is not empty
};

// While an object of this class lives, the searches of `folder` share one reading of it: the
// first search reads every entry of the folder, and the searches after it go through what it
// read. Two lists that show a folder after one change of folder read it once; outside such a
// scope every search reads the folder afresh. One is in force at a time: a new one ends the
// sharing of the one before. Made and ended on one thread (the searches may run on others).
class TSharedFolderRead {
public:
    explicit TSharedFolderRead(const std::string& folder);
    ~TSharedFolderRead();
    // Ends the sharing in force, if any, and lets go of its reading: the searches after it read
    // afresh.
    static void EndSharing();
    TSharedFolderRead(const TSharedFolderRead&) = delete;
    TSharedFolderRead& operator=(const TSharedFolderRead&) = delete;

    // The reading itself, shared with the searches that use it.
    struct Reading;

private:
    friend void SearchFolder(const std::string&, std::string_view, std::uint32_t, std::uint32_t,
                             const FoundEntry&, const TNetworkMounts&);

    static inline TSharedFolderRead* active_ = nullptr;
    std::shared_ptr<Reading> reading_;
};

} // namespace nomilo
