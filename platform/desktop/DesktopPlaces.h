#pragma once

#include <string>
#include <vector>

namespace nomilo {

// The user's base folders, where file managers read their folder actions.
struct DesktopPlaces {
    std::string dataHome;                // $XDG_DATA_HOME, else ~/.local/share
    std::string configHome;              // $XDG_CONFIG_HOME, else ~/.config
    std::vector<std::string> configDirs; // $XDG_CONFIG_DIRS, else /etc/xdg: the system's defaults

    // The folders as the environment names them now. A variable that is unset or not an
    // absolute path takes its default (a relative entry of $XDG_CONFIG_DIRS is skipped); the
    // home folders are empty when there is no home folder either.
    static DesktopPlaces FromEnvironment();
};

} // namespace nomilo
