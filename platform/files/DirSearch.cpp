#include "platform/files/DirSearch.h"

#include "platform/files/CurrentDir.h"
#include "platform/files/DirHandle.h"
#include "platform/files/EInOutError.h"
#include "platform/files/internal/PathAt.h"
#include "platform/text/AsciiText.h"

#include <fcntl.h>
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

void SearchFolder(const std::string& folder, std::string_view pattern, std::uint32_t excluded,
                  std::uint32_t wanted, const FoundEntry& found, const TNetworkMounts& network) {
    if (pattern.empty() || pattern.find('/') != std::string_view::npos ||
        folder.find('\0') != std::string::npos)
        return;
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
    const auto consider = [&](std::string_view name, unsigned char type) {
        if (!MatchesMask(name, pattern))
            return;
        const std::uint32_t attributes =
            EntryAttributes(fd, name.data(), type, needed, network, absolute);
        if (!(attributes & excluded))
            found(name, attributes);
    };
    if (TSharedFolderRead* shared = TSharedFolderRead::active_; shared && shared->Holds(fd)) {
        if (!shared->read_) {
            while (const dirent* entry = readdir(dir.get())) {
                shared->names_.append(entry->d_name);
                shared->names_.push_back('\0');
                shared->types_.push_back(entry->d_type);
            }
            shared->read_ = true;
        }
        const char* name = shared->names_.data();
        for (const unsigned char type : shared->types_) {
            const std::string_view entry(name);
            consider(entry, type);
            name += entry.size() + 1;
        }
        return;
    }
    while (const dirent* entry = readdir(dir.get()))
        consider(entry->d_name, entry->d_type);
}

TSharedFolderRead::TSharedFolderRead(const std::string& folder) {
    struct stat st;
    const TPathAt at(folder);
    const bool found = at.Valid() && fstatat(at.Folder(), at.Name(), &st, 0) == 0;
    device_ = found ? st.st_dev : 0;
    inode_ = found ? st.st_ino : 0;
    active_ = found ? this : nullptr;
}

TSharedFolderRead::~TSharedFolderRead() {
    if (active_ == this)
        active_ = nullptr;
}

void TSharedFolderRead::EndSharing() {
    if (TSharedFolderRead* shared = std::exchange(active_, nullptr)) {
        std::string().swap(shared->names_); // assigning an empty string would keep the room
        std::vector<unsigned char>().swap(shared->types_);
    }
}

bool TSharedFolderRead::Holds(int folder) const {
    struct stat st;
    return fstat(folder, &st) == 0 && st.st_dev == device_ && st.st_ino == inode_;
}

} // namespace nomilo
