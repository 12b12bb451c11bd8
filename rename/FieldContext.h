#pragma once

#include "rename/FileFacts.h"

#include <cstdint>
#include <string_view>

namespace nomilo {

// What a rule with fields knows beyond an entry's name: the facts read of each entry's file,
// the name of its folder and the names that folder holds (a list with subfolders included has
// entries of many folders). The caller that made it keeps it as long as
// the rule uses it.
class IFieldContext {
public:
    virtual ~IFieldContext() = default;

    // The facts of entry `entry`'s file, or nullptr while they are still being read.
    virtual const TFileFacts* FactsOf(int entry) const = 0;
    // The name of the folder entry `entry` is in.
    virtual std::string_view FolderName(int entry) const = 0;
    // Whether a file of the folder of entry `entry`, as read, has the name `name` (with ASCII
    // letters folded on a case-blind volume).
    virtual bool NameOnDisk(int entry, std::string_view name) const = 0;
    // The number of the folder of entry `entry`, the same for the entries of one folder: the
    // names {copy} gives are kept apart per folder.
    virtual std::uint32_t FolderOf(int) const { return 0; }
    // Whether the volume ignores the letter case of names.
    virtual bool CaseBlind() const = 0;
};

} // namespace nomilo
