#include "platform/files/FolderMoves.h"

#include "platform/files/DirSearch.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace nomilo {

namespace {

// Where the name of `path` begins: after its last "/", 0 for a bare name.
std::size_t NameStart(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? 0 : slash + 1;
}

} // namespace

TFolderMoves::~TFolderMoves() {
    if (fd_ >= 0)
        close(fd_);
}

int TFolderMoves::Folder(std::string_view folder) {
    if (fd_ < 0 || folder != folder_) {
        if (fd_ >= 0)
            close(fd_);
        folder_ = folder;
        fd_ = OpenFolderBelow(folder_);
    }
    return fd_;
}

std::error_code TFolderMoves::Move(const std::string& oldPath, const std::string& newPath,
                                   IMoveWitness* witness) {
    const std::size_t oldStart = NameStart(oldPath), newStart = NameStart(newPath);
    if (oldStart == 0 && newStart == 0)
        return MoveFileRefusal(oldPath, newPath, witness);
    // The folder part, "/" and all, is the same in both, or the rename would leave the folder.
    const std::string_view folder = std::string_view(oldPath).substr(0, oldStart);
    if (oldStart != newStart || !std::string_view(newPath).starts_with(folder) || oldStart < 2)
        return {EINVAL, std::generic_category()};
    const int fd = Folder(folder.substr(0, oldStart - 1));
    if (fd < 0)
        return {errno, std::generic_category()};
    return MoveFileRefusalAt(fd, oldPath.substr(oldStart), newPath.substr(newStart), witness);
}

} // namespace nomilo
