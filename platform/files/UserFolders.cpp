#include "platform/files/UserFolders.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace nomilo {

std::string HomeFolder() {
    if (const char* variable = std::getenv("HOME"); variable && *variable)
        return variable;
    if (const passwd* user = getpwuid(getuid()))
        return user->pw_dir;
    return std::string();
}

std::optional<std::string> XdgBaseFolder(const char* variable, const char* belowHome) {
    if (const char* value = std::getenv(variable); value && value[0] == '/')
        return value;
    const std::string home = HomeFolder();
    if (home.empty())
        return std::nullopt;
    return home + belowHome;
}

} // namespace nomilo
