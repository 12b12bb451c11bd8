#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nomilo {

// What the program was started on, read from the arguments that QApplication's constructor
// left (Qt's own options are gone). Every argument is taken whole and byte for byte (spaces, a
// trailing "/", any length); empty arguments are skipped. An argument that is a local file URI
// ("file:///...", as file managers pass a selection) stands for the path it names.
//
//   nomilo                   no start folder
//   nomilo PATH              PATH is the start folder
//   nomilo PATH PATH...      the paths are entries of one folder to select
//   nomilo --select PATH...  the same, for one path too: every argument after the option is a
//                            path, whatever it looks like
struct TCommandLine {
    std::vector<std::string> paths;
    // True when the paths are entries to select; false when there is at most one path, the
    // start folder.
    bool selection = false;

    // The start folder: the one path when the paths are no selection, else the empty text.
    std::string StartFolder() const;
};

inline constexpr std::string_view kSelectOption = "--select";

TCommandLine ReadCommandLine(int argc, const char* const* argv);
TCommandLine ReadCommandLine(const std::vector<std::string>& arguments);

// The path a local file URI names: "file://" with an empty host or "localhost", then an
// absolute path in which every "%" and two hexadecimal digits stand for one byte, any byte
// but NUL. std::nullopt for any other text (another scheme or host, a bad escape).
std::optional<std::string> FileUriPath(std::string_view uri);

} // namespace nomilo
