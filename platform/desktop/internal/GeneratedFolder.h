#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace nomilo {

// A folder in which the publisher keeps files of its own among the user's. A file is ours when
// it is a regular file (not a link) of at most 64 KiB whose name may be ours and which holds the
// marker line; only such files are ever replaced or deleted, and every other file is left as it
// is. Files are written to a hidden temporary file beside them and renamed into place.
class GeneratedFolder {
public:
    struct File {
        std::string name;
        std::string content;
        // False when what the file is made from has not changed since it was last written:
        // the file is then looked at only where the folder's names tell that something may
        // be amiss (see Sync).
        bool changed = true;
    };

    // `mayBeOurs` says which names the folder's own files can have; a file is then ours when it
    // holds `marker` as a whole line. The files written get `mode`.
    GeneratedFolder(std::string path, std::string marker, mode_t mode,
                    std::function<bool(std::string_view name)> mayBeOurs);

    const std::string& Path() const { return path_; }

    // Writes every file of `wanted` that is missing or differs, and deletes every other file of
    // ours. The folder is made when something is to be written. Answers what could not be done,
    // one text for each file or for the folder, empty when the folder is as it should be.
    //
    // Files that did not change are taken as they are, unless something near them is amiss:
    // the names of a group ("Name", "Name (2)", "Name (3)", ...) are all looked at when one of
    // them changed, is missing, or is a name of ours that is no longer wanted, since a change
    // of one can move the others' names.
    std::vector<std::string> Sync(const std::vector<File>& wanted) const;

private:
    struct Existing;
    Existing Inspect(const std::string& name) const;

    std::string path_;
    std::string marker_;
    mode_t mode_;
    std::function<bool(std::string_view)> mayBeOurs_;
};

// The failure text for `path` and the error `error` (an errno value): "PATH: what happened".
std::string FileFailure(const std::string& path, const std::string& what, int error);

} // namespace nomilo
