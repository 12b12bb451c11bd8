#pragma once

#include "platform/files/LinkLooks.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nomilo {

// Attribute bits of a directory entry, in the values the program stores and compares.
enum : std::uint32_t {
    faReadOnly = 0x01,  // the user may not write it
    faHidden = 0x02,    // the name begins with "."
    faSysFile = 0x04,   // a socket, FIFO or device
    faVolumeID = 0x08,  // never set on Linux
    faDirectory = 0x10, // a directory, or a link to one
    faArchive = 0x20,   // a regular file
};

// Mount points of network file systems whose server a look at a directory entry must not wait
// on. A link whose target lies at or below one of them is not looked through on the caller's
// thread: it counts as what the last look at its end there answered (LinkLooks.h), and as a
// folder until one has, since a link into a share mostly leads to one of its folders (entering
// it is then the user's own choice to wait).
using TNetworkMounts = std::vector<std::string>;

// True when the absolute path `path` is one of `mounts` or lies below one of them.
bool IsOnNetworkMount(std::string_view path, const TNetworkMounts& mounts);

// True when `path` (of any length) exists and is a folder (links followed).
bool FolderExists(const std::string& path);

// True when `path` (of any length) exists and is not a folder: a file, a device, or a link that
// leads to no folder (a dangling link included).
bool FileExists(const std::string& path);

// The attribute bits of entry `name` of the open directory `dirFd`. `dType` is the entry's
// d_type from readdir (DT_UNKNOWN when not known). The read-only bit costs a system call and is
// only worked out when `wanted` holds it; the other bits come from d_type and, for links and
// unknown types, a look at what the link leads to. A dangling link is a plain file. With
// `network` mounts given, a link is followed one part at a time from `folder` (the absolute
// path of the directory) and never into them: the rest of the way is looked at on a thread of
// its own (LookAtLinkEnd), and `pending`, when given, gets that look while it has not
// answered.
std::uint32_t EntryAttributes(int dirFd, const char* name, unsigned char dType,
                              std::uint32_t wanted, const TNetworkMounts& network = {},
                              const std::string& folder = {},
                              std::optional<TLinkLook>* pending = nullptr);
// The attributes of an entry whose look at `path` was pending when EntryAttributes gave it
// `attributes`, as the look has answered by now (a folder still, while it has not).
std::uint32_t AnsweredAttributes(std::uint32_t attributes, const std::string& path);

} // namespace nomilo
