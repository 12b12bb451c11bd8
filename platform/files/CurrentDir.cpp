#include "platform/files/CurrentDir.h"

#include "platform/files/EInOutError.h"
#include "platform/files/EnteredFolders.h"

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <unistd.h>

namespace nomilo {

std::string GetCurrentDir() {
    // glibc allocates a buffer as large as the path needs.
    std::unique_ptr<char, decltype(&std::free)> path(getcwd(nullptr, 0), &std::free);
    if (!path)
        throw EInOutError::FromErrno(errno);
    return path.get();
}

void SetCurrentDir(const std::string& path) {
    // A NUL byte would cut the path short and enter some other folder.
    if (path.find('\0') != std::string::npos)
        throw EInOutError(3);
    // An empty path is no folder; chdir("") reports ENOENT, which says just that.
    if (chdir(path.c_str()) != 0)
        throw EInOutError::FromErrno(errno);
    // The folder now entered becomes its drive's own current folder. The change has been made;
    // a folder whose absolute path cannot be told is just not recorded.
    try {
        RecordEnteredFolder(GetCurrentDir());
    } catch (const EInOutError&) {
    }
}

} // namespace nomilo
