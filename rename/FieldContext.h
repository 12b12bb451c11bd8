#pragma once

#include "rename/FileFacts.h"

#include <string_view>

namespace nomilo {

// What a rule with fields knows beyond an entry's name: the facts read of each entry's file,
// the folder's name and the names the folder holds. The caller that made it keeps it as long as
// the rule uses it.
class IFieldContext {
public:
    virtual ~IFieldContext() = default;

    // The facts of entry `entry`'s file, or nullptr while they are still being read.
    virtual const TFileFacts* FactsOf(int entry) const = 0;
    // The name of the folder the entries are in.
    virtual std::string_view FolderName() const = 0;
    // Whether a file of the folder, as read, has the name `name` (with ASCII letters folded on a
    // case-blind volume).
    virtual bool NameOnDisk(std::string_view name) const = 0;
    // Whether the volume ignores the letter case of names.
    virtual bool CaseBlind() const = 0;
};

} // namespace nomilo
