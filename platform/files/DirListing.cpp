#include "platform/files/DirListing.h"

#include "platform/files/DirHandle.h"

#include <cstring>
#include <unistd.h>

namespace nomilo {

DirListing ListCurrentDir() {
    DirListing listing;
    if (const DirHandle dir = OpenDir(".")) {
        while (const dirent* entry = readdir(dir.get()))
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                listing.names.emplace_back(entry->d_name);
    }
    if (const long nameMax = pathconf(".", _PC_NAME_MAX); nameMax > 0)
        listing.nameMax = static_cast<std::size_t>(nameMax);
    listing.writable = access(".", W_OK | X_OK) == 0;
    return listing;
}

} // namespace nomilo
