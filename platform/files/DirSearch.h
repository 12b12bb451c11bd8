#pragma once

#include "platform/files/FileAttributes.h"

#include <cstdint>
#include <functional>
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
// are never looked through into the `network` mounts (EntryAttributes).
using FoundEntry = std::function<void(std::string_view name, std::uint32_t attributes)>;
void SearchCurrentDir(std::string_view pattern, std::uint32_t excluded, std::uint32_t wanted,
                      const FoundEntry& found, const TNetworkMounts& network = {});
// The same search in `folder` (absolute, or relative to the current directory; of any length),
// which does not become the current directory.
void SearchFolder(const std::string& folder, std::string_view pattern, std::uint32_t excluded,
                  std::uint32_t wanted, const FoundEntry& found,
                  const TNetworkMounts& network = {});

// While an object of this class lives, the searches of `folder` share one reading of it: the
// first search reads every entry of the folder, and the searches after it go through what it
// read. Two lists that show a folder after one change of folder read it once; outside such a
// scope every search reads the folder afresh. One is in force at a time: a new one ends the
// sharing of the one before. One thread only.
class TSharedFolderRead {
public:
    explicit TSharedFolderRead(const std::string& folder);
    ~TSharedFolderRead();
    // Ends the sharing in force, if any, and lets go of its reading: the searches after it read
    // afresh.
    static void EndSharing();
    TSharedFolderRead(const TSharedFolderRead&) = delete;
    TSharedFolderRead& operator=(const TSharedFolderRead&) = delete;

private:
    friend void SearchFolder(const std::string&, std::string_view, std::uint32_t, std::uint32_t,
                             const FoundEntry&, const TNetworkMounts&);
    // True when the open directory `folder` is the folder shared.
    bool Holds(int folder) const;

    static inline TSharedFolderRead* active_ = nullptr;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    bool read_ = false;
    std::string names_;                // every name read, each ended by a 0 byte
    std::vector<unsigned char> types_; // the d_type of each
};

} // namespace nomilo
