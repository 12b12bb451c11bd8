#pragma once

#include <string>
#include <string_view>
#include <system_error>

namespace nomilo {

// Renames the entry `oldName` of the current directory to `newName`, never replacing an
// existing entry, and answers whether it did. Both must be bare names: an empty name, ".",
// "..", or one holding "/" or a NUL byte is refused without touching anything. Equal names
// succeed and change nothing. A new name that differs only in letter case and names the very
// same file (a case-insensitive volume) gives the file its new spelling.
bool MoveFile(const std::string& oldName, const std::string& newName);

// Whether MoveFile takes `name` as a name in the current directory: not empty, ".", "..", and
// holding neither "/" nor a NUL byte.
bool IsBareName(std::string_view name);

// MoveFile that tells why it refused: no error when the file was renamed, else the errno of the
// refusal (EINVAL for a name that is not a bare name, EEXIST for a name that is taken, ...).
std::error_code MoveFileRefusal(const std::string& oldName, const std::string& newName);

} // namespace nomilo
