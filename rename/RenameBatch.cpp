#include "rename/RenameBatch.h"

#include "rename/RewriteName.h"

namespace nomilo {

bool RenameFailed = false;

void RenameEntry(IFileEntries& entries, int index, const std::string& newName, bool selectedOnly,
                 const TMoveFileFn& moveFile) {
    const std::string oldName = entries.EntryText(index);
    if (!moveFile(oldName, newName)) {
        RenameFailed = true;
        return;
    }
    entries.ReplaceEntryText(index, newName);
    entries.SetEntrySelected(index, selectedOnly);
}

void RenameBatch(IFileEntries& entries, const TRenameInputs& inputs, const TMoveFileFn& moveFile,
                 const TShowFailureFn& showFailure) {
    RenameFailed = false;
    const int count = entries.EntryCount();
    for (int i = 0; i < count; ++i) {
        if (inputs.selectedOnly && !entries.IsEntrySelected(i))
            continue;
        const auto newName = RewriteName(entries.EntryText(i), inputs.findText,
                                         inputs.replaceText, inputs.prefixMode,
                                         inputs.caseSensitive);
        if (newName)
            RenameEntry(entries, i, *newName, inputs.selectedOnly, moveFile);
    }
    if (RenameFailed && showFailure)
        showFailure();
}

} // namespace nomilo
