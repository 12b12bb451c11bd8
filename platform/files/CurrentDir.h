#pragma once

#include <string>

namespace nomilo {

// The process's current directory, as an absolute path of any length.
std::string GetCurrentDir();

// Makes `path` (absolute, or relative to the current directory) the process's current
// directory. Throws EInOutError with the code for the kernel's refusal; on refusal the current
// directory is unchanged. On success the folder is recorded as its drive's own current folder
// (EnteredFolders.h).
void SetCurrentDir(const std::string& path);

} // namespace nomilo
