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
#include <unordered_set>

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

// The group of a name: the name without a " (N)" after it, which tells apart files that would
// otherwise have had one name.
std::string_view GroupOf(std::string_view name) {
    if (!name.ends_with(')'))
        return name;
    const std::size_t open = name.rfind(" (");
    if (open == std::string_view::npos || open + 3 >= name.size())
        return name;
    const std::string_view digits = name.substr(open + 2, name.size() - open - 3);
    const bool number = std::all_of(digits.begin(), digits.end(),
                                    [](char c) { return c >= '0' && c <= '9'; });
    return number ? name.substr(0, open) : name;
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
    // A folder whose names cannot be read has every wanted file looked at, and nothing deleted.
    const std::optional<std::vector<std::string>> names = FolderNames(path_);
    const int readError = errno;
    const std::vector<std::string> none;
    const std::vector<std::string>& listed = names ? *names : none;
    const std::unordered_set<std::string_view> present(listed.begin(), listed.end());
    std::unordered_set<std::string_view> wantedNames;
    std::unordered_set<std::string_view> amiss; // groups whose every name is looked at
    for (const File& file : wanted) {
        wantedNames.insert(file.name);
        if (file.changed || !present.contains(file.name))
            amiss.insert(GroupOf(file.name));
    }
    std::vector<std::string_view> unwanted; // names that may be files of ours no longer wanted
    for (const std::string& name : listed) {
        if (mayBeOurs_(name) && !wantedNames.contains(name)) {
            unwanted.push_back(name);
            amiss.insert(GroupOf(name));
        }
    }

    const auto looked = [&](const File& file) { return amiss.contains(GroupOf(file.name)); };
    if (std::any_of(wanted.begin(), wanted.end(), looked) && !MakeFolders(path_))
        return {FileFailure(path_, "could not be made", errno)};
    for (const File& file : wanted) {
        if (!looked(file))
            continue;
        const Existing existing = Inspect(file.name);
        const std::string path = path_ + "/" + file.name;
        if (existing.kind == Existing::Foreign)
            failures.push_back(FileFailure(path, "is not Nomilo's and was left as it is", 0));
        else if ((existing.kind == Existing::Missing || existing.content != file.content ||
                  existing.mode != mode_) &&
                 !ReplaceAtomically(path, file.content, mode_))
            failures.push_back(FileFailure(path, "could not be written", errno));
    }
    if (!names) {
        failures.push_back(FileFailure(path_, "could not be read", readError));
        return failures;
    }
    for (const std::string_view name : unwanted) {
        if (Inspect(std::string(name)).kind != Existing::Ours)
            continue;
        const std::string path = path_ + "/" + std::string(name);
        if (unlink(path.c_str()) != 0 && errno != ENOENT)
            failures.push_back(FileFailure(path, "could not be removed", errno));
    }
    return failures;
}

} // namespace nomilo
