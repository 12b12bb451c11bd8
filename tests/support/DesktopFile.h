#pragma once

#include <optional>
#include <string>
#include <vector>

namespace nomilo::test {

// One argument of an Exec line: a literal text, or a field code such as %f.
struct ExecArgument {
    std::string text;
    bool fieldCode = false;
    bool operator==(const ExecArgument&) const = default;
};

// The arguments a launcher reads from the Exec value `value` of a desktop entry file, strictly
// by the freedesktop rules: first the string escapes (\s \n \t \r \\, no others, and no control
// characters), then the Exec quoting: arguments separated by spaces; a quoted argument in double
// quotes in which only \" \` \$ \\ escapes are allowed and '`' and '$' must be escaped; an
// unquoted argument without reserved characters; "%%" a literal percent sign, a field code a
// whole unquoted argument. std::nullopt for anything else.
std::optional<std::vector<ExecArgument>> ExecArguments(const std::string& value);

} // namespace nomilo::test
