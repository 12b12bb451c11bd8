#pragma once

#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace nomilo {

// An open file descriptor, closed when it goes.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }

private:
    int fd_;
};

// The folder part of `path` ("." for a bare name, "/" for a file in the root).
std::string ParentOf(const std::string& path);

// Creates `folder` and every missing folder above it, private to the user as the XDG base
// folders ask; true when it is a folder afterwards.
bool MakeFolders(const std::string& folder);

// Everything `fd` still has to read; std::nullopt (with errno set) on a read error, or when
// there is more than `limit` bytes.
std::optional<std::string> ReadAll(int fd,
                                   std::size_t limit = std::numeric_limits<std::size_t>::max());

// Whether everything `fd` holds from its start is `text`, read piece by piece: no copy of the
// file is made. False also on a read error.
bool HoldsExactly(int fd, std::string_view text);

// Writes all of `text` to `fd`.
bool WriteAll(int fd, std::string_view text);

// Flushes the folder's entries to disk, so that a rename in it survives a crash.
void SyncFolder(const std::string& folder);

// Replaces the file `target` with `text` so that a reader sees the old or the new content,
// never half of it: a hidden temporary file beside it is written, flushed, given `mode` and
// renamed over it.
bool ReplaceAtomically(const std::string& target, std::string_view text, mode_t mode);

// The mkostemp template of a hidden temporary file beside `target`: "FOLDER/.NAME.XXXXXX", the
// names RemoveStaleTemporaries knows.
std::string TemporaryTemplate(const std::string& target);

// Removes the temporary files that ReplaceAtomically leaves beside `target` when the process is
// killed while writing. Only where no other writer of `target` can be at work, under its lock.
void RemoveStaleTemporaries(const std::string& target);

} // namespace nomilo
