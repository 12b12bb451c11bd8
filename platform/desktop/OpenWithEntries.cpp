#include "platform/desktop/internal/OpenWithEntries.h"

#include "platform/desktop/internal/FolderEntryTexts.h"
#include "platform/desktop/internal/GeneratedFolder.h"
#include "platform/files/FileIO.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace nomilo {

namespace {

constexpr std::string_view kSuffix = ".desktop";
// A user's cache lists every installed application: a few hundred kilobytes at most.
constexpr std::size_t kLargestCache = 16 * 1024 * 1024;

// Whether `name` is an entry an earlier version published that is no longer in `folder`.
bool GoneEntry(const std::string& folder, std::string_view name) {
    if (!IsFolderVerbFileName(name, kSuffix))
        return false;
    struct stat st {};
    return lstat((folder + "/" + std::string(name)).c_str(), &st) != 0 && errno == ENOENT;
}

// The names of one "mime=name;name;" line of the cache of `folder` without the gone ones;
// std::nullopt when none is left.
std::optional<std::string> PrunedLine(std::string_view line, const std::string& folder) {
    const std::size_t equals = line.find('=');
    if (line.empty() || line.front() == '[' || line.front() == '#' ||
        equals == std::string_view::npos)
        return std::string(line);
    std::string kept;
    std::string_view names = line.substr(equals + 1);
    while (!names.empty()) {
        const std::size_t end = std::min(names.find(';'), names.size());
        const std::string_view name = names.substr(0, end);
        if (!name.empty() && !GoneEntry(folder, name))
            kept += std::string(name) + ";";
        names.remove_prefix(std::min(end + 1, names.size()));
    }
    if (kept.empty())
        return std::nullopt;
    return std::string(line.substr(0, equals + 1)) + kept;
}

// The text of the mimeinfo.cache of `folder` without the names of gone entries; a line left
// with no name goes.
std::string WithoutGoneEntries(std::string_view cache, const std::string& folder) {
    std::string result;
    while (!cache.empty()) {
        const std::size_t end = cache.find('\n');
        const std::string_view line = cache.substr(0, end);
        cache.remove_prefix(end == std::string_view::npos ? cache.size() : end + 1);
        // A line that mentions none of ours keeps its bytes.
        const bool ours = line.find("nomilo-folder-") != std::string_view::npos;
        const std::optional<std::string> kept =
            ours ? PrunedLine(line, folder) : std::string(line);
        if (kept)
            result += *kept + (end == std::string_view::npos ? "" : "\n");
    }
    return result;
}

} // namespace

std::vector<std::string> RemoveOpenWithEntries(const std::string& folder) {
    const GeneratedFolder entries(folder, std::string(kGeneratedMarker), 0644,
                                  [](std::string_view name) {
                                      return IsFolderVerbFileName(name, kSuffix);
                                  });
    std::vector<std::string> failures = entries.Sync({});

    const std::string cache = folder + "/mimeinfo.cache";
    FileDescriptor fd(open(cache.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid()) {
        if (errno != ENOENT)
            failures.push_back(FileFailure(cache, "could not be read", errno));
        return failures;
    }
    struct stat st {};
    const std::optional<std::string> text =
        fstat(fd.Get(), &st) == 0 && S_ISREG(st.st_mode) ? ReadAll(fd.Get(), kLargestCache)
                                                         : std::nullopt;
    if (!text) {
        failures.push_back(FileFailure(cache, "could not be read", errno));
        return failures;
    }
    const std::string pruned = WithoutGoneEntries(*text, folder);
    if (pruned != *text && !ReplaceAtomically(cache, pruned, st.st_mode & 07777))
        failures.push_back(FileFailure(cache, "could not be written", errno));
    return failures;
}

} // namespace nomilo
