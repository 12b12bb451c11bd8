#include "platform/files/DirSearch.h"

#include "platform/files/CurrentDir.h"
#include "platform/files/DirHandle.h"
#include "platform/files/EInOutError.h"
#include "platform/files/ResponsiveCalls.h"
#include "platform/files/internal/PathAt.h"
#include "platform/text/AsciiText.h"

#include <chrono>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
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

// The search of SearchFolder, on whatever thread it runs: `shared` is the reading in force when
// it was asked for, if any.
void Search(const std::string& folder, const std::string& pattern, std::uint32_t excluded,
            std::uint32_t wanted, const TNetworkMounts& network,
            const std::shared_ptr<TSharedFolderRead::Reading>& shared, const FoundEntry& found) {
    const int fd = OpenPath(folder, O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return;
    const DirHandle dir(fdopendir(fd));
    if (!dir) {
        close(fd);
        return;
    }
    // Links are followed from the folder's absolute path only where network mounts must be
    // kept out of the way.
    std::string absolute = folder;
    if (!network.empty() && !folder.starts_with('/')) {
        try {
            absolute = GetCurrentDir() + (folder == "." ? "" : "/" + folder);
        } catch (const EInOutError&) {
            return; // the folder was removed: nothing to find
        }
    }
    const std::uint32_t needed = excluded | wanted;
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
            found(name, attributes);
        }
    };
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
        while (const dirent* entry = readdir(dir.get()))
            consider(entry->d_name, entry->d_type);
    }
    if (held.empty())
        return;
    WaitForLinkLooks(looks, std::chrono::steady_clock::now() + kLinkLookPatience);
    for (const HeldEntry& entry : held)
        if (const std::uint32_t attributes = AnsweredAttributes(entry.attributes, entry.lookedAt);
            !(attributes & excluded))
            found(entry.name, attributes);
}

} // namespace

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
