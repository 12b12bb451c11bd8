#pragma once

#include <string>

namespace nomilo {

// A path as a folder handle and a name in that folder, for the system calls that take the two
// (openat, fstatat, readlinkat, ...), so that a call works whatever the path's length. A path
// shorter than PATH_MAX goes to the kernel as it is, relative to the current directory
// (AT_FDCWD); the folder of a longer one is opened a few of its parts at a time.
class TPathAt {
public:
    explicit TPathAt(const std::string& path);
    ~TPathAt();
    TPathAt(const TPathAt&) = delete;
    TPathAt& operator=(const TPathAt&) = delete;

    // False, with errno set, when the folder of a long path could not be opened.
    bool Valid() const { return valid_; }
    int Folder() const { return folder_; }
    const char* Name() const { return name_.c_str(); }

private:
    int folder_;
    bool valid_ = true;
    std::string name_;
};

// Opens `path`, of any length, with `flags` (O_CLOEXEC is added): a descriptor, or -1 with
// errno set.
int OpenPath(const std::string& path, int flags);

} // namespace nomilo
