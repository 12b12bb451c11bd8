#include "platform/files/MoveFile.h"

#include "platform/files/DirHandle.h"
#include "platform/files/FileIO.h"
#include "platform/text/AsciiText.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace nomilo {

namespace {

std::error_code Refusal(int error) {
    return {error, std::generic_category()};
}

// True when the folder `folder` holds an entry spelled exactly `name`.
bool DirectoryListsExactly(int folder, const std::string& name) {
    const int fd = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const DirHandle dir(fd >= 0 ? fdopendir(fd) : nullptr);
    if (fd >= 0 && !dir)
        close(fd);
    if (!dir)
        return true; // cannot tell: assume a second entry, which refuses the rename
    while (const dirent* entry = readdir(dir.get()))
        if (name == entry->d_name)
            return true;
    return false;
}

// The new name is taken by the old file itself under another spelling: a case-insensitive
// volume. Two hard links to one file do not count: each has its own directory entry.
bool IsSameFileOtherCase(int folder, const std::string& oldName, const std::string& newName) {
    if (!EqualIgnoringAsciiCase(oldName, newName))
        return false;
    struct stat oldStat, newStat;
    if (fstatat(folder, oldName.c_str(), &oldStat, AT_SYMLINK_NOFOLLOW) != 0 ||
        fstatat(folder, newName.c_str(), &newStat, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    if (oldStat.st_dev != newStat.st_dev || oldStat.st_ino != newStat.st_ino)
        return false;
    return oldStat.st_nlink == 1 || !DirectoryListsExactly(folder, newName);
}

bool LacksNoReplaceRename(int error) {
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

bool LacksHardLinks(int error) {
    return error == EPERM || error == EOPNOTSUPP || error == ENOSYS;
}

// Whether `name` is still our placeholder, held as `held` (a file or a folder), which
// `placeholder` described when it was made: the name leads to that very entry, and it is
// still empty (a file someone wrote into, or a folder someone filled, is theirs now), and the
// placeholder still has its name. Held, its inode cannot go and its number be given to another
// file; and on FAT-like file systems, where the number comes from where an entry lies, a file
// put in its place gets the old number, but our placeholder then has no name left.
bool IsOurPlaceholder(int folder, const std::string& name, int held,
                      const struct stat& placeholder) {
    struct stat ours, now;
    if (fstat(held, &ours) != 0 || ours.st_nlink == 0 ||
        (S_ISREG(placeholder.st_mode) && ours.st_size != 0))
        return false;
    return fstatat(folder, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
           now.st_dev == placeholder.st_dev && now.st_ino == placeholder.st_ino &&
           (now.st_mode & S_IFMT) == (placeholder.st_mode & S_IFMT);
}

// Takes `name` with an empty placeholder of our own: a file, or a folder when `folder`. It is
// made without being opened (mknod, mkdir; both refuse a name that is taken) and then held by
// an O_PATH descriptor, which pins its inode but is no open file to the file system. A FUSE
// file system served by libfuse turns a rename over a file that is open into a rename of that
// file to a hidden name first (".fuse_hiddenN", unless mounted with hard_remove), which some of
// them get wrong (fusefat wrote a directory entry over a file's data and lost others). Closing
// a file before the rename would not do: FUSE tells the server of the close in the background,
// so the rename may still find it open. -1 with errno when the name is taken or cannot be made.
int TakeWithPlaceholder(int in, const std::string& name, bool folder) {
    if ((folder ? mkdirat(in, name.c_str(), 0700) : mknodat(in, name.c_str(), S_IFREG | 0600, 0)) !=
        0)
        return -1;
    const int fd = openat(in, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        errno = EEXIST; // someone put something else in our placeholder's place at once
    return fd;
}

// Renames where the file system offers neither RENAME_NOREPLACE nor hard links (FAT-like
// ones): the new name is first taken by an empty placeholder of our own, which nobody else can
// then take (an empty folder for a folder, the only thing a folder may be renamed over), and
// the old entry is renamed over that placeholder only, checked to be ours right before. A crash
// in between leaves the placeholder, an empty file under the new name, and never loses one.
// What remains is the moment between that check and the rename, which no call of such a file
// system closes: a file put in the placeholder's place then is replaced (and so in the moment
// between the placeholder's making and its holding). Answers 0 or the errno of the refusal.
int RenameOverPlaceholder(int in, const std::string& oldName, const std::string& newName) {
    struct stat old;
    if (fstatat(in, oldName.c_str(), &old, AT_SYMLINK_NOFOLLOW) != 0)
        return errno;
    const bool folder = S_ISDIR(old.st_mode);
    const FileDescriptor held(TakeWithPlaceholder(in, newName, folder));
    struct stat placeholder;
    if (!held.Valid() || fstat(held.Get(), &placeholder) != 0)
        return errno;
    // Someone who removed our placeholder and put an entry of their own there keeps it.
    if ((folder ? !S_ISDIR(placeholder.st_mode) : !S_ISREG(placeholder.st_mode)) ||
        !IsOurPlaceholder(in, newName, held.Get(), placeholder))
        return EEXIST;
    if (renameat(in, oldName.c_str(), in, newName.c_str()) == 0)
        return 0;
    const int error = errno;
    if (IsOurPlaceholder(in, newName, held.Get(), placeholder))
        unlinkat(in, newName.c_str(), folder ? AT_REMOVEDIR : 0);
    return error;
}

void Tell(IMoveWitness* witness, MoveWay way) {
    if (witness)
        witness->Taking(way);
}

// Renames without ever replacing, by the best means the file system offers: RENAME_NOREPLACE;
// else a hard link, which cannot replace either, and the removal of the old name; else (folders,
// FAT-like file systems) a rename over a placeholder. Answers 0 or the errno of the refusal.
int RenameNoReplace(int in, const std::string& oldName, const std::string& newName,
                    IMoveWitness* witness) {
    Tell(witness, MoveWay::Rename);
    if (renameat2(in, oldName.c_str(), in, newName.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (!LacksNoReplaceRename(errno))
        return errno;
    Tell(witness, MoveWay::LinkUnlink);
    if (linkat(in, oldName.c_str(), in, newName.c_str(), 0) == 0) {
        if (unlinkat(in, oldName.c_str(), 0) == 0)
            return 0;
        const int error = errno;
        unlinkat(in, newName.c_str(), 0); // leave things as they were
        return error;
    }
    if (!LacksHardLinks(errno))
        return errno;
    Tell(witness, MoveWay::Placeholder);
    return RenameOverPlaceholder(in, oldName, newName);
}

} // namespace

bool IsBareName(std::string_view name) {
    // Two searches: find_first_of would search the set once a byte, and the preview asks for
    // every entry at each keystroke.
    return !name.empty() && name != "." && name != ".." &&
           name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

std::error_code MoveFileRefusal(const std::string& oldName, const std::string& newName,
                                IMoveWitness* witness) {
    return MoveFileRefusalAt(AT_FDCWD, oldName, newName, witness);
}

std::error_code MoveFileRefusalAt(int folder, const std::string& oldName,
                                  const std::string& newName, IMoveWitness* witness) {
    if (!IsBareName(oldName) || !IsBareName(newName))
        return Refusal(EINVAL);
    if (oldName == newName)
        return {};
    const int error = RenameNoReplace(folder, oldName, newName, witness);
    if (error == 0)
        return {};
    // Renaming a file to another spelling of its own name on a case-insensitive volume: a plain
    // rename, as whole as RENAME_NOREPLACE.
    if (error == EEXIST && IsSameFileOtherCase(folder, oldName, newName)) {
        Tell(witness, MoveWay::Rename);
        return renameat(folder, oldName.c_str(), folder, newName.c_str()) == 0 ? std::error_code()
                                                                               : Refusal(errno);
    }
    return Refusal(error);
}

bool MoveFile(const std::string& oldName, const std::string& newName) {
    return !MoveFileRefusal(oldName, newName);
}

} // namespace nomilo
