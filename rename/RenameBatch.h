#pragma once

#include "platform/files/MoveFile.h"
#include "rename/BatchJournal.h"
#include "rename/FileEntries.h"
#include "rename/Refusal.h"
#include "rename/RenameRule.h"

#include <functional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace nomilo {

// What one press of the rename button renames, read from the main window.
struct TRenameInputs {
    bool selectedOnly = true;  // consider only selected entries, and re-select renamed ones
    bool prefixMode = false;   // put the replace text in front of every name
    bool caseSensitive = true; // when off, ASCII letters match regardless of case
    std::string findText;
    std::string replaceText;
    // Beyond the design, each off by default (TRenameRule says what they do).
    bool regularExpression = false; // the find text is a regular expression
    bool everyOccurrence = false;   // replace every occurrence, not only the first
    bool numbering = false;         // the replace text holds counters
    bool fields = false;            // the replace text holds fields of the files' data
};

// Renames a bare file name in the current directory without replacing anything; answers no
// error when it did, else why it refused. A `witness` (none: nullptr) hears which way the rename
// goes before it goes that way, as MoveFileRefusal tells it.
using TMoveFileFn = std::function<std::error_code(
    const std::string& oldName, const std::string& newName, IMoveWitness* witness)>;
// Shows the one failure message of a batch, with the renames that were refused, in order.
using TShowFailureFn = std::function<void(const std::vector<TRefusedRename>& refused)>;

// Set by RenameEntry when a rename is refused; cleared at the start of each batch.
extern bool RenameFailed;

// The renames a batch asks for, in its order: the entries from first to last (only selected
// ones in selected-only mode) whose name the rule changes. The rule sees an entry's name only;
// the step's names are paths in the list's folder where the entry lies below it
// ("2024/IMG_1.jpg" to "2024/Holiday_1.jpg"), so a rename call refuses a new name that would
// leave the entry's folder as it refuses any name with a "/". Each entry keeps its text until its
// own rename, so the plan is what the walk meets; the whole plan is made before the first
// rename, so the rule's counters number the planned renames (the first is number 0 to
// TRenameRule::NewName). Throws ERenameRule when the rule cannot rename. The entries the rule
// refuses (a field without a value) are no steps: they go to `refused`, when given, with
// their positions.
struct TRuleRefusal {
    int entry = 0;
    TRefusedRename rename;
};
std::vector<TRenameStep> PlanBatch(const IFileEntries& entries, bool selectedOnly,
                                   const TRenameRule& rule,
                                   std::vector<TRuleRefusal>* refused = nullptr);
// The walk PlanBatch makes, for callers that keep no string per step (the preview): for each
// planned rename the new name is appended to `newNames`, then `step(entry, oldName, at)` is
// called with the entry's position, its text (valid during the call) and where its new name
// begins in `newNames`. An entry the rule refuses (a field without a value) goes to
// `refused(entry, oldName, at, reason)` instead, with the new name as far as it is known.
template <typename Step, typename Refused>
void PlanSteps(const IFileEntries& entries, bool selectedOnly, const TRenameRule& rule,
               std::string& newNames, Step&& step, Refused&& refused);
// The same with the rule built from `inputs`.
std::vector<TRenameStep> PlanBatch(const IFileEntries& entries, const TRenameInputs& inputs);

// Walks the entries from first to last, renames each considered entry whose name the rule
// changes, and afterwards calls `showFailure` once if any rename was refused. A rename refused
// for a name that an earlier rename of the batch gave is refused as TRefusal::TakenInBatch (an
// error RefusalError made), as the preview tells it; on a `caseBlind` volume (one that ignores
// letter case) such a name in any spelling of ASCII letters. A `journal` hears of the plan
// before the first rename and of every step. A rule that cannot rename (ERenameRule, thrown on)
// renames nothing and writes no journal.
void RenameBatch(IFileEntries& entries, bool selectedOnly, const TRenameRule& rule,
                 const TMoveFileFn& moveFile, const TShowFailureFn& showFailure,
                 IBatchJournal* journal = nullptr, bool caseBlind = false);
// The same with the rule built from `inputs`.
void RenameBatch(IFileEntries& entries, const TRenameInputs& inputs, const TMoveFileFn& moveFile,
                 const TShowFailureFn& showFailure, IBatchJournal* journal = nullptr,
                 bool caseBlind = false);

// Renames the file of entry `index` to `newName` (a path in the list's folder, as the plan has
// it), telling `witness` the way. On success the
// entry gets the new text and the selected flag `selectedOnly`; on refusal only RenameFailed is
// set. Answers the refusal.
std::error_code RenameEntry(IFileEntries& entries, int index, const std::string& newName,
                            bool selectedOnly, const TMoveFileFn& moveFile,
                            IMoveWitness* witness = nullptr);

template <typename Step, typename Refused>
void PlanSteps(const IFileEntries& entries, bool selectedOnly, const TRenameRule& rule,
               std::string& newNames, Step&& step, Refused&& refused) {
    if (rule.Error())
        throw ERenameRule(*rule.Error());
    rule.BeginPlan();
    std::string copy; // the text of an entry, for lists that keep none of their own
    std::size_t planned = 0;
    const int count = entries.EntryCount();
    TRefusal reason = TRefusal::None;
    for (int i = 0; i < count; ++i) {
        if (selectedOnly && !entries.IsEntrySelected(i))
            continue;
        const std::string_view name = entries.EntryTextView(i, copy);
        const std::size_t at = newNames.size();
        if (!rule.AppendNewName(i, name, planned, newNames, reason))
            continue;
        if (reason != TRefusal::None) {
            refused(i, name, at, reason);
            continue;
        }
        step(i, name, at);
        ++planned;
    }
}

} // namespace nomilo
