#pragma once

#include <string>

namespace nomilo {

// What the disk shows of a rename of `oldName` to `newName` in the current directory.
enum class MoveTrace {
    NotMoved,  // the old name is there, the new one is not
    Moved,     // the new name is there, the old one is not
    BothNames, // one regular file under both names and no other: a rename by link and unlink
               // that was cut short between the two, or two links someone made
    Unclear,   // anything else: neither name, or two names for different files
};
MoveTrace TraceMove(const std::string& oldName, const std::string& newName);

// Finishes a rename by link and unlink that was cut short after the link: when `leftover` and
// `kept` name the same regular file, which has exactly these two links, removes `leftover`.
// Answers whether it did. Only a caller that knows this very rename was under way may call it:
// two links that someone made on purpose look just the same.
bool RemoveLeftoverLink(const std::string& leftover, const std::string& kept);

} // namespace nomilo
