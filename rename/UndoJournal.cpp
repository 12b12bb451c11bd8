#include "rename/UndoJournal.h"

#include "platform/files/EInOutError.h"
#include "platform/files/FolderVisit.h"
#include "platform/files/MoveTrace.h"
#include "platform/journal/JournalFile.h"

#include <string_view>
#include <unordered_map>

namespace nomilo {

namespace {

bool Undoable(JournalMark mark) {
    return mark == jmDone || mark == jmUndoRefused;
}

// Settles the mark of a step whose outcome the journal does not know, from the disk, in the
// journal's folder. Marks are exact in the boot the journal was written in; after a restart the
// latest ones may be missing. A rename by link and unlink that was under way by the marks is
// finished where it left the file under both names: only then, since two names for one file
// can also be links someone made on purpose.
void Settle(JournalFile& journal, std::size_t index) {
    const JournalStep& step = journal.Step(index);
    const std::string oldName(step.oldName), newName(step.newName);
    switch (journal.Mark(index)) {
    case jmPlanned:
        if (journal.Ended() || journal.SameBoot()) {
            journal.SetMark(index, jmRefused); // never started
            return;
        }
        [[fallthrough]];
    case jmStarted:
        if (journal.Mark(index) == jmStarted && journal.SameBoot())
            RemoveLeftoverLink(oldName, newName);
        journal.SetMark(index, TraceMove(oldName, newName) == MoveTrace::Moved ? jmDone
                                                                                : jmRefused);
        return;
    case jmUndoStarted:
        if (journal.SameBoot())
            RemoveLeftoverLink(newName, oldName);
        journal.SetMark(index, TraceMove(oldName, newName) == MoveTrace::NotMoved ? jmRestored
                                                                                   : jmUndoRefused);
        return;
    default:
        return;
    }
}

bool Unsettled(JournalMark mark) {
    return mark == jmPlanned || mark == jmStarted || mark == jmUndoStarted;
}

// Finishes what a killed batch or undo left cut short in the journal at `path`, before a new
// batch replaces it.
void FinishCutShortStep(const std::string& path) {
    const std::unique_ptr<JournalFile> journal = JournalFile::Open(path);
    if (!journal || !journal->SameBoot())
        return;
    for (std::size_t i = 0; i < journal->StepCount(); ++i) {
        const JournalMark mark = journal->Mark(i);
        if (mark != jmStarted && mark != jmUndoStarted)
            continue;
        try {
            const FolderVisit visit(journal->Folder());
            Settle(*journal, i);
        } catch (const EInOutError&) {
            // The folder is gone or closed to us: nothing of it can be finished.
        }
    }
}

} // namespace

TBatchJournal::TBatchJournal(std::string path, std::string folder)
    : path_(std::move(path)), folder_(std::move(folder)) {}

TBatchJournal::~TBatchJournal() = default;

void TBatchJournal::Begin(const std::vector<TRenameStep>& plan) {
    FinishCutShortStep(path_);
    std::vector<JournalStep> steps;
    steps.reserve(plan.size());
    for (const TRenameStep& step : plan)
        steps.push_back({step.oldName, step.newName});
    file_ = JournalFile::Create(path_, folder_, steps);
}

void TBatchJournal::Started(std::size_t step) {
    if (file_)
        file_->SetMark(step, jmStarted);
}

void TBatchJournal::Finished(std::size_t step, bool renamed) {
    if (file_)
        file_->SetMark(step, renamed ? jmDone : jmRefused);
}

void TBatchJournal::End() {
    if (file_)
        file_->SetEnded();
    file_.reset();
}

bool CanUndoLastBatch(const std::string& path) {
    const std::unique_ptr<JournalFile> journal = JournalFile::Open(path);
    if (!journal)
        return false;
    const bool marksMayLag = !journal->Ended() && !journal->SameBoot();
    for (std::size_t i = 0; i < journal->StepCount(); ++i) {
        const JournalMark mark = journal->Mark(i);
        if (Undoable(mark) || mark == jmStarted || mark == jmUndoStarted ||
            (mark == jmPlanned && marksMayLag))
            return true;
    }
    return false;
}

TUndoOutcome UndoLastBatch(const std::string& path, const TMoveFileFn& moveFile) {
    TUndoOutcome outcome;
    const std::unique_ptr<JournalFile> journal = JournalFile::Open(path);
    if (!journal)
        return outcome;
    outcome.found = true;
    outcome.folder = journal->Folder();
    const FolderVisit visit(journal->Folder());
    bool left = false;
    // Last renamed first: each file's old name is free again by the time it is asked for,
    // as it was when the batch gave it up.
    for (std::size_t i = journal->StepCount(); i-- > 0;) {
        if (Unsettled(journal->Mark(i)))
            Settle(*journal, i);
        if (!Undoable(journal->Mark(i)))
            continue;
        const JournalStep& step = journal->Step(i);
        std::string oldName(step.oldName), newName(step.newName);
        journal->SetMark(i, jmUndoStarted);
        if (const std::error_code refusal = moveFile(newName, oldName)) {
            journal->SetMark(i, jmUndoRefused);
            outcome.refused.push_back({std::move(newName), std::move(oldName), refusal});
            left = true;
        } else {
            journal->SetMark(i, jmRestored);
            outcome.restored.push_back({0, std::move(newName), std::move(oldName)});
        }
    }
    if (left)
        journal->SetEnded(); // every step is settled now
    else
        journal->Discard();
    return outcome;
}

void RestoreEntries(IFileEntries& entries, const std::vector<TRenameStep>& restored,
                    bool selectedOnly) {
    std::unordered_map<std::string_view, const std::string*> oldNames;
    oldNames.reserve(restored.size());
    for (const TRenameStep& step : restored)
        oldNames.emplace(step.oldName, &step.newName);
    const int count = entries.EntryCount();
    for (int i = 0; i < count && !oldNames.empty(); ++i) {
        const auto it = oldNames.find(entries.EntryText(i));
        if (it == oldNames.end())
            continue;
        entries.ReplaceEntryText(i, *it->second);
        entries.SetEntrySelected(i, selectedOnly);
        oldNames.erase(it);
    }
}

} // namespace nomilo
