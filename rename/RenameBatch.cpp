#include "rename/RenameBatch.h"

#include "platform/text/AsciiText.h"

#include <algorithm>
#include <climits>
#include <unordered_set>

namespace nomilo {

namespace {

struct TFoldedHash {
    std::size_t operator()(std::string_view name) const {
        std::size_t hash = 14695981039346656037u; // FNV-1a
        for (const char c : name)
            hash = (hash ^ static_cast<unsigned char>(AsciiLower(c))) * 1099511628211u;
        return hash;
    }
};
struct TFoldedEqual {
    bool operator()(std::string_view a, std::string_view b) const {
        return EqualIgnoringAsciiCase(a, b);
    }
};

// The new names the renames of a batch gave so far, less those a later rename took away: a
// rename refused for a name one of them holds was refused for an earlier entry's new name,
// which the preview tells apart from a name a file of the folder had. On a case-blind volume
// the names are compared with ASCII letters folded, as the preview compares them. Only a
// refusal asks, so the names are gathered when one first does, from the renames before it: a
// batch whose renames all go spends a byte a step on it.
class TNamesGiven {
public:
    TNamesGiven(const std::vector<TRenameStep>& plan, bool caseBlind)
        : plan_(plan), caseBlind_(caseBlind), renamed_(plan.size(), 0) {}

    // Step `step` renamed its file.
    void Renamed(std::size_t step) { renamed_[step] = 1; }

    // Whether the file that has `name` got it from a rename of a step before `step`.
    bool Holds(std::string_view name, std::size_t step) {
        for (; gathered_ < step; ++gathered_) {
            if (!renamed_[gathered_])
                continue;
            const TRenameStep& renamed = plan_[gathered_];
            const auto [first, last] = names_.equal_range(renamed.oldName);
            const auto given = std::find(first, last, renamed.oldName);
            if (given != last)
                names_.erase(given);
            names_.insert(renamed.newName);
        }
        const auto [first, last] = names_.equal_range(name);
        return caseBlind_ ? first != last : std::find(first, last, name) != last;
    }

private:
    const std::vector<TRenameStep>& plan_;
    bool caseBlind_;
    std::vector<char> renamed_;
    std::size_t gathered_ = 0; // the steps before it are in names_
    std::unordered_multiset<std::string_view, TFoldedHash, TFoldedEqual> names_;
};

} // namespace

bool RenameFailed = false;

std::vector<TRenameStep> PlanBatch(const IFileEntries& entries, bool selectedOnly,
                                   const TRenameRule& rule, std::vector<TRuleRefusal>* refused) {
    std::vector<TRenameStep> plan;
    // Room for every entry: the plan is not moved while it grows (its pages are used only as
    // far as it goes).
    plan.reserve(static_cast<std::size_t>(std::max(entries.EntryCount(), 0)));
    std::string newName;
    PlanSteps(
        entries, selectedOnly, rule, newName,
        [&](int entry, std::string_view oldName, std::size_t) {
            const std::string_view folder = entries.EntryFolder(entry).path;
            if (folder.empty())
                plan.push_back({entry, std::string(oldName), std::move(newName)});
            else
                plan.push_back(
                    {entry, PathInFolder(folder, oldName), PathInFolder(folder, newName)});
            newName.clear();
        },
        [&](int entry, std::string_view oldName, std::size_t, TRefusal reason) {
            const std::string_view folder = entries.EntryFolder(entry).path;
            if (refused)
                refused->push_back({entry,
                                    {PathInFolder(folder, oldName), PathInFolder(folder, newName),
                                     RefusalError(reason)}});
            newName.clear();
        });
    return plan;
}

std::vector<TRenameStep> PlanBatch(const IFileEntries& entries, const TRenameInputs& inputs) {
    return PlanBatch(entries, inputs.selectedOnly, TRenameRule(inputs));
}

std::error_code RenameEntry(IFileEntries& entries, int index, const std::string& newName,
                            bool selectedOnly, const TMoveFileFn& moveFile, IMoveWitness* witness) {
    const std::string_view folder = entries.EntryFolder(index).path;
    const std::string oldName = PathInFolder(folder, entries.EntryText(index));
    if (const std::error_code refusal = moveFile(oldName, newName, witness)) {
        RenameFailed = true;
        return refusal;
    }
    // The entry's text is the name in its folder, which the path of the new name begins with.
    entries.ReplaceEntryText(index, folder.empty() ? newName : newName.substr(folder.size() + 1));
    entries.SetEntrySelected(index, selectedOnly);
    return {};
}

void RenameBatch(IFileEntries& entries, const TRenameInputs& inputs, const TMoveFileFn& moveFile,
                 const TShowFailureFn& showFailure, IBatchJournal* journal, bool caseBlind) {
    RenameBatch(entries, inputs.selectedOnly, TRenameRule(inputs), moveFile, showFailure, journal,
                caseBlind);
}

void RenameBatch(IFileEntries& entries, bool selectedOnly, const TRenameRule& rule,
                 const TMoveFileFn& moveFile, const TShowFailureFn& showFailure,
                 IBatchJournal* journal, bool caseBlind) {
    RenameFailed = false;
    std::vector<TRuleRefusal> ruleRefused;
    const std::vector<TRenameStep> plan = PlanBatch(entries, selectedOnly, rule, &ruleRefused);
    if (plan.empty())
        journal = nullptr; // nothing to take back: the journal of the batch before stays
    if (journal)
        journal->Begin(plan);
    std::vector<TRefusedRename> refused;
    TNamesGiven given(plan, caseBlind);
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
        std::error_code refusal =
            RenameEntry(entries, step.entry, step.newName, selectedOnly, moveFile, witness);
        if (!refusal)
            given.Renamed(s);
        else if (RefusalOf(refusal) == TRefusal::Taken && given.Holds(step.newName, s))
            refusal = RefusalError(TRefusal::TakenInBatch);
        if (journal)
            journal->Finished(s, refusal);
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
