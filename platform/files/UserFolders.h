#pragma once

#include <optional>
#include <string>

namespace nomilo {

// The user's home folder: $HOME, else the one the user database names; empty when there is
// neither.
std::string HomeFolder();

// An XDG base folder: the value of `variable` (such as "XDG_CONFIG_HOME") when it is an absolute
// path, else `belowHome` (such as "/.config") below the home folder; std::nullopt when the
// variable does not name one and there is no home folder either.
std::optional<std::string> XdgBaseFolder(const char* variable, const char* belowHome);

} // namespace nomilo
