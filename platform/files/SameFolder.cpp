#include "platform/files/SameFolder.h"

#include <sys/stat.h>

namespace nomilo {

bool SameFolder(const std::string& a, const std::string& b) {
    if (a.find('\0') != std::string::npos || b.find('\0') != std::string::npos)
        return false;
    struct stat sa, sb;
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

} // namespace nomilo
