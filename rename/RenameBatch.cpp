#include "rename/RenameBatch.h"

#include <algorithm>
#include <climits>

namespace nomilo {

bool RenameFailed = false;

std::vector<TRenameStep> PlanBatch(const IFileEntries& entries, bool selectedOnly,
                                   const TRenameRule& rule, std::vector<TRuleRefusal>* refused) {
    std::vector<TRenameStep> plan;
    // Room for every entry: the plan is not moved while it grows (its pages are used only as
    // far as it goes).
    plan.reserve(static_cast<std::size_t>(std::max(entries.EntryCount(), 0)));
    std::string newName;
    PlanSteps(entries, selectedOnly, rule, newName,
              [&](int entry, std::string_view oldName, std::size_t) {
                  plan.push_back({entry, std::string(oldName), std::move(newName)});
                  newName.clear();
              },
              [&](int entry, std::string_view oldName, std::size_t, TRefusal reason) {
                  if (refused)
                      refused->push_back(
                          {entry, {std::string(oldName), newName, RefusalError(reason)}});
                  newName.clear();
              });
    return plan;
}

std::vector<TRenameStep> PlanBatch(const IFileEntries& entries, const TRenameInputs& inputs) {
    return PlanBatch(entries, inputs.selectedOnly, TRenameRule(inputs));
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
    RenameBatch(entries, inputs.selectedOnly, TRenameRule(inputs), moveFile, showFailure, journal);
}

void RenameBatch(IFileEntries& entries, bool selectedOnly, const TRenameRule& rule,
                 const TMoveFileFn& moveFile, const TShowFailureFn& showFailure,
                 IBatchJournal* journal) {
    RenameFailed = false;
    std::vector<TRuleRefusal> ruleRefused;
    const std::vector<TRenameStep> plan = PlanBatch(entries, selectedOnly, rule, &ruleRefused);
    if (plan.empty())
        journal = nullptr; // nothing to take back: the journal of the batch before stays
    if (journal)
        journal->Begin(plan);
    std::vector<TRefusedRename> refused;
    // The entries the rule refused are told among the others, in entry order.
    auto nextRuleRefused = ruleRefused.begin();
    const auto tellRuleRefusedBefore = [&](int entry) {
        for (; nextRuleRefused != ruleRefused.end() && nextRuleRefused->entry < entry;
             ++nextRuleRefused) {
            RenameFailed = true;
            refused.push_back(std::move(nextRuleRefused->rename));
        }
    };
    for (std::size_t s = 0; s < plan.size(); ++s) {
        const TRenameStep& step = plan[s];
        tellRuleRefusedBefore(step.entry);
        IMoveWitness* witness = journal ? journal->Started(s) : nullptr;
        const std::error_code refusal =
            RenameEntry(entries, step.entry, step.newName, selectedOnly, moveFile, witness);
        if (journal)
            journal->Finished(s, !refusal);
        if (refusal)
            refused.push_back({step.oldName, step.newName, refusal});
    }
    tellRuleRefusedBefore(INT_MAX);
    if (journal)
        journal->End();
    if (RenameFailed && showFailure)
        showFailure(refused);
}

} // namespace nomilo
