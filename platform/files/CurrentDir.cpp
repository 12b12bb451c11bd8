#include "platform/files/CurrentDir.h"

#include "platform/files/EInOutError.h"
#include "platform/files/FileAttributes.h"
#include "platform/files/ResponsiveCalls.h"
#include "platform/files/internal/PathAt.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace nomilo {

namespace {

// chdir for a path of any length: 0, or -1 with errno set.
int ChangeDir(const std::string& path) {
    if (path.size() < PATH_MAX)
        return chdir(path.c_str());
    const int folder = OpenPath(path, O_PATH | O_DIRECTORY);
    if (folder < 0)
        return -1;
    const int result = fchdir(folder);
    const int error = errno;
    close(folder);
    errno = error;
    return result;
}

} // namespace

std::string GetCurrentDir() {
    // glibc allocates a buffer as large as the path needs, beyond PATH_MAX too.
    std::unique_ptr<char, decltype(&std::free)> path(getcwd(nullptr, 0), &std::free);
    if (!path)
        throw EInOutError::FromErrno(errno);
    return path.get();
}

std::string CurrentDirOrHome() {
    try {
        return GetCurrentDir();
    } catch (const EInOutError&) {
    }
    const char* home = std::getenv("HOME");
    for (const char* folder : {home, "/"}) {
        if (!folder || !*folder || ChangeDir(folder) != 0)
            continue;
        try {
            return GetCurrentDir();
        } catch (const EInOutError&) {
        }
    }
    return "/";
}

void SetCurrentDir(const std::string& path) {
    // A NUL byte would cut the path short and enter some other folder.
    if (path.find('\0') != std::string::npos)
        throw EInOutError(3);
    // An empty path is no folder; chdir("") reports ENOENT, which says just that. A folder on
    // a server may keep the caller waiting: the window's thread does not wait itself.
    const int error = RunResponsively([path] { return ChangeDir(path) == 0 ? 0 : errno; });
    if (error != 0)
        throw EInOutError::FromErrno(error);
}

void ChangeCurrentDirFrom(const std::string& shown, const std::string& path) {
    if (!path.starts_with('/')) {
        if (FolderExists(shown))
            SetCurrentDir(shown);
        SetCurrentDir(path);
        return;
    }
    try {
        SetCurrentDir(path);
    } catch (const EInOutError&) {
        if (FolderExists(shown))
            SetCurrentDir(shown);
        throw;
    }
}

} // namespace nomilo
