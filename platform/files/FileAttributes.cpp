#include "platform/files/FileAttributes.h"

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nomilo {

bool FolderExists(const std::string& path) {
    struct stat st;
    return path.find('\0') == std::string::npos && stat(path.c_str(), &st) == 0 &&
           S_ISDIR(st.st_mode);
}

bool FileExists(const std::string& path) {
    struct stat st;
    return path.find('\0') == std::string::npos && lstat(path.c_str(), &st) == 0 &&
           !FolderExists(path);
}

namespace {

// The kind of a directory entry in the terms of d_type, following a link to what it names.
unsigned char ResolvedType(int dirFd, const char* name, unsigned char dType) {
    if (dType != DT_LNK && dType != DT_UNKNOWN)
        return dType;
    struct stat st;
    if (fstatat(dirFd, name, &st, 0) != 0)
        return dType == DT_LNK ? DT_REG : DT_UNKNOWN; // a dangling link counts as a file
    if (S_ISDIR(st.st_mode))
        return DT_DIR;
    if (S_ISREG(st.st_mode))
        return DT_REG;
    if (dType == DT_LNK)
        return DT_REG; // a link to a device or FIFO is still a name one can rename
    return S_ISFIFO(st.st_mode) ? DT_FIFO : S_ISSOCK(st.st_mode) ? DT_SOCK : DT_CHR;
}

bool IsSearchEntry(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

} // namespace

std::uint32_t EntryAttributes(int dirFd, const char* name, unsigned char dType,
                              std::uint32_t wanted) {
    std::uint32_t attributes = 0;
    // "." and ".." are the folder itself and its parent, not hidden files.
    if (name[0] == '.' && !IsSearchEntry(name))
        attributes |= faHidden;
    switch (ResolvedType(dirFd, name, dType)) {
    case DT_DIR: attributes |= faDirectory; break;
    case DT_REG: attributes |= faArchive; break;
    case DT_UNKNOWN: break;
    default: attributes |= faSysFile; break;
    }
    if ((wanted & faReadOnly) && faccessat(dirFd, name, W_OK, 0) != 0)
        attributes |= faReadOnly;
    return attributes;
}

} // namespace nomilo
