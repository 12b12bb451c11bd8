#pragma once

#include "platform/files/FileIO.h"

#include <string>

namespace nomilo {

// Works in another folder for a while without moving the folder shown: the constructor enters
// `folder` (a path of any length), and the current directory goes back, by handle, to the one it
// was when the visit ends, even if that one was renamed or removed meanwhile. The visit is not
// recorded as its drive's current folder. Throws EInOutError when the folder cannot be entered,
// and then stays where it was.
class FolderVisit {
public:
    explicit FolderVisit(const std::string& folder);
    ~FolderVisit();
    FolderVisit(const FolderVisit&) = delete;
    FolderVisit& operator=(const FolderVisit&) = delete;

private:
    FileDescriptor previous_;
};

} // namespace nomilo
