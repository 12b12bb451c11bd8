#include "platform/files/DirListing.h"

#include "platform/files/DirHandle.h"
#include "platform/files/ResponsiveCalls.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace nomilo {

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

DirListing ListCurrentDir() {
    return RunResponsively([] {
        std::optional<std::vector<std::string>> names = ReadFolderNames(".");
        return ListCurrentDir(names ? std::move(*names) : std::vector<std::string>());
    });
}

DirListing ListCurrentDir(std::vector<std::string> names) {
    DirListing listing;
    listing.names = std::move(names);
    if (const long nameMax = pathconf(".", _PC_NAME_MAX); nameMax > 0)
        listing.nameMax = static_cast<std::size_t>(nameMax);
    listing.writable = access(".", W_OK | X_OK) == 0;
    return listing;
}

} // namespace nomilo
