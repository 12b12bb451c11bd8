#include "platform/files/MoveTrace.h"

#include <sys/stat.h>
#include <unistd.h>

namespace nomilo {

namespace {

bool LinkedPair(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && S_ISREG(a.st_mode) && a.st_nlink == 2;
}

} // namespace

MoveTrace TraceMove(const std::string& oldName, const std::string& newName) {
    struct stat oldStat, newStat;
    const bool oldThere = lstat(oldName.c_str(), &oldStat) == 0;
    const bool newThere = lstat(newName.c_str(), &newStat) == 0;
    if (oldThere && !newThere)
        return MoveTrace::NotMoved;
    if (newThere && !oldThere)
        return MoveTrace::Moved;
    if (oldThere && newThere && oldName != newName && LinkedPair(oldStat, newStat))
        return MoveTrace::BothNames;
    return MoveTrace::Unclear;
}

bool RemoveLeftoverLink(const std::string& leftover, const std::string& kept) {
    return TraceMove(leftover, kept) == MoveTrace::BothNames && unlink(leftover.c_str()) == 0;
}

} // namespace nomilo
