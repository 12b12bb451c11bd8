#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nomilo {

// The arguments of a command line as the shell verbs store it ("PROGRAM" "%L"): before each
// argument, bytes 1 to 32 and pairs of adjacent double quotes are skipped; an argument runs to
// the next byte 0 to 32 outside quotes; a double quote opens or closes a quoted stretch in which
// every byte belongs to the argument; quotes are never part of an argument; the backslash has
// no special meaning. The text ends at its first NUL byte. No argument is ever empty.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// The arguments of a verb's command line. The form the program writes, a double quote, the
// program path, then `" "%L"`, gives the path whole, whatever it holds (a Linux path may hold
// double quotes, which the splitting rules would drop); any other command line is split by
// SplitCommandLine.
std::vector<std::string> VerbCommandArguments(std::string_view commandLine);

// The value of a desktop entry's `Exec` key, escaped for the file, that runs `commandLine` (its
// arguments by VerbCommandArguments): the first "%L", "%l" or "%1" argument becomes the field code
// %f; every other argument is put in double quotes with `"`, '`', '$' and '\' backslash-escaped and
// '%' doubled. std::nullopt when the command names no program, or holds text a desktop entry cannot
// carry (bytes that are not UTF-8, control characters other than tab, line feed and carriage
// return).
std::optional<std::string> DesktopExecValue(std::string_view commandLine);

// A string value as a desktop entry file writes it: '\' doubled, tab, line feed and carriage
// return as \t, \n and \r, and a leading space as \s.
std::string EscapeDesktopString(std::string_view text);

// A text made fit for a desktop entry's `Name`: byte sequences that are not UTF-8 become
// U+FFFD, control characters become spaces.
std::string DesktopDisplayText(std::string_view text);

// A menu label without its accelerator marks: "&&" stands for "&", a lone "&" goes.
std::string StripAccelerator(std::string_view label);

// A menu label that shows `text` as it is: every "&" doubled.
std::string EscapeAccelerator(std::string_view text);

// `name` made safe for a file name, and told apart from every other name: ASCII letters, digits
// and "-" stay, every other byte becomes "_" and two upper-case hexadecimal digits.
std::string FileNamePart(std::string_view name);

// Whether `text` is well-formed UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF).
bool IsUtf8(std::string_view text);

} // namespace nomilo
