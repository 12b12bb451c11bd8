#pragma once

#include <string>

namespace nomilo {

// True when both paths exist and name one and the same folder or file (same device and inode,
// links followed). Relative paths are taken relative to the current directory.
bool SameFolder(const std::string& a, const std::string& b);

} // namespace nomilo
