#pragma once

#include "platform/drives/Drives.h"

#include <string>
#include <vector>

namespace nomilo {

// A target the folder list is asked to open, resolved.
struct TTargetParts {
    std::string letter;     // the drive (mount point) of the folder the target leads to
    std::string folderPart; // that folder, as an absolute path
    std::string filePart;   // the file or wildcard pattern the target named in it, or empty
};

// Resolves `text` the way the folder list opens it: a folder gives that folder (also when its
// name holds "*" or "?"); a file or a wildcard pattern gives the folder that holds it; a relative
// text is taken from the process's current directory; a trailing separator is ignored; "[name]" is
// the bare name `name`. Drives are among `drives`.
//
// Each folder on the way is entered to check it, and the process's current directory is
// changed back afterwards, also when an error passes. Throws EInOutError when a folder on the
// way cannot be entered ("File not found" for a missing one).
TTargetParts SplitTargetPath(const std::string& text, const std::vector<TDrive>& drives);

} // namespace nomilo
