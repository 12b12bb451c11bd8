#include "rename/RenameBatch.h"

#include "rename/RewriteName.h"

namespace nomilo {

bool RenameFailed = false;

std::vector<TRenameStep> PlanBatch(const IFileEntries& entries, const TRenameInputs& inputs) {
    std::vector<TRenameStep> plan;
    const int count = entries.EntryCount();
    for (int i = 0; i < count; ++i) {
        if (inputs.selectedOnly && !entries.IsEntrySelected(i))
            continue;
        std::string name = entries.EntryText(i);
        auto newName = RewriteName(name, inputs.findText, inputs.replaceText, inputs.prefixMode,
                                   inputs.caseSensitive);
        if (newName)
            plan.push_back({i, std::move(name), std::move(*newName)});
    }
    return plan;
}

std::error_code RenameEntry(IFileEntries& entries, int index, const std::string& newName,
                            bool selectedOnly, const TMoveFileFn& moveFile, IMoveWitness* witness) {
    const std::string oldName = entries.EntryText(index);
    if (const std::error_code refusal = moveFile(oldName, newName, witness)) {
        RenameFailed = true;
        return refusal;
    }
    entries.ReplaceEntryText(index, newName);
    entries.SetEntrySelected(index, selectedOnly);
    return {};
}

void RenameBatch(IFileEntries& entries, const TRenameInputs& inputs, const TMoveFileFn& moveFile,
                 const TShowFailureFn& showFailure, IBatchJournal* journal) {
    RenameFailed = false;
    const std::vector<TRenameStep> plan = PlanBatch(entries, inputs);
    if (plan.empty())
        journal = nullptr; // nothing to take back: the journal of the batch before stays
    if (journal)
        journal->Begin(plan);
    std::vector<TRefusedRename> refused;
    for (std::size_t s = 0; s < plan.size(); ++s) {
        const TRenameStep& step = plan[s];
        IMoveWitness* witness = journal ? journal->Started(s) : nullptr;
        const std::error_code refusal =
            RenameEntry(entries, step.entry, step.newName, inputs.selectedOnly, moveFile, witness);
        if (journal)
            journal->Finished(s, !refusal);
        if (refusal)
            refused.push_back({step.oldName, step.newName, refusal});
    }
    if (journal)
        journal->End();
    if (RenameFailed && showFailure)
        showFailure(refused);
}

} // namespace nomilo
