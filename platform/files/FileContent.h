#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace nomilo {

// What statx tells of a file, for reading its data and knowing it again.
struct TFileStatus {
    int error = 0; // 0: the other fields are valid
    std::uint32_t mode = 0;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t changed = 0;  // the status change time, nanoseconds since the epoch
    std::int64_t modified = 0; // seconds since the epoch
    std::int64_t born = 0;     // seconds since the epoch, where hasBirth
    bool hasBirth = false;     // the file system records when the file was made
    bool Regular() const;
    bool Link() const;
};

// The status of `name` in the folder `folder` (a descriptor), the entry itself when `follow` is
// false. Cached attributes are taken where a network file system has them.
TFileStatus StatusAt(int folder, const char* name, bool follow);
// The status of an open file.
TFileStatus StatusOf(int file);

// Opens `name` in `folder` for reading without waiting: a FIFO or a device opens at once (and
// is then no regular file to read). Answers the descriptor, or -1 with errno set.
int OpenToRead(int folder, const char* name);
// Opens a folder as a descriptor for the *At calls; -1 with errno set.
int OpenFolder(const std::string& path);
// Closes a descriptor OpenToRead or OpenFolder gave.
void CloseFile(int descriptor);

// A regular file's bytes mapped into memory, read only as they are touched.
class TMappedFile {
public:
    TMappedFile(int file, std::size_t size);
    ~TMappedFile();
    TMappedFile(const TMappedFile&) = delete;
    TMappedFile& operator=(const TMappedFile&) = delete;
    // nullptr when it could not be mapped (an empty file among others).
    const unsigned char* Data() const { return data_; }
    std::size_t Size() const { return size_; }

private:
    const unsigned char* data_ = nullptr;
    std::size_t size_ = 0;
};

} // namespace nomilo
