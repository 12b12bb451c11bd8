#include "platform/files/FileIdentity.h"

#include "platform/files/DirSearch.h"
#include "platform/files/FileIO.h"
#include "platform/files/internal/PathAt.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>

namespace nomilo {

namespace {

constexpr unsigned kIdentityFields =
    STATX_TYPE | STATX_INO | STATX_SIZE | STATX_MTIME | STATX_NLINK | STATX_BTIME;

std::int64_t Nanoseconds(const statx_timestamp& time) {
    return time.tv_sec * 1'000'000'000LL + time.tv_nsec;
}

std::optional<struct statx> StatxOf(const char* name, int folder = AT_FDCWD,
                                     int flags = AT_SYMLINK_NOFOLLOW) {
    struct statx st {};
    if (statx(folder, name, flags | AT_STATX_DONT_SYNC, kIdentityFields, &st) != 0)
        return std::nullopt;
    return st;
}

std::uint64_t DeviceOf(const struct statx& st) {
    return makedev(st.stx_dev_major, st.stx_dev_minor);
}

std::int64_t BornOf(const struct statx& st) {
    return (st.stx_mask & STATX_BTIME) ? Nanoseconds(st.stx_btime) : 0;
}

// File systems whose inode numbers (and device numbers) need not last: FAT and exFAT number
// inodes as the kernel reads them, FUSE and SMB as the server or the mount chooses.
bool KeepsInodes(long type) {
    constexpr long kExfat = 0x2011BAB0;
    constexpr long kFuse = 0x65735546;
    constexpr long kCifs = static_cast<long>(0xFF534D42);
    constexpr long kSmb2 = static_cast<long>(0xFE534D42);
    return type != MSDOS_SUPER_MAGIC && type != kExfat && type != kFuse && type != kCifs &&
           type != kSmb2 && type != SMB_SUPER_MAGIC;
}

bool SameBirth(std::int64_t a, std::int64_t b) {
    return a == 0 || b == 0 || a == b;
}

// The identity of the folder at `path` (links followed), of any length.
std::optional<FolderIdentity> FolderIdentityAt(const std::string& path) {
    const TPathAt at(path);
    if (!at.Valid())
        return std::nullopt;
    const auto st = StatxOf(at.Name(), at.Folder(), 0);
    if (!st)
        return std::nullopt;
    struct statfs fs {};
    const FileDescriptor folder(OpenPath(path, O_PATH));
    if (!folder.Valid() || fstatfs(folder.Get(), &fs) != 0)
        return std::nullopt;
    return FolderIdentity{DeviceOf(*st), st->stx_ino, BornOf(*st),
                          KeepsInodes(static_cast<long>(fs.f_type))};
}

} // namespace

std::optional<FileIdentity> IdentityOf(const std::string& name) {
    const auto st = StatxOf(name.c_str());
    if (!st)
        return std::nullopt;
    return FileIdentity{st->stx_ino, BornOf(*st), static_cast<std::int64_t>(st->stx_size),
                        Nanoseconds(st->stx_mtime), st->stx_nlink};
}

std::optional<FolderIdentity> CurrentFolderIdentity() {
    const auto st = StatxOf(".");
    struct statfs fs {};
    if (!st || statfs(".", &fs) != 0)
        return std::nullopt;
    return FolderIdentity{DeviceOf(*st), st->stx_ino, BornOf(*st),
                          KeepsInodes(static_cast<long>(fs.f_type))};
}

std::optional<FolderIdentity> FolderIdentityBelow(const std::string& path) {
    const FileDescriptor folder(OpenFolderBelow(path));
    if (!folder.Valid())
        return std::nullopt;
    const auto st = StatxOf("", folder.Get(), AT_EMPTY_PATH);
    struct statfs fs {};
    if (!st || fstatfs(folder.Get(), &fs) != 0)
        return std::nullopt;
    return FolderIdentity{DeviceOf(*st), st->stx_ino, BornOf(*st),
                          KeepsInodes(static_cast<long>(fs.f_type))};
}

bool IsSameFolder(const FolderIdentity& recorded, const FolderIdentity& now) {
    if (!recorded.keepsInodes || !now.keepsInodes)
        return recorded.keepsInodes == now.keepsInodes;
    return recorded.device == now.device && recorded.inode == now.inode &&
           SameBirth(recorded.born, now.born);
}

bool IsSameFile(const FileIdentity& recorded, const FileIdentity& now,
                const FolderIdentity& folder) {
    if (!folder.keepsInodes)
        return recorded.size == now.size && recorded.modified == now.modified &&
               SameBirth(recorded.born, now.born);
    return recorded.inode == now.inode && SameBirth(recorded.born, now.born);
}

bool FolderGoneFromItsDrive(const std::string& path, const FolderIdentity& recorded) {
    if (path.empty() || path.front() != '/')
        return false;
    if (const auto there = FolderIdentityAt(path))
        if (IsSameFolder(recorded, *there))
            return false; // it is there, only it could not be entered
    // The path itself, then each folder above it, up to the first that is there.
    for (std::string at = path;; at = ParentOf(at)) {
        if (const auto found = FolderIdentityAt(at)) {
            if (!recorded.keepsInodes)
                return !found->keepsInodes;
            return found->keepsInodes && found->device == recorded.device;
        }
        if ((errno != ENOENT && errno != ENOTDIR) || at == "/")
            return false;
    }
}

} // namespace nomilo
