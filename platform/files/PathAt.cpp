#include "platform/files/internal/PathAt.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>

namespace nomilo {

namespace {

// Well below PATH_MAX, so that each piece of a long path, with its NUL, is taken whole.
constexpr std::size_t kPieceLength = PATH_MAX - 96;

// The end of the piece of `path` that starts at `start`: as many whole parts as fit in
// kPieceLength, or one part alone when it is longer (the kernel refuses that part).
std::size_t PieceEnd(std::string_view path, std::size_t start) {
    if (path.size() - start <= kPieceLength)
        return path.size();
    const std::size_t fitting = path.rfind('/', start + kPieceLength);
    if (fitting != std::string_view::npos && fitting > start)
        return fitting;
    const std::size_t next = path.find('/', start);
    return next == std::string_view::npos ? path.size() : next;
}

// Opens the folder `folder` (any length; empty for the current directory) a piece at a time:
// a descriptor, AT_FDCWD for the current directory, or -1 with errno set.
int OpenFolderInPieces(std::string_view folder) {
    int base = AT_FDCWD;
    std::size_t start = 0;
    if (folder.starts_with('/')) {
        base = open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (base < 0)
            return -1;
        start = 1;
    }
    while (start < folder.size()) {
        const std::size_t end = PieceEnd(folder, start);
        const std::string piece(folder.substr(start, end - start));
        const int next = openat(base, piece.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        const int error = errno;
        if (base != AT_FDCWD)
            close(base);
        if (next < 0) {
            errno = error;
            return -1;
        }
        base = next;
        start = end + 1;
    }
    return base;
}

} // namespace

TPathAt::TPathAt(const std::string& path) : folder_(AT_FDCWD), name_(path) {
    if (path.size() < PATH_MAX)
        return;
    std::string_view folder = path;
    while (folder.size() > 1 && folder.ends_with('/'))
        folder.remove_suffix(1);
    const std::size_t slash = folder.rfind('/');
    if (slash == std::string_view::npos)
        return; // one name too long for any folder: the kernel says so
    name_ = std::string(folder.substr(slash + 1));
    folder_ = OpenFolderInPieces(folder.substr(0, slash == 0 ? 1 : slash));
    valid_ = folder_ != -1;
}

TPathAt::~TPathAt() {
    if (folder_ >= 0)
        close(folder_);
}

int OpenPath(const std::string& path, int flags) {
    const TPathAt at(path);
    return at.Valid() ? openat(at.Folder(), at.Name(), flags | O_CLOEXEC) : -1;
}

} // namespace nomilo
