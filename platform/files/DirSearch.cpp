#include "platform/files/DirSearch.h"

#include "platform/files/CurrentDir.h"
#include "platform/files/DirHandle.h"
#include "platform/files/EInOutError.h"
#include "platform/files/ResponsiveCalls.h"
#include "platform/files/internal/PathAt.h"
#include "platform/text/AsciiText.h"

#include <chrono>
#include <fcntl.h>
#include <linux/openat2.h>
#include <mutex>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>

namespace nomilo {

namespace {

// Length of the character that starts at `text[0]`: a whole UTF-8 sequence, or one byte where
// the bytes are not valid UTF-8.
std::size_t CharLength(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = lead < 0xC2 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 1;
    if (length > text.size())
        return 1;
    for (std::size_t i = 1; i < length; ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            return 1;
    return length;
}

// Wildcard match with the usual single backtracking point: on a mismatch after a "*", the star
// takes one more character of the name and the rest of the pattern is tried again.
bool WildcardMatch(std::string_view name, std::string_view pattern) {
    std::size_t n = 0, p = 0;
    std::size_t starPattern = std::string_view::npos, starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starPattern = ++p;
            starName = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            n += CharLength(name.substr(n));
        } else if (p < pattern.size() && AsciiLower(pattern[p]) == AsciiLower(name[n])) {
            ++p;
            ++n;
        } else if (starPattern != std::string_view::npos) {
            p = starPattern;
            starName += CharLength(name.substr(starName));
            n = starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

bool MatchesEverything(std::string_view pattern) {
    return pattern == "*" || pattern == "*.*";
}

} // namespace

bool MatchesMask(std::string_view name, std::string_view pattern) {
    if (pattern.empty() || pattern.find('/') != std::string_view::npos)
        return false;
    if (MatchesEverything(pattern) || WildcardMatch(name, pattern))
        return true;
    return pattern.ends_with(".*") && name.find('.') == std::string_view::npos &&
           WildcardMatch(name, pattern.substr(0, pattern.size() - 2));
}

void SearchCurrentDir(std::string_view pattern, std::uint32_t excluded, std::uint32_t wanted,
                      const FoundEntry& found, const TNetworkMounts& network) {
    SearchFolder(".", pattern, excluded, wanted, found, network);
}

// One reading of a folder, shared by the searches of one change of folder (TSharedFolderRead).
// The searches may run on threads of their own (RunResponsively), so it is filled under its
// lock and lives as long as a search holds it.
struct TSharedFolderRead::Reading {
    std::mutex lock;
    dev_t device = 0;
    ino_t inode = 0;
    bool read = false;
    std::string names;                // every name read, each ended by a 0 byte
    std::vector<unsigned char> types; // the d_type of each
};

namespace {

// An entry whose kind waits for a look through another mount.
struct HeldEntry {
    std::string name;
    std::uint32_t attributes;
    std::string lookedAt;
};

// An entry a search found, with its d_type as read.
using FoundTypedEntry =
    std::function<void(std::string_view name, std::uint32_t attributes, unsigned char type)>;

// Reads the open folder `fd` (whose absolute path is `absolute` where links must be kept out of
// the `network` mounts) and hands `found` each entry matching `pattern` that carries no bit of
// `excluded`, with its attributes (at least those `needed`); links whose end is being looked at
// through another mount come last. `shared` is the reading in force when the search was asked
// for, if any. Answers 0, or the errno of a read that failed.
int SearchOpenFolder(int fd, const std::string& absolute, const std::string& pattern,
                     std::uint32_t excluded, std::uint32_t needed, const TNetworkMounts& network,
                     const std::shared_ptr<TSharedFolderRead::Reading>& shared,
                     const FoundTypedEntry& found) {
    const DirHandle dir(fdopendir(fd));
    if (!dir) {
        const int error = errno;
        close(fd);
        return error;
    }
    // Links whose end is being looked at through another mount come last, once the looks have
    // answered or the time for them is up.
    std::vector<HeldEntry> held;
    std::vector<TLinkLook> looks;
    const auto consider = [&](std::string_view name, unsigned char type) {
        if (!MatchesMask(name, pattern))
            return;
        std::optional<TLinkLook> pending;
        const std::uint32_t attributes =
            EntryAttributes(fd, name.data(), type, needed, network, absolute, &pending);
        if (pending) {
            held.push_back({std::string(name), attributes, pending->path});
            looks.push_back(std::move(*pending));
        } else if (!(attributes & excluded)) {
            found(name, attributes, type);
        }
    };
    int error = 0;
    struct stat st;
    if (shared && fstat(fd, &st) == 0 && st.st_dev == shared->device &&
        st.st_ino == shared->inode) {
        const std::lock_guard guard(shared->lock);
        if (!shared->read) {
            while (const dirent* entry = readdir(dir.get())) {
                shared->names.append(entry->d_name);
                shared->names.push_back('\0');
                shared->types.push_back(entry->d_type);
            }
            shared->read = true;
        }
        const char* name = shared->names.data();
        for (const unsigned char type : shared->types) {
            const std::string_view entry(name);
            consider(entry, type);
            name += entry.size() + 1;
        }
    } else {
        // errno tells a failed read from the end only when nothing set it meanwhile.
        for (errno = 0; const dirent* entry = readdir(dir.get()); errno = 0)
            consider(entry->d_name, entry->d_type);
        error = errno;
    }
    if (!held.empty()) {
        WaitForLinkLooks(looks, std::chrono::steady_clock::now() + kLinkLookPatience);
        for (const HeldEntry& entry : held)
            if (const std::uint32_t attributes =
                    AnsweredAttributes(entry.attributes, entry.lookedAt);
                !(attributes & excluded))
                found(entry.name, attributes, DT_LNK);
    }
    return error;
}

// The search of SearchFolder, on whatever thread it runs: `shared` is the reading in force when
// it was asked for, if any.
void Search(const std::string& folder, const std::string& pattern, std::uint32_t excluded,
            std::uint32_t wanted, const TNetworkMounts& network,
            const std::shared_ptr<TSharedFolderRead::Reading>& shared, const FoundEntry& found) {
    const int fd = OpenPath(folder, O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return;
    // Links are followed from the folder's absolute path only where network mounts must be
    // kept out of the way.
    std::string absolute = folder;
    if (!network.empty() && !folder.starts_with('/')) {
        try {
            absolute = GetCurrentDir() + (folder == "." ? "" : "/" + folder);
        } catch (const EInOutError&) {
            close(fd);
            return; // the folder was removed: nothing to find
        }
    }
    SearchOpenFolder(fd, absolute, pattern, excluded, excluded | wanted, network, shared,
                     [&](std::string_view name, std::uint32_t attributes, unsigned char) {
                         found(name, attributes);
                     });
}

// Opens `path` below the folder `root` with openat2's rules, where the kernel has them.
int OpenBeneath(int root, const std::string& path) {
    open_how how{};
    how.flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_XDEV | RESOLVE_NO_MAGICLINKS;
    return static_cast<int>(syscall(SYS_openat2, root, path.c_str(), &how, sizeof how));
}

// The same a part at a time, for a kernel without openat2: no part may be a link, and each must
// lie on the file system of the one above it (a bind mount of the same file system passes).
int OpenBeneathByParts(int root, const std::string& path) {
    int folder = openat(root, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat above;
    if (folder < 0 || fstat(folder, &above) != 0)
        return -1;
    for (std::size_t start = 0; start < path.size();) {
        const std::size_t slash = std::min(path.find('/', start), path.size());
        const std::string part = path.substr(start, slash - start);
        const int next =
            part.empty() || part == "." || part == ".."
                ? (errno = EINVAL, -1)
                : openat(folder, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int error = errno;
        close(folder);
        struct stat below;
        if (next < 0 || fstat(next, &below) != 0 || below.st_dev != above.st_dev) {
            if (next >= 0)
                close(next);
            errno = next < 0 ? error : EXDEV;
            return -1;
        }
        folder = next;
        start = slash + 1;
    }
    return folder;
}

} // namespace

int OpenFolderBelow(const std::string& path, int root) {
    if (path.empty())
        return openat(root, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (path.find('\0') != std::string::npos || path.starts_with('/')) {
        errno = EINVAL;
        return -1;
    }
    const int fd = OpenBeneath(root, path);
    if (fd >= 0 || errno != ENOSYS)
        return fd;
    return OpenBeneathByParts(root, path);
}

TTreeReader::TTreeReader(TNetworkMounts network)
    : root_(OpenFolderBelow("")), network_(std::move(network)) {
    if (!network_.empty()) {
        try {
            rootPath_ = GetCurrentDir();
        } catch (const EInOutError&) {
            network_.clear(); // the folder went: what is left of it has no path to look at
        }
    }
}

TTreeReader::~TTreeReader() {
    if (root_ >= 0)
        close(root_);
}

int TTreeReader::Read(const std::string& path, std::uint32_t wanted,
                      const FolderBelowItem& item) const {
    if (root_ < 0)
        return errno = ENOENT;
    const int fd = OpenFolderBelow(path, root_);
    if (fd < 0)
        return errno;
    const std::string absolute =
        network_.empty() || path.empty() ? rootPath_ : rootPath_ + '/' + path;
    return SearchOpenFolder(
        fd, absolute, "*", 0, wanted | faDirectory, network_, nullptr,
        [&](std::string_view name, std::uint32_t attributes, unsigned char type) {
            if (name == "." || name == "..")
                return;
            bool subfolder = type == DT_DIR;
            if (type == DT_UNKNOWN) {
                struct stat st;
                subfolder = fstatat(fd, std::string(name).c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                            S_ISDIR(st.st_mode);
            }
            item(name, attributes, subfolder);
        });
}

void SearchFolder(const std::string& folder, std::string_view pattern, std::uint32_t excluded,
                  std::uint32_t wanted, const FoundEntry& found, const TNetworkMounts& network) {
    if (pattern.empty() || pattern.find('/') != std::string_view::npos ||
        folder.find('\0') != std::string::npos)
        return;
    std::shared_ptr<TSharedFolderRead::Reading> shared =
        TSharedFolderRead::active_ ? TSharedFolderRead::active_->reading_ : nullptr;
    if (!internal::HasCallWaiter()) {
        Search(folder, std::string(pattern), excluded, wanted, network, shared, found);
        return;
    }
    // On the window's thread the search runs on a thread of its own, which may wait on the
    // folder's server; what it found is handed to `found` here.
    struct Found {
        std::string names; // each ended by a 0 byte
        std::vector<std::uint32_t> attributes;
    };
    const Found all = RunResponsively(
        [folder, pattern = std::string(pattern), excluded, wanted, network, shared]() -> Found {
            Found collected;
            Search(folder, pattern, excluded, wanted, network, shared,
                   [&](std::string_view name, std::uint32_t attributes) {
                       collected.names.append(name);
                       collected.names.push_back('\0');
                       collected.attributes.push_back(attributes);
                   });
            return collected;
        });
    const char* name = all.names.data();
    for (const std::uint32_t attributes : all.attributes) {
        const std::string_view entry(name);
        found(entry, attributes);
        name += entry.size() + 1;
    }
}

TSharedFolderRead::TSharedFolderRead(const std::string& folder)
    : reading_(std::make_shared<Reading>()) {
    const std::optional<std::pair<dev_t, ino_t>> identity =
        RunResponsively([folder]() -> std::optional<std::pair<dev_t, ino_t>> {
            struct stat st;
            const TPathAt at(folder);
            if (!at.Valid() || fstatat(at.Folder(), at.Name(), &st, 0) != 0)
                return std::nullopt;
            return std::pair(st.st_dev, st.st_ino);
        });
    if (identity) {
        reading_->device = identity->first;
        reading_->inode = identity->second;
    }
    active_ = identity ? this : nullptr;
}

TSharedFolderRead::~TSharedFolderRead() {
    if (active_ == this)
        active_ = nullptr;
}

void TSharedFolderRead::EndSharing() {
    // A search still at work keeps the reading it holds; the one in force is let go.
    if (TSharedFolderRead* shared = std::exchange(active_, nullptr))
        shared->reading_.reset();
}

} // namespace nomilo
