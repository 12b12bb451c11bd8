#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace nomilo {

// What tells one file of a folder from every other across its renames: the inode it is (with
// the time it was made, so that a file that gets the inode number of a deleted one is another
// file), and its size and modification time, which decide where the file system does not keep
// inode numbers. A rename keeps all of it; `links` counts the file's names, which a rename by
// link and unlink raises by one for a moment.
struct FileIdentity {
    std::uint64_t inode = 0;
    std::int64_t born = 0; // nanoseconds since the epoch; 0 where the file system does not tell
    std::int64_t size = 0;
    std::int64_t modified = 0; // nanoseconds since the epoch
    std::uint32_t links = 0;
};

// The identity of the entry `name` of the current directory, the entry itself (a link is not
// followed); std::nullopt, with errno set, when there is none.
std::optional<FileIdentity> IdentityOf(const std::string& name);

// The identity of a folder renames happen in. FAT, exFAT, FUSE and SMB volumes may give a file
// another inode number once the kernel has let go of it, and the volume another device number at
// its next mount: there files are told apart by size and times instead (`keepsInodes` false).
struct FolderIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t born = 0;
    bool keepsInodes = true;
};

// The identity of the current directory; std::nullopt, with errno set, when it cannot be told.
std::optional<FolderIdentity> CurrentFolderIdentity();
// The identity of the folder `path` below the current directory, reached as OpenFolderBelow
// reaches it (through no link and no mount point); std::nullopt when it cannot be.
std::optional<FolderIdentity> FolderIdentityBelow(const std::string& path);

// Whether `now` is the folder `recorded` describes. On a volume that does not keep inode numbers
// any folder there is taken for it: the identities of its files decide.
bool IsSameFolder(const FolderIdentity& recorded, const FolderIdentity& now);

// Whether the file system that held the folder `recorded` is at the folder's `path` without the
// folder: the folder there is another one, or none, and the nearest folder above `path` that
// exists is on that file system (where device numbers do not last: on one of that kind), so
// the folder will not come back. False where it may (a drive that is not connected leaves an
// empty mount point on another file system), and where that cannot be told.
bool FolderGoneFromItsDrive(const std::string& path, const FolderIdentity& recorded);

// Whether `now` is the file `recorded` describes, both in the folder `folder`: the same inode,
// made at the same time where the file system tells; on a volume that does not keep inode
// numbers the same size and modification (and making) time. The link count does not count, nor
// the device: the folder is checked before its files.
bool IsSameFile(const FileIdentity& recorded, const FileIdentity& now,
                const FolderIdentity& folder);

} // namespace nomilo
