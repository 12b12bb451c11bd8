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

// How a launcher reads "%" inside a quoted argument: GLib's launchers and those that follow it
// expand field codes in the whole line, so a literal "%" is written "%%"; KDE's leaves quoted
// text as it stands.
enum class PercentSigns { Doubled, Literal };

// The command `commandLine` runs (its arguments by VerbCommandArguments), as one line that a
// desktop entry's Exec, GLib's argument parser and the POSIX shell all split alike: the first
// "%L", "%l" or "%1" argument becomes `folderCode`, unquoted; every other argument is put in
// double quotes with '"', '`', '$' and '\' backslash-escaped, and '%' written as `percent` says.
// std::nullopt when the command names no program.
std::optional<std::string> QuotedCommand(std::string_view commandLine, std::string_view folderCode,
                                         PercentSigns percent = PercentSigns::Doubled);

// The command `commandLine` runs as a line of the POSIX shell: every argument in single quotes,
// which keep every byte but NUL as it is, and the first folder placeholder replaced by
// `folderWord` as it stands (a shell word such as "$folder"). std::nullopt when the command
// names no program.
std::optional<std::string> ShellCommand(std::string_view commandLine, std::string_view folderWord);

// Whether a desktop entry or an XML file can carry `text`: UTF-8 without control characters
// other than tab, line feed and carriage return.
bool IsEntryText(std::string_view text);

// The value of a desktop entry's `Exec` key, escaped for the file, that runs `commandLine`: the
// QuotedCommand with the field code `folderCode`. std::nullopt when the command names no program
// or is no entry text (IsEntryText).
std::optional<std::string> DesktopExecValue(std::string_view commandLine,
                                            std::string_view folderCode = "%f",
                                            PercentSigns percent = PercentSigns::Doubled);

// A string value as a desktop entry file writes it: '\' doubled, tab, line feed and carriage
// return as \t, \n and \r, and a leading space as \s.
std::string EscapeDesktopString(std::string_view text);

// A text made fit for a desktop entry's `Name`: byte sequences that are not UTF-8 become
// U+FFFD, control characters become spaces.
std::string DesktopDisplayText(std::string_view text);

// A menu label without its accelerator marks: "&&" stands for "&", a lone "&" goes.
std::string StripAccelerator(std::string_view label);

// `name` made safe for a file name, and told apart from every other name: ASCII letters, digits
// and "-" stay, every other byte becomes "_" and two upper-case hexadecimal digits.
std::string FileNamePart(std::string_view name);

} // namespace nomilo
