#include "platform/files/FileIO.h"

#include "platform/files/DirHandle.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nomilo {

FileDescriptor::~FileDescriptor() {
    if (fd_ >= 0)
        close(fd_);
}

std::string ParentOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool MakeFolders(const std::string& folder) {
    struct stat st {};
    if (stat(folder.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    if (errno != ENOENT)
        return false;
    const std::string parent = ParentOf(folder);
    if (parent != folder && !MakeFolders(parent))
        return false;
    return mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

std::optional<std::string> ReadAll(int fd, std::size_t limit) {
    std::string text;
    char buffer[16384];
    while (true) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            return text;
        text.append(buffer, static_cast<std::size_t>(n));
        if (text.size() > limit) {
            errno = EFBIG;
            return std::nullopt;
        }
    }
}

bool HoldsExactly(int fd, std::string_view text) {
    char buffer[65536];
    off_t offset = 0;
    while (true) {
        const ssize_t n = pread(fd, buffer, sizeof buffer, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return static_cast<std::size_t>(offset) == text.size();
        const auto piece = static_cast<std::size_t>(n);
        const auto at = static_cast<std::size_t>(offset);
        if (at + piece > text.size() || text.compare(at, piece, std::string_view(buffer, piece)) != 0)
            return false;
        offset += n;
    }
}

bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void SyncFolder(const std::string& folder) {
    FileDescriptor fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Valid())
        fsync(fd.Get());
}

namespace {

// The temporary files of `target` are named ".NAME.XXXXXX", the X's made unique by mkostemp.
constexpr std::size_t kUniquePartLength = 6;

std::string TemporaryPrefix(const std::string& target) {
    const std::size_t slash = target.find_last_of('/');
    return "." + (slash == std::string::npos ? target : target.substr(slash + 1)) + ".";
}

bool IsTemporaryOf(std::string_view name, std::string_view prefix) {
    if (name.size() != prefix.size() + kUniquePartLength || !name.starts_with(prefix))
        return false;
    const std::string_view unique = name.substr(prefix.size());
    return std::all_of(unique.begin(), unique.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    });
}

} // namespace

std::string TemporaryTemplate(const std::string& target) {
    return ParentOf(target) + "/" + TemporaryPrefix(target) + "XXXXXX";
}

bool ReplaceAtomically(const std::string& target, std::string_view text, mode_t mode) {
    const std::string folder = ParentOf(target);
    std::string temporary = TemporaryTemplate(target);
    FileDescriptor fd(mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd.Valid())
        return false;
    const bool written = fchmod(fd.Get(), mode) == 0 && WriteAll(fd.Get(), text) &&
                         fsync(fd.Get()) == 0 && rename(temporary.c_str(), target.c_str()) == 0;
    if (!written) {
        unlink(temporary.c_str());
        return false;
    }
    SyncFolder(folder);
    return true;
}

void RemoveStaleTemporaries(const std::string& target) {
    const std::string folder = ParentOf(target);
    const std::string prefix = TemporaryPrefix(target);
    const DirHandle dir = OpenDir(folder.c_str());
    if (!dir)
        return;
    while (const dirent* entry = readdir(dir.get())) {
        struct stat st {};
        if (IsTemporaryOf(entry->d_name, prefix) &&
            fstatat(dirfd(dir.get()), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode))
            unlinkat(dirfd(dir.get()), entry->d_name, 0);
    }
}

} // namespace nomilo
