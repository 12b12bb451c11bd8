#pragma once

#include <string>
#include <string_view>

namespace nomilo {

// A file name (bytes) as a line of text shows it, on one line and with no raw control
// character: valid UTF-8 stays as it is, except that a backslash becomes "\\"; newline, tab and
// carriage return become "\n", "\t", "\r"; any other control character and any byte that is
// not part of valid UTF-8 becomes "\xHH" (its bytes); the C1 controls and the characters that
// turn the direction of text or break lines (U+061C, U+200E, U+200F, U+2028 to U+202E, U+2066
// to U+2069) become "\uHHHH". So the name can be read back without doubt.
std::string EscapedName(std::string_view name);
// The same, appended to `out`.
void AppendEscapedName(std::string& out, std::string_view name);

// The characters of `text` as a terminal shows them: a UTF-8 sequence is one, and so is each
// byte that is not part of valid UTF-8.
std::size_t CharacterCount(std::string_view text);

// A file name as a JSON value: a string where it is valid UTF-8, else an array of its byte
// values (0 to 255), as journalctl writes fields that are not UTF-8.
std::string JsonName(std::string_view name);

// `utf8` (valid UTF-8) as a JSON string, quotes included: control characters, the C1 controls
// and the characters EscapedName writes as "\uHHHH" are escaped, so that no line of JSON holds
// a raw control character.
std::string JsonString(std::string_view utf8);

} // namespace nomilo
