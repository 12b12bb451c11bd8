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

// Makes `path` the current directory as a control that shows the folder `shown` changes folder:
// `shown`, when it exists as a folder, is entered first, so that a relative path is taken from
// it and a refused path leaves the current directory there. An absolute path is entered without
// that look, which may wait for ever on a server that no longer answers; `shown` is entered
// only when the path is refused. Throws EInOutError as SetCurrentDir.
void ChangeCurrentDirFrom(const std::string& shown, const std::string& path);

} // namespace nomilo
