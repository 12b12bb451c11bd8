#include "platform/files/FileAttributes.h"

#include "platform/files/FileIO.h"
#include "platform/files/LinkLooks.h"
#include "platform/files/ResponsiveCalls.h"
#include "platform/files/internal/PathAt.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace nomilo {

namespace {

// As many links as the kernel follows in one path before it gives up (ELOOP).
constexpr int kMaxLinks = 40;

bool StatAt(const std::string& path, struct stat& st, int flags) {
    if (path.find('\0') != std::string::npos)
        return false;
    const TPathAt at(path);
    return at.Valid() && fstatat(at.Folder(), at.Name(), &st, flags) == 0;
}

unsigned char TypeOfMode(mode_t mode) {
    if (S_ISDIR(mode))
        return DT_DIR;
    if (S_ISREG(mode))
        return DT_REG;
    if (S_ISLNK(mode))
        return DT_LNK;
    return S_ISFIFO(mode) ? DT_FIFO : S_ISSOCK(mode) ? DT_SOCK : DT_CHR;
}

// The target of the link `name` in `dirFd`.
std::optional<std::string> ReadLinkAt(int dirFd, const char* name) {
    std::string target(256, '\0');
    for (;;) {
        const ssize_t length = readlinkat(dirFd, name, target.data(), target.size());
        if (length < 0)
            return std::nullopt;
        if (static_cast<std::size_t>(length) < target.size()) {
            target.resize(static_cast<std::size_t>(length));
            return target;
        }
        target.resize(target.size() * 2);
    }
}

// Puts the parts of `path` on `pending`, the first part on top.
void PushParts(std::string_view path, std::vector<std::string>& pending) {
    const std::size_t first = pending.size();
    for (std::size_t start = 0;;) {
        const std::size_t slash = path.find('/', start);
        pending.emplace_back(path.substr(start, slash - start));
        if (slash == std::string_view::npos)
            break;
        start = slash + 1;
    }
    std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(first), pending.end());
}

bool IsOnMount(std::string_view path, const std::string& mount) {
    return path.starts_with(mount) &&
           (path.size() == mount.size() || path[mount.size()] == '/' || mount == "/");
}

// The mount of `mounts` that holds `path`: the deepest.
std::string MountOf(std::string_view path, const TNetworkMounts& mounts) {
    std::string deepest;
    for (const std::string& mount : mounts)
        if (mount.size() > deepest.size() && IsOnMount(path, mount))
            deepest = mount;
    return deepest;
}

// `at` followed by the parts still `pending` (the next one last), as one path.
std::string JoinPending(std::string at, const std::vector<std::string>& pending) {
    for (auto part = pending.rbegin(); part != pending.rend(); ++part)
        at.append("/").append(*part);
    return at;
}

// Where a link leads: the mode of its end (0 when it leads nowhere), or, for a link onto a
// network mount, the look at the rest of the way that must be made there.
struct LinkEnding {
    mode_t mode = 0;
    std::optional<TLinkLook> remote;
};

// Where the link `name` of the folder `folder` (absolute, open as `dirFd`) leads, followed one
// part at a time as the kernel would, but stopping before any path on a network mount.
LinkEnding LinkEnd(int dirFd, const char* name, const std::string& folder,
                   const TNetworkMounts& network) {
    const auto onto = [&](const std::string& path) {
        return LinkEnding{0, TLinkLook{MountOf(path, network), path}};
    };
    const std::optional<std::string> target = ReadLinkAt(dirFd, name);
    if (!target)
        return {};
    std::string at = target->starts_with('/') ? "/" : folder;
    std::vector<std::string> pending;
    PushParts(*target, pending);
    int links = 0;
    while (!pending.empty()) {
        const std::string part = std::move(pending.back());
        pending.pop_back();
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            at = ParentOf(at); // `at` holds no links, so its parent is the folder above it
            continue;
        }
        std::string next = at == "/" ? "/" + part : at + "/" + part;
        if (IsOnNetworkMount(next, network))
            return onto(JoinPending(std::move(next), pending));
        struct stat st;
        if (!StatAt(next, st, AT_SYMLINK_NOFOLLOW))
            return {};
        if (S_ISLNK(st.st_mode)) {
            const TPathAt link(next);
            if (++links > kMaxLinks || !link.Valid())
                return {};
            const std::optional<std::string> more = ReadLinkAt(link.Folder(), link.Name());
            if (!more)
                return {};
            if (more->starts_with('/'))
                at = "/";
            PushParts(*more, pending);
            continue;
        }
        if (!S_ISDIR(st.st_mode) && !pending.empty())
            return {}; // a file in the middle of a path
        at = std::move(next);
    }
    if (IsOnNetworkMount(at, network))
        return onto(at);
    struct stat st;
    return {StatAt(at, st, AT_SYMLINK_NOFOLLOW) ? st.st_mode : 0, std::nullopt};
}

