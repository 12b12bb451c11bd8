#pragma once

#include <cstdint>
#include <string>

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

// True when `path` exists and is a folder (links followed).
bool FolderExists(const std::string& path);

// True when `path` exists and is not a folder: a file, a device, or a link that leads to no
// folder (a dangling link included).
bool FileExists(const std::string& path);

// The attribute bits of entry `name` of the open directory `dirFd`. `dType` is the entry's
// d_type from readdir (DT_UNKNOWN when not known). The read-only bit costs a system call and is
// only worked out when `wanted` holds it; the other bits come from d_type and, for links and
// unknown types, one stat. A dangling link is a plain file.
std::uint32_t EntryAttributes(int dirFd, const char* name, unsigned char dType,
                              std::uint32_t wanted);

} // namespace nomilo
