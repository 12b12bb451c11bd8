#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace nomilo {

// One line of the kernel's mount table (/proc/self/mountinfo), its texts unescaped.
struct TMountEntry {
    int mountId = 0;
    int parentId = 0;
    std::string root;       // the folder of the mounted file system that appears here
    std::string mountPoint; // absolute path
    std::string fsType;     // "ext4", "nfs4", "fuse.sshfs", ...
    std::string source;     // "/dev/sdb1", "//server/share", "tmpfs"; may be empty
};

// A field of the mount table with the kernel's octal escapes ("\040" space, "\011" tab, "\012"
// newline, "\134" backslash, any other "\ooo" up to "\377") turned back into bytes. A backslash
// that starts no such escape stands for itself. std::nullopt when the field holds a NUL byte,
// written as such or as "\000": no path can hold one.
std::optional<std::string> UnescapeMountField(std::string_view field);

// The mounts of a mount table in the format of /proc/self/mountinfo, in table order:
//   id parent major:minor root mount-point options [optional fields...] - type source super-options
// A line that does not have that shape (too few fields, no "-" separator, an id that is not a
// number, a mount point that is not absolute, an escape giving a NUL byte) is left out; fields
// after the source are not needed and may be missing or more than three.
std::vector<TMountEntry> ParseMountInfo(std::string_view text);

// The text of the process's mount table; empty when it cannot be read.
std::string ReadMountTable();

// The process's mount table, read once and again only when the kernel reports a change: poll on
// /proc/self/mountinfo gives POLLPRI after every mount and unmount. A process that moves to
// another mount namespace gets that namespace's table.
class TMountTableWatch {
public:
    TMountTableWatch() = default;
    ~TMountTableWatch();
    TMountTableWatch(const TMountTableWatch&) = delete;
    TMountTableWatch& operator=(const TMountTableWatch&) = delete;

    // The table as it is now (empty when it cannot be read); `reread` is set when it had to be
    // read again since the last call.
    const std::string& Text(bool& reread);

private:
    int fd_ = -1;
    ino_t namespace_ = 0;
    std::string text_;
};

} // namespace nomilo
