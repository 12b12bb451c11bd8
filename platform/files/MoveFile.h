#pragma once

#include <cstdint>
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

// The ways a rename can go: RENAME_NOREPLACE, which either happens whole or not at all; a hard
// link under the new name and the removal of the old one; a placeholder of our own under the
// new name that the file is renamed over.
enum class MoveWay : std::uint8_t {
    Unknown = 0,
    Rename = 'r',
    LinkUnlink = 'l',
    Placeholder = 'p'
};

// Hears which way a rename goes, each time just before it changes anything that way: a record
// kept then tells what a rename cut short at any later point may have left.
class IMoveWitness {
public:
    virtual void Taking(MoveWay way) = 0;

protected:
    ~IMoveWitness() = default;
};

// MoveFile that tells why it refused: no error when the file was renamed, else the errno of the
// refusal (EINVAL for a name that is not a bare name, EEXIST for a name that is taken, ...).
// A `witness` hears of each way before it is taken.
std::error_code MoveFileRefusal(const std::string& oldName, const std::string& newName,
                                IMoveWitness* witness = nullptr);
// The same in the open folder `folder` (AT_FDCWD: the current directory).
std::error_code MoveFileRefusalAt(int folder, const std::string& oldName,
                                  const std::string& newName, IMoveWitness* witness = nullptr);

} // namespace nomilo
