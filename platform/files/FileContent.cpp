#include "platform/files/FileContent.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nomilo {

namespace {

TFileStatus StatusFrom(int result, const struct statx& status) {
    TFileStatus file;
    if (result != 0) {
        file.error = errno;
        return file;
    }
    file.mode = status.stx_mode;
    file.device = (std::uint64_t{status.stx_dev_major} << 32) | status.stx_dev_minor;
    file.inode = status.stx_ino;
    file.size = static_cast<std::int64_t>(status.stx_size);
    file.changed = status.stx_ctime.tv_sec * 1'000'000'000LL + status.stx_ctime.tv_nsec;
    file.modified = status.stx_mtime.tv_sec;
    file.hasBirth = (status.stx_mask & STATX_BTIME) != 0;
    file.born = file.hasBirth ? status.stx_btime.tv_sec : 0;
    return file;
}

constexpr unsigned kMask = STATX_BASIC_STATS | STATX_BTIME;

} // namespace

bool TFileStatus::Regular() const {
    return error == 0 && S_ISREG(mode);
}

bool TFileStatus::Link() const {
    return error == 0 && S_ISLNK(mode);
}

TFileStatus StatusAt(int folder, const char* name, bool follow) {
    struct statx status {};
    const int flags = AT_STATX_DONT_SYNC | (follow ? 0 : AT_SYMLINK_NOFOLLOW);
    return StatusFrom(statx(folder, name, flags, kMask, &status), status);
}

TFileStatus StatusOf(int file) {
    struct statx status {};
    return StatusFrom(statx(file, "", AT_EMPTY_PATH | AT_STATX_DONT_SYNC, kMask, &status), status);
}

int OpenToRead(int folder, const char* name) {
    return openat(folder, name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

int OpenFolder(const std::string& path) {
    return open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

void CloseFile(int descriptor) {
    if (descriptor >= 0)
        close(descriptor);
}

TMappedFile::TMappedFile(int file, std::size_t size) {
    if (size == 0)
        return;
    void* data = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, file, 0);
    if (data == MAP_FAILED)
        return;
    data_ = static_cast<const unsigned char*>(data);
    size_ = size;
}

TMappedFile::~TMappedFile() {
    if (data_)
        munmap(const_cast<unsigned char*>(data_), size_);
}

} // namespace nomilo
