#pragma once

#include "platform/files/MoveFile.h"

#include <string>
#include <system_error>

namespace nomilo {

// Renames files of the current directory and of the folders below it by their paths in it
// ("2024/a.jpg" to "2024/b.jpg"; a bare name is a file of the current directory), as
// MoveFileRefusal renames bare names: never replacing a file. Both paths must lie in one folder,
// reached as OpenFolderBelow reaches it, through no link and no mount point, so that a link or a
// mount put in a folder's place is never gone through; a new name in another folder is refused
// (EINVAL), as a name with "/" is, and a folder that cannot be reached refuses with why (ENOENT,
// ELOOP, EXDEV). The folder of the last rename is kept open, so that the renames of one folder,
// which follow one another in a batch, open it once: one object serves one batch or undo, while
// the current directory stays where it is.
class TFolderMoves {
public:
    TFolderMoves() = default;
    ~TFolderMoves();
    TFolderMoves(const TFolderMoves&) = delete;
    TFolderMoves& operator=(const TFolderMoves&) = delete;

    std::error_code Move(const std::string& oldPath, const std::string& newPath,
                         IMoveWitness* witness = nullptr);

private:
    // The open folder `folder` (a path below the current directory); -1 with errno when it
    // cannot be reached.
    int Folder(std::string_view folder);

    std::string folder_; // the folder held open
    int fd_ = -1;
};

} // namespace nomilo
