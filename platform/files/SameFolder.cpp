#include "platform/files/SameFolder.h"

#include "platform/files/ResponsiveCalls.h"
#include "platform/files/internal/PathAt.h"

#include <sys/stat.h>

namespace nomilo {

namespace {

bool StatOf(const std::string& path, struct stat& st) {
    const TPathAt at(path);
    return path.find('\0') == std::string::npos && at.Valid() &&
           fstatat(at.Folder(), at.Name(), &st, 0) == 0;
}

} // namespace

bool SameFolder(const std::string& a, const std::string& b) {
    return RunResponsively([a, b] {
        struct stat sa, sb;
        return StatOf(a, sa) && StatOf(b, sb) && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    });
}

} // namespace nomilo
