#include "platform/desktop/DesktopPlaces.h"

#include <algorithm>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace nomilo {

namespace {

std::string HomeFolder() {
    if (const char* variable = std::getenv("HOME"); variable && *variable)
        return variable;
    if (const passwd* user = getpwuid(getuid()))
        return user->pw_dir;
    return std::string();
}

// $name when it is an absolute path, else `fallback` below the home folder.
std::string BaseFolder(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    if (value && value[0] == '/')
        return value;
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : home + fallback;
}

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
    return DesktopPlaces{BaseFolder("XDG_DATA_HOME", "/.local/share"),
                         BaseFolder("XDG_CONFIG_HOME", "/.config"), ConfigDirs()};
}

} // namespace nomilo
