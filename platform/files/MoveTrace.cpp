#include "platform/files/MoveTrace.h"

#include <unistd.h>

namespace nomilo {

namespace {

bool Is(const std::string& name, const FileIdentity& file, const FolderIdentity& folder) {
    const auto now = IdentityOf(name);
    return now && IsSameFile(file, *now, folder);
}

} // namespace

MoveTrace TraceMove(const std::string& oldName, const std::string& newName,
                    const FileIdentity& file, const FolderIdentity& folder) {
    const bool oldIsFile = Is(oldName, file, folder);
    const bool newIsFile = oldName != newName && Is(newName, file, folder);
    if (oldIsFile)
        return newIsFile ? MoveTrace::BothNames : MoveTrace::NotMoved;
    return newIsFile ? MoveTrace::Moved : MoveTrace::Neither;
}

bool RemoveLinkOfRename(const std::string& leftover, const std::string& kept,
                        const FileIdentity& file, std::uint32_t linksBefore,
                        const FolderIdentity& folder) {
    const auto left = IdentityOf(leftover);
    const auto kept_ = IdentityOf(kept);
    if (!left || !kept_ || leftover == kept || !IsSameFile(file, *left, folder) ||
        left->inode != kept_->inode ||
        left->links != linksBefore + 1)
        return false;
    return unlink(leftover.c_str()) == 0;
}

} // namespace nomilo
