#pragma once

#include <dirent.h>
#include <memory>

namespace nomilo {

// An open directory stream, closed when the handle goes.
struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

inline DirHandle OpenDir(const char* path) { return DirHandle(opendir(path)); }

} // namespace nomilo
