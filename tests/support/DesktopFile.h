#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace nomilo::test {

// A desktop entry file read by the freedesktop rules for desktop entries, strictly: groups of
// key=value lines with the values as written (still escaped). std::nullopt for a line that is
// neither a comment, a blank, a group header nor an entry, or for a group or key given twice.
using DesktopGroups = std::map<std::string, std::map<std::string, std::string>>;
std::optional<DesktopGroups> ParseDesktopFile(const std::string& text);

// A string value with its escapes (\s \n \t \r \\) resolved; std::nullopt for any other escape.
std::optional<std::string> UnescapeDesktopString(const std::string& value);

// One argument of an Exec line: a literal text, or a field code such as %f.
struct ExecArgument {
    std::string text;
    bool fieldCode = false;
    bool operator==(const ExecArgument&) const = default;
};

// The arguments of an unescaped Exec value: arguments separated by spaces; a quoted argument
// in double quotes in which only \" \` \$ \\ escapes are allowed and '`' and '$' must be
// escaped; an unquoted argument without reserved characters; "%%" a literal percent sign, a
// field code a whole unquoted argument. std::nullopt for anything else.
std::optional<std::vector<ExecArgument>> ParseExec(const std::string& exec);

} // namespace nomilo::test