// The kind an answer of a look makes of a link: a folder until it says otherwise.
unsigned char TypeOfAnswer(const std::optional<TLinkEndAnswer>& answer) {
    return answer == TLinkEndAnswer::File || answer == TLinkEndAnswer::Nothing ? DT_REG : DT_DIR;
}

// The kind of a directory entry in the terms of d_type, following a link to what it names; a
// dangling link counts as a file. `intoNetwork` is set for a link onto a network mount: its
// kind is what the last look there answered, a folder until one has; `pending` (when given)
// gets the look when none has answered yet.
unsigned char ResolvedType(int dirFd, const char* name, unsigned char dType,
                           const TNetworkMounts& network, const std::string& folder,
                           bool& intoNetwork, std::optional<TLinkLook>* pending) {
    if (dType != DT_LNK && dType != DT_UNKNOWN)
        return dType;
    struct stat st;
    if (!network.empty()) {
        if (dType == DT_UNKNOWN) {
            if (fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                return DT_UNKNOWN;
            if (!S_ISLNK(st.st_mode))
                return TypeOfMode(st.st_mode);
        }
        const LinkEnding end = LinkEnd(dirFd, name, folder, network);
        intoNetwork = end.remote.has_value();
        if (end.remote) {
            const std::optional<TLinkEndAnswer> answer = LookAtLinkEnd(*end.remote, folder);
            if (!answer && pending)
                *pending = *end.remote;
            return TypeOfAnswer(answer);
        }
        // A link to a device or FIFO is still a name one can rename.
        return S_ISDIR(end.mode) ? DT_DIR : DT_REG;
    }
    if (fstatat(dirFd, name, &st, 0) != 0)
        return dType == DT_LNK ? DT_REG : DT_UNKNOWN;
    if (dType == DT_LNK)
        return S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
    return TypeOfMode(st.st_mode);
}

bool IsSearchEntry(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

} // namespace

std::uint32_t AnsweredAttributes(std::uint32_t attributes, const std::string& path) {
    if (TypeOfAnswer(LinkEndAnswer(path)) == DT_DIR)
        return attributes;
    return (attributes & ~faDirectory) | faArchive;
}

bool IsOnNetworkMount(std::string_view path, const TNetworkMounts& mounts) {
    return std::any_of(mounts.begin(), mounts.end(),
                       [&](const std::string& mount) { return IsOnMount(path, mount); });
}

bool FolderExists(const std::string& path) {
    return RunResponsively([path] {
        struct stat st;
        return StatAt(path, st, 0) && S_ISDIR(st.st_mode);
    });
}

bool FileExists(const std::string& path) {
    return RunResponsively([path] {
        struct stat st;
        return StatAt(path, st, AT_SYMLINK_NOFOLLOW) && !FolderExists(path);
    });
}

std::uint32_t EntryAttributes(int dirFd, const char* name, unsigned char dType,
                              std::uint32_t wanted, const TNetworkMounts& network,
                              const std::string& folder, std::optional<TLinkLook>* pending) {
    std::uint32_t attributes = 0;
    // "." and ".." are the folder itself and its parent, not hidden files.
    if (name[0] == '.' && !IsSearchEntry(name))
        attributes |= faHidden;
    bool intoNetwork = false;
    switch (ResolvedType(dirFd, name, dType, network, folder, intoNetwork, pending)) {
    case DT_DIR: attributes |= faDirectory; break;
    case DT_REG: attributes |= faArchive; break;
    case DT_UNKNOWN: break;
    default: attributes |= faSysFile; break;
    }
    if ((wanted & faReadOnly) && !intoNetwork && faccessat(dirFd, name, W_OK, 0) != 0)
        attributes |= faReadOnly;
    return attributes;
}

} // namespace nomilo
