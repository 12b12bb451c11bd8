#pragma once

#include "platform/files/FileIdentity.h"

#include <cstdint>
#include <string>

namespace nomilo {

// What the disk shows of a rename of the file `file` from `oldName` to `newName` in the current
// directory, a folder of `folder`: which of the two names is that very file. Another file under
// either name does not count as the file.
enum class MoveTrace {
    NotMoved,  // the old name is the file, the new one is not
    Moved,     // the new name is the file, the old one is not
    BothNames, // both names are the file: a rename by link and unlink cut short between the
               // two, or two links someone made
    Neither,   // neither name is the file
};
MoveTrace TraceMove(const std::string& oldName, const std::string& newName,
                    const FileIdentity& file, const FolderIdentity& folder);

// Finishes a rename by link and unlink that was cut short after the link: when `leftover` and
// `kept` are both the file `file`, one inode, and it has exactly one link more than
// `linksBefore`, the count it had before the link, the link is the rename's own and `leftover`
// goes. Answers whether it went. A link the user made, or a link that was refused because the
// user's own second name was there, leaves the count as it was and removes nothing.
bool RemoveLinkOfRename(const std::string& leftover, const std::string& kept,
                        const FileIdentity& file, std::uint32_t linksBefore,
                        const FolderIdentity& folder);

} // namespace nomilo
