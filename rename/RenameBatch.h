#pragma once

#include "rename/FileEntries.h"

#include <functional>
#include <string>

namespace nomilo {

// What one press of the rename button renames, read from the main window.
struct TRenameInputs {
    bool selectedOnly = true;   // consider only selected entries, and re-select renamed ones
    bool prefixMode = false;    // put the replace text in front of every name
    bool caseSensitive = true;  // when off, ASCII letters match regardless of case
    std::string findText;
    std::string replaceText;
};

// Renames a bare file name in the current directory without replacing anything; answers
// whether it did.
using TMoveFileFn = std::function<bool(const std::string& oldName, const std::string& newName)>;
// Shows the one failure message of a batch.
using TShowFailureFn = std::function<void()>;

// Set by RenameEntry when a rename is refused; cleared at the start of each batch.
extern bool RenameFailed;

// Walks the entries from first to last, renames each considered entry whose name the rewrite
// rule changes, and afterwards calls `showFailure` once if any rename was refused.
void RenameBatch(IFileEntries& entries, const TRenameInputs& inputs, const TMoveFileFn& moveFile,
                 const TShowFailureFn& showFailure);

// Renames the file of entry `index` to `newName`. On success the entry gets the new text and
// the selected flag `selectedOnly`; on refusal only RenameFailed is set.
void RenameEntry(IFileEntries& entries, int index, const std::string& newName, bool selectedOnly,
                 const TMoveFileFn& moveFile);

} // namespace nomilo
