#pragma once

#include <string>

namespace nomilo {

// The process's current directory, as an absolute path of any length.
std::string GetCurrentDir();

// The process's current directory, for a control that starts on it. When it cannot be told
// (the folder was removed while the process was in it), the home folder ($HOME) is entered
// instead, else "/", and that is answered. Never throws.
std::string CurrentDirOrHome();

// Makes `path` (absolute, or relative to the current directory; of any length) the process's
// current directory. Throws EInOutError with the code for the kernel's refusal; on refusal the
// current directory is unchanged.
void SetCurrentDir(const std::string& path);

} // namespace nomilo
