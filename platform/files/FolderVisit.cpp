#include "platform/files/FolderVisit.h"

#include "platform/files/EInOutError.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <unistd.h>

namespace nomilo {

namespace {

// chdir for a path longer than the kernel takes in one call: "/" first for an absolute path,
// then pieces of it that end at a separator.
bool EnterPath(const std::string& path) {
    if (path.size() < PATH_MAX)
        return chdir(path.c_str()) == 0;
    std::size_t start = 0;
    if (path.starts_with('/')) {
        if (chdir("/") != 0)
            return false;
        start = 1;
    }
    while (start < path.size()) {
        std::size_t end = path.size();
        if (end - start >= PATH_MAX) {
            end = path.rfind('/', start + PATH_MAX - 1);
            if (end == std::string::npos || end <= start) {
                errno = ENAMETOOLONG; // one name longer than any path
                return false;
            }
        }
        if (chdir(path.substr(start, end - start).c_str()) != 0)
            return false;
        start = end + 1;
    }
    return true;
}

} // namespace

FolderVisit::FolderVisit(const std::string& folder)
    : previous_(open(".", O_PATH | O_DIRECTORY | O_CLOEXEC)) {
    if (!previous_.Valid())
        throw EInOutError::FromErrno(errno);
    if (folder.empty() || folder.find('\0') != std::string::npos)
        throw EInOutError(folder.empty() ? 2 : 3);
    if (!EnterPath(folder)) {
        const int error = errno;
        fchdir(previous_.Get()); // a long path may have been entered part of the way
        throw EInOutError::FromErrno(error);
    }
}

FolderVisit::~FolderVisit() {
    fchdir(previous_.Get());
}

} // namespace nomilo
