#include "platform/desktop/DesktopPlaces.h"

#include "platform/files/UserFolders.h"

#include <algorithm>
#include <cstdlib>

namespace nomilo {

namespace {

std::vector<std::string> ConfigDirs() {
    std::vector<std::string> dirs;
    const char* value = std::getenv("XDG_CONFIG_DIRS");
    const std::string list = value && *value ? value : "/etc/xdg";
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t end = std::min(list.find(':', start), list.size());
        const std::string dir = list.substr(start, end - start);
        if (!dir.empty() && dir.front() == '/')
            dirs.push_back(dir);
        start = end + 1;
    }
    return dirs;
}

} // namespace

DesktopPlaces DesktopPlaces::FromEnvironment() {
    return DesktopPlaces{XdgBaseFolder("XDG_DATA_HOME", "/.local/share").value_or(""),
                         XdgBaseFolder("XDG_CONFIG_HOME", "/.config").value_or(""), ConfigDirs()};
}

} // namespace nomilo
