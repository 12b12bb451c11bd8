#include "platform/files/DirListing.h"

#include "platform/files/DirHandle.h"
#include "platform/files/DirSearch.h"
#include "platform/files/ResponsiveCalls.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace nomilo {

namespace {

constexpr std::uint64_t kUnrenamable = STATX_ATTR_IMMUTABLE | STATX_ATTR_APPEND;

// Whether the process may act as the owner of any file (CAP_FOWNER), which lifts the rule of
// sticky folders.
bool MayActAsAnyOwner() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    if (syscall(SYS_capget, &header, data) != 0)
        return geteuid() == 0;
    return (data[CAP_FOWNER / 32].effective & (1u << (CAP_FOWNER % 32))) != 0;
}

// What the folder itself tells about renaming in it.
struct FolderRules {
    bool writable = true;
    bool ownersMatter = false;  // a sticky folder of another owner
    bool flagsPossible = false; // its file system keeps the immutable and append-only flags
};

FolderRules RulesOfFolder(int at) {
    FolderRules rules;
    rules.writable = faccessat(at, ".", W_OK | X_OK, 0) == 0;
    struct statx folder {};
    if (statx(at, ".", AT_STATX_DONT_SYNC, STATX_MODE | STATX_UID, &folder) != 0)
        return rules;
    // The kernel refuses to remove a name from an append-only folder, so to rename in it.
    if (folder.stx_attributes & STATX_ATTR_APPEND)
        rules.writable = false;
    rules.ownersMatter =
        (folder.stx_mode & S_ISVTX) && folder.stx_uid != geteuid() && !MayActAsAnyOwner();
    rules.flagsPossible = (folder.stx_attributes_mask & kUnrenamable) != 0;
    return rules;
}

// The per-name answers of the kernel, asked of each name with one statx.
std::vector<char> PinnedNames(int folder, const std::vector<std::string>& names,
                              const FolderRules& rules) {
    std::vector<char> pinned(names.size(), 0);
    bool any = false;
    const uid_t user = geteuid();
    for (std::size_t i = 0; i < names.size(); ++i) {
        struct statx st {};
        if (statx(folder, names[i].c_str(), AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC,
                  rules.ownersMatter ? STATX_UID : 0, &st) != 0)
            continue; // gone meanwhile: the rename will say so
        pinned[i] =
            (rules.ownersMatter && st.stx_uid != user) || (st.stx_attributes & kUnrenamable);
        any = any || pinned[i];
    }
    if (!any)
        pinned.clear();
    return pinned;
}

// The listing of the folder `at` (a descriptor, or AT_FDCWD) with its names read already.
DirListing ListFolderAt(int at, std::vector<std::string> names) {
    DirListing listing;
    listing.names = std::move(names);
    const long nameMax = at == AT_FDCWD ? pathconf(".", _PC_NAME_MAX) : fpathconf(at, _PC_NAME_MAX);
    if (nameMax > 0)
        listing.nameMax = static_cast<std::size_t>(nameMax);
    const FolderRules rules = RulesOfFolder(at);
    listing.writable = rules.writable;
    if (rules.writable && (rules.ownersMatter || rules.flagsPossible))
        listing.pinned = PinnedNames(at, listing.names, rules);
    return listing;
}

} // namespace

std::optional<std::vector<std::string>> ReadFolderNames(const std::string& folder) {
    const DirHandle dir = OpenDir(folder.c_str());
    if (!dir)
        return std::nullopt;
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir.get()))
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    return names;
}

int FolderReadError(const std::string& folder) {
    return OpenDir(folder.c_str()) ? 0 : errno;
}

DirListing ListCurrentDir(std::vector<std::string> names) {
    return ListFolderAt(AT_FDCWD, std::move(names));
}

std::optional<DirListing> ListFolder(const std::string& path) {
    const int at = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (at < 0)
        return std::nullopt;
    std::optional<std::vector<std::string>> names = ReadFolderNames(path);
    DirListing listing = ListFolderAt(at, names ? std::move(*names) : std::vector<std::string>());
    close(at);
    return listing;
}

DirListing ListFolderBelow(const std::string& path, int root) {
    const int fd = OpenFolderBelow(path, root);
    if (fd < 0)
        return {};
    // The stream takes a copy of the descriptor, which the rules and the flags are asked through.
    std::vector<std::string> names;
    const int copy = dup(fd);
    const DirHandle dir(copy >= 0 ? fdopendir(copy) : nullptr);
    if (!dir && copy >= 0)
        close(copy);
    while (const dirent* entry = dir ? readdir(dir.get()) : nullptr)
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    DirListing listing = ListFolderAt(fd, std::move(names));
    close(fd);
    return listing;
}

DirListing ListCurrentDir() {
    return RunResponsively([] {
        std::optional<std::vector<std::string>> names = ReadFolderNames(".");
        return ListCurrentDir(names ? std::move(*names) : std::vector<std::string>());
    });
}

} // namespace nomilo
