#include "platform/desktop/internal/GeneratedFolder.h"

#include "platform/files/DirListing.h"
#include "platform/files/FileIO.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace nomilo {

namespace {

// A generated file is a few hundred bytes; a larger one is not ours.
constexpr off_t kLargestGenerated = 64 * 1024;

// The names in `folder`; an absent folder is empty, one that cannot be read std::nullopt.
std::optional<std::vector<std::string>> FolderNames(const std::string& folder) {
    std::optional<std::vector<std::string>> names = ReadFolderNames(folder);
    if (!names && errno == ENOENT)
        return std::vector<std::string>{};
    return names;
}

} // namespace

std::string FileFailure(const std::string& path, const std::string& what, int error) {
    std::string text = path + " " + what;
    if (error != 0)
        text += std::string(" (") + std::strerror(error) + ")";
    return text;
}

// What lies at the path of a file the folder may write.
struct GeneratedFolder::Existing {
    enum Kind { Missing, Ours, Foreign } kind = Missing;
    std::string content; // of a file of ours
    mode_t mode = 0;
};

GeneratedFolder::GeneratedFolder(std::string path, std::string marker, mode_t mode,
                                 std::function<bool(std::string_view)> mayBeOurs)
    : path_(std::move(path)), marker_("\n" + std::move(marker) + "\n"), mode_(mode),
      mayBeOurs_(std::move(mayBeOurs)) {}

// Whatever cannot be looked at is someone else's; O_NONBLOCK keeps a FIFO from stopping us.
GeneratedFolder::Existing GeneratedFolder::Inspect(const std::string& name) const {
    Existing found;
    const std::string path = path_ + "/" + name;
    FileDescriptor fd(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid()) {
        found.kind = errno == ENOENT ? Existing::Missing : Existing::Foreign;
        return found;
    }
    found.kind = Existing::Foreign;
    struct stat st {};
    if (!mayBeOurs_(name) || fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        st.st_size > kLargestGenerated)
        return found;
    auto text = ReadAll(fd.Get(), static_cast<std::size_t>(kLargestGenerated));
    if (!text || text->find(marker_) == std::string::npos)
        return found;
    found.kind = Existing::Ours;
    found.content = std::move(*text);
    found.mode = st.st_mode & 07777;
    return found;
}

std::vector<std::string> GeneratedFolder::Sync(const std::vector<File>& wanted) const {
    std::vector<std::string> failures;
    if (!wanted.empty() && !MakeFolders(path_))
        return {FileFailure(path_, "could not be made", errno)};
    for (const File& file : wanted) {
        const Existing existing = Inspect(file.name);
        const std::string path = path_ + "/" + file.name;
        if (existing.kind == Existing::Foreign)
            failures.push_back(FileFailure(path, "is not Nomilo's and was left as it is", 0));
        else if ((existing.kind == Existing::Missing || existing.content != file.content ||
                  existing.mode != mode_) &&
                 !ReplaceAtomically(path, file.content, mode_))
            failures.push_back(FileFailure(path, "could not be written", errno));
    }
    const std::optional<std::vector<std::string>> names = FolderNames(path_);
    if (!names) {
        failures.push_back(FileFailure(path_, "could not be read", errno));
        return failures;
    }
    for (const std::string& name : *names) {
        if (!mayBeOurs_(name) ||
            std::any_of(wanted.begin(), wanted.end(),
                        [&](const File& file) { return file.name == name; }) ||
            Inspect(name).kind != Existing::Ours)
            continue;
        const std::string path = path_ + "/" + name;
        if (unlink(path.c_str()) != 0 && errno != ENOENT)
            failures.push_back(FileFailure(path, "could not be removed", errno));
    }
    return failures;
}

} // namespace nomilo
