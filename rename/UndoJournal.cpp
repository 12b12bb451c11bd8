#include "rename/UndoJournal.h"

#include "platform/files/EInOutError.h"
#include "platform/files/FileIdentity.h"
#include "platform/files/FolderVisit.h"
#include "platform/files/MoveTrace.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <unordered_map>

namespace nomilo {

namespace {

bool Renames(const JournalStep& step) {
    return step.oldName != step.newName;
}

// Whether the step's file has its new name by the journal, so that taking the batch back
// renames it.
bool Undoable(const JournalFile& journal, std::size_t index) {
    const JournalMark mark = journal.Mark(index);
    return (mark == jmDone || mark == jmUndoRefused || mark == jmPreparingUndo) &&
           Renames(journal.Step(index));
}

// Whether the batch renamed some file, by the settled marks.
bool RenamedAny(const JournalFile& journal) {
    for (std::size_t i = 0; i < journal.StepCount(); ++i) {
        const JournalMark mark = journal.Mark(i);
        if (mark != jmPlanned && mark != jmPreparing && mark != jmStarted && mark != jmRefused &&
            Renames(journal.Step(i)))
            return true;
    }
    return false;
}

// Marks whose outcome a killed batch or undo left open.
bool Unsettled(const JournalFile& journal, std::size_t index) {
    const JournalMark mark = journal.Mark(index);
    return mark == jmPreparing || mark == jmStarted || mark == jmPreparingUndo ||
           mark == jmUndoStarted || (mark == jmPlanned && journal.Phase() == JournalPhase::Running);
}

bool NeedsSettling(const JournalFile& journal) {
    if (journal.Phase() == JournalPhase::Running)
        return true;
    for (std::size_t i = 0; i < journal.StepCount(); ++i)
        if (Unsettled(journal, i))
            return true;
    return false;
}

// Records in the journal which way the rename of one step goes.
class TStepWitness final : public IMoveWitness {
public:
    TStepWitness(JournalFile& journal, std::size_t index) : journal_(journal), index_(index) {}
    void Taking(MoveWay way) override { journal_.SetWay(index_, way); }

private:
    JournalFile& journal_;
    std::size_t index_;
};

// Settles the mark of a step that a killed batch or undo left open, from what the disk shows in
// the journal's folder (the current directory). A step counts as renamed only where the file
// it recorded is under its new name; a name is removed only where the records prove that a
// rename by link and unlink made it: the way was recorded before the link, and the file has
// one link more than it had.
void Settle(JournalFile& journal, std::size_t index) {
    const JournalStep& step = journal.Step(index);
    const std::string oldName(step.oldName), newName(step.newName);
    const std::optional<FileIdentity> file = journal.File(index);
    const FolderIdentity& folder = journal.FolderId();
    switch (journal.Mark(index)) {
    case jmStarted:
        if (!file || !Renames(step)) {
            journal.SetMark(index, jmRefused); // nothing proves a rename of the file
            return;
        }
        if (journal.Way(index) == MoveWay::LinkUnlink)
            RemoveLinkOfRename(oldName, newName, *file, file->links, folder);
        journal.SetMark(index, TraceMove(oldName, newName, *file, folder) == MoveTrace::Moved
                                   ? jmDone
                                   : jmRefused);
        return;
    case jmPreparingUndo:
        journal.SetMark(index, jmDone); // the rename back had not started
        return;
    case jmUndoStarted:
        if (!file) {
            journal.SetMark(index, jmGivenUp);
            return;
        }
        if (journal.Way(index) == MoveWay::LinkUnlink)
            RemoveLinkOfRename(newName, oldName, *file, journal.LinksBeforeUndo(index), folder);
        switch (TraceMove(oldName, newName, *file, folder)) {
        case MoveTrace::NotMoved:
            journal.SetMark(index, jmRestored);
            return;
        case MoveTrace::Neither:
            journal.SetMark(index, jmGivenUp);
            return;
        default:
            journal.SetMark(index, jmUndoRefused); // still under its new name
            return;
        }
    default:
        // Planned or being prepared: the rename never started. (After a restart a lost
        // record may hide one; nothing proves it, and nothing is taken back for it.)
        journal.SetMark(index, jmRefused);
        return;
    }
}

// Whether the folders below the batch's folder that steps renamed in are still the ones the
// batch found there, by the journal's records: asked step by step, for the step's folder, which
// is looked at again only where it changes from the step before.
class TSubfolderCheck {
public:
    explicit TSubfolderCheck(const JournalFile& journal) : journal_(journal) {}

    // Whether the folder of `path` (the name of a step) is the batch's: the batch's folder
    // itself always is.
    bool Same(std::string_view path) {
        const std::size_t slash = path.rfind('/');
        if (slash == std::string_view::npos)
            return true;
        const std::string_view folder = path.substr(0, slash);
        if (!checked_ || folder != folder_) {
            folder_ = folder;
            checked_ = true;
            const std::optional<FolderIdentity> recorded = journal_.SubfolderIdentity(folder);
            const std::optional<FolderIdentity> now =
                recorded ? FolderIdentityBelow(std::string(folder)) : std::nullopt;
            same_ = now && IsSameFolder(*recorded, *now);
        }
        return same_;
    }

private:
    const JournalFile& journal_;
    std::string folder_;
    bool checked_ = false;
    bool same_ = false;
};

// Settles every open mark, in the journal's folder. Answers whether the batch renamed some file;
// std::nullopt when that cannot be told (the folder is not the batch's, or records may have
// been lost with a restart).
std::optional<bool> SettleInFolder(JournalFile& journal) {
    try {
        const FolderVisit visit(journal.Folder());
        const std::optional<FolderIdentity> here = CurrentFolderIdentity();
        if (!here || !IsSameFolder(journal.FolderId(), *here))
            return std::nullopt;
        const bool recordsMayBeLost =
            journal.Phase() == JournalPhase::Running && !journal.SameBoot();
        bool unknown = false;
        TSubfolderCheck subfolders(journal);
        for (std::size_t i = 0; i < journal.StepCount(); ++i) {
            if (!Unsettled(journal, i))
                continue;
            unknown = unknown || (recordsMayBeLost && journal.Mark(i) == jmPlanned);
            // A subfolder moved or replaced since is not looked into: what is at its path now
            // proves nothing of the step, which can no longer be taken back.
            if (!subfolders.Same(journal.Step(i).oldName)) {
                const JournalMark mark = journal.Mark(i);
                const bool undoing = mark == jmPreparingUndo || mark == jmUndoStarted;
                journal.SetMark(i, undoing ? jmGivenUp : jmRefused);
                unknown = true;
                continue;
            }
            Settle(journal, i);
        }
        if (journal.Phase() == JournalPhase::Running)
            journal.SetPhase(JournalPhase::Ended);
        if (unknown)
            return std::nullopt;
        return RenamedAny(journal);
    } catch (const EInOutError&) {
        return std::nullopt;
    }
}

// Settles what a killed batch or undo left in the journal of `place`, and decides between the
// journal and the one kept aside: the batch before stays the last one only where the batch of
// the journal surely renamed nothing.
void RecoverKilledWork(JournalPlace& place) {
    JournalTrouble trouble;
    const std::unique_ptr<JournalFile> journal = place.Open(trouble);
    if (!journal) {
        // A writing killed between setting the journal aside and putting its own in place.
        if (trouble.problem == JournalProblem::None && place.HasPrevious())
            place.RestorePrevious();
        return;
    }
    if (journal->Phase() == JournalPhase::Void)
        return;
    std::optional<bool> renamed;
    if (NeedsSettling(*journal))
        renamed = SettleInFolder(*journal);
    else
        renamed = RenamedAny(*journal);
    if (!place.HasPrevious())
        return;
    if (renamed == false)
        place.RestorePrevious();
    else
        place.DropPrevious();
}

// Brings the journal of `place` up to date: what a killed batch or undo left is settled, and a
// batch another process noted as no longer the last one is made void.
void Recover(JournalPlace& place) {
    RecoverKilledWork(place);
    place.VoidStaleJournals();
}

std::error_code Errno(int error) {
    return {error, std::generic_category()};
}

// The trouble and the stamp of the file at `path` that has it.
std::string TroubleKey(const JournalTrouble& trouble, const std::string& path) {
    struct stat st {};
    lstat(path.c_str(), &st);
    return std::to_string(static_cast<int>(trouble.problem)) + ':' + std::to_string(st.st_dev) +
           ':' + std::to_string(st.st_ino) + ':' + std::to_string(st.st_size) + ':' +
           std::to_string(st.st_mtim.tv_sec) + '.' + std::to_string(st.st_mtim.tv_nsec);
}

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

} // namespace

// --- the batch's journal -----------------------------------------------------------------------

TBatchJournal::TBatchJournal(std::string path, std::string folder)
    : path_(std::move(path)), folder_(std::move(folder)) {}

TBatchJournal::~TBatchJournal() = default;

void TBatchJournal::Begin(const std::vector<TRenameStep>& plan) {
    renames_.reserve(plan.size());
    std::vector<JournalStep> steps;
    steps.reserve(plan.size());
    for (const TRenameStep& step : plan) {
        steps.push_back({step.oldName, step.newName});
        renames_.push_back(step.oldName != step.newName);
    }
    if (awayBecause_) {
        trouble_ = *awayBecause_;
        return;
    }
    place_ = JournalPlace::Take(path_, true, trouble_);
    if (!place_) {
        staleBatch_ = JournalBatchId(path_).value_or("");
        return;
    }
    Recover(*place_);
    // The folders below this one that steps rename in, each with its identity now: undo leaves
    // the steps of a folder that is not the same any more.
    std::vector<std::string> paths;
    for (const TRenameStep& step : plan)
        if (const std::size_t slash = step.oldName.rfind('/'); slash != std::string::npos) {
            const std::string_view folder = std::string_view(step.oldName).substr(0, slash);
            if (paths.empty() || paths.back() != folder)
                paths.emplace_back(folder);
        }
    std::sort(paths.begin(), paths.end());
    paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
    std::vector<JournalFolder> subfolders;
    for (const std::string& folder : paths)
        if (const std::optional<FolderIdentity> identity = FolderIdentityBelow(folder))
            subfolders.push_back({folder, *identity});
    if (const std::optional<FolderIdentity> here = CurrentFolderIdentity())
        file_ = place_->Create(folder_, *here, steps, trouble_, subfolders);
    else
        trouble_ = {JournalProblem::NotWritten, Errno(errno)};
    kept_ = file_ != nullptr;
    if (kept_)
        return;
    // The journal there must not stand for this batch: void while it runs, and the last
    // batch's again if this one renames nothing. One that cannot be opened stands for nothing.
    JournalTrouble ignored;
    voided_ = place_->Open(ignored);
    if (voided_ && voided_->Phase() != JournalPhase::Void) {
        voidedPhase_ = voided_->Phase();
        voided_->SetPhase(JournalPhase::Void);
        voided_->Flush();
    } else {
        voided_.reset();
    }
}

IMoveWitness* TBatchJournal::Started(std::size_t step) {
    if (!file_)
        return nullptr;
    step_ = step;
    // Right before the rename: the file recorded is the one the rename moves, unless another
    // program replaces it in that instant (undo then finds another file and leaves it). It is
    // recorded with the way the rename takes first, in one change of the step's record.
    look_ = IdentityOf(std::string(file_->Step(step).oldName));
    told_ = false;
    return this;
}

void TBatchJournal::Taking(MoveWay way) {
    if (told_ && way == MoveWay::Rename) {
        file_->SetWay(step_, way);
        return;
    }
    // The other ways take more than one call, and a step they leave cut short is judged by the
    // file's record (a name is removed by its link count): the file is looked at again now, so
    // that a name another program gave it since the step's look is counted.
    if (way != MoveWay::Rename)
        look_ = IdentityOf(std::string(file_->Step(step_).oldName));
    file_->Start(step_, look_, way);
    told_ = true;
}

void TBatchJournal::Finished(std::size_t step, std::error_code refusal) {
    const bool renamed = !refusal;
    // The first file renamed without the journal's lock makes the batch before stale, also for
    // the processes that start later: they hear of it beside the journal.
    if (renamed && renames_.at(step) && !renamed_ && !place_ && !staleBatch_.empty())
        NoteStaleBatch(path_, staleBatch_);
    renamed_ = renamed_ || (renamed && renames_.at(step));
    if (!file_)
        return;
    if (renamed && !told_)
        file_->Start(step, look_); // a rename call that tells no way
    file_->SetMark(step, renamed ? jmDone : jmRefused);
}

void TBatchJournal::End() {
    if (file_) {
        file_->SetPhase(JournalPhase::Ended);
        if (renamed_) {
            file_->StartWriteBack(); // soon on the disk, without waiting for it
            place_->DropPrevious();
        } else if (place_->HasPrevious()) {
            place_->RestorePrevious();
        } else {
            place_->Discard();
        }
    } else if (voided_ && !renamed_) {
        voided_->SetPhase(voidedPhase_);
        voided_->Flush();
    }
    file_.reset();
    voided_.reset();
    place_.reset();
}

// --- what the journal offers -------------------------------------------------------------------

TLastBatch LastBatch(const std::string& path) {
    TLastBatch last;
    JournalTrouble trouble;
    const std::unique_ptr<JournalPlace> place = JournalPlace::Take(path, false, trouble);
    if (!place) {
        // A lock no one can take keeps the user from an undo only where there is a journal.
        if (trouble.problem == JournalProblem::LockUnusable &&
            (Exists(path) || Exists(path + ".prev"))) {
            last.trouble = trouble;
            last.key = TroubleKey(trouble, path + ".lock");
        }
        return last;
    }
    Recover(*place);
    const std::unique_ptr<JournalFile> journal = place->Open(trouble);
    if (!journal) {
        if (trouble.problem != JournalProblem::None) {
            last.trouble = trouble;
            last.key = TroubleKey(trouble, path);
        }
        return last;
    }
    last.batchId = last.key = journal->BatchId();
    if (journal->Phase() == JournalPhase::Void)
        return last;
    for (std::size_t i = 0; i < journal->StepCount() && !last.undoable; ++i)
        last.undoable = Undoable(*journal, i);
    return last;
}

bool CanUndoLastBatch(const std::string& path) {
    return LastBatch(path).undoable;
}

TUndoOutcome UndoLastBatch(const std::string& path, const TMoveFileFn& moveFile,
                           const std::string& batchId, const TUndoRefusalFn& refusedUntried) {
    TUndoOutcome outcome;
    const std::unique_ptr<JournalPlace> place = JournalPlace::Take(path, false, outcome.trouble);
    if (!place)
        return outcome;
    Recover(*place);
    const std::unique_ptr<JournalFile> journal = place->Open(outcome.trouble);
    if (!journal || journal->Phase() == JournalPhase::Void ||
        (!batchId.empty() && journal->BatchId() != batchId))
        return outcome;
    outcome.found = true;
    outcome.folder = journal->Folder();
    // The folder is not at its path: the undo waits for it only where it can come back.
    auto folderNotThere = [&] {
        outcome.folderReplaced = true;
        outcome.givenUpWithFolder = FolderGoneFromItsDrive(journal->Folder(), journal->FolderId());
        if (outcome.givenUpWithFolder)
            place->Discard();
        return outcome;
    };
    std::optional<FolderVisit> visit;
    try {
        visit.emplace(journal->Folder());
    } catch (const EInOutError&) {
        return folderNotThere();
    }
    const std::optional<FolderIdentity> here = CurrentFolderIdentity();
    if (!here || !IsSameFolder(journal->FolderId(), *here))
        return folderNotThere();
    bool left = false;
    TSubfolderCheck subfolders(*journal);
    // Last renamed first: each file's old name is free again by the time it is asked for,
    // as it was when the batch gave it up.
    for (std::size_t i = journal->StepCount(); i-- > 0;) {
        if (!Undoable(*journal, i))
            continue;
        const JournalStep& step = journal->Step(i);
        std::string oldName(step.oldName), newName(step.newName);
        // A file of a folder below that was moved or replaced since is left: the other
        // folders' files are taken back.
        if (!subfolders.Same(step.newName)) {
            journal->SetMark(i, jmGivenUp);
            outcome.refused.push_back(
                {std::move(newName), std::move(oldName), RefusalError(TRefusal::FolderMoved)});
            ++outcome.givenUp;
            if (refusedUntried)
                refusedUntried(outcome.refused.back(), false);
            continue;
        }
        const std::optional<FileIdentity> file = journal->File(i);
        const std::optional<FileIdentity> now = IdentityOf(newName);
        const int error = errno;
        if (!now && error != ENOENT) { // the name cannot be looked at now: another time
            journal->SetMark(i, jmUndoRefused);
            outcome.refused.push_back({std::move(newName), std::move(oldName), Errno(error)});
            if (refusedUntried)
                refusedUntried(outcome.refused.back(), true);
            left = true;
            continue;
        }
        if (!now || !file || !IsSameFile(*file, *now, journal->FolderId())) {
            journal->SetMark(i, jmGivenUp);
            outcome.refused.push_back({std::move(newName), std::move(oldName),
                                       now ? RefusalError(TRefusal::Replaced) : Errno(ENOENT)});
            ++outcome.givenUp;
            if (refusedUntried)
                refusedUntried(outcome.refused.back(), false);
            continue;
        }
        journal->StartUndo(i, now->links);
        TStepWitness witness(*journal, i);
        if (const std::error_code refusal = moveFile(newName, oldName, &witness)) {
            journal->SetMark(i, jmUndoRefused);
            outcome.refused.push_back({std::move(newName), std::move(oldName), refusal});
            left = true;
        } else {
            journal->SetMark(i, jmRestored);
            outcome.restored.push_back({0, std::move(newName), std::move(oldName)});
        }
    }
    if (!left)
        place->Discard();
    return outcome;
}

void RestoreEntries(IFileEntries& entries, const std::vector<TRenameStep>& restored,
                    bool selectedOnly) {
    std::unordered_map<std::string_view, const std::string*> oldNames;
    oldNames.reserve(restored.size());
    for (const TRenameStep& step : restored)
        oldNames.emplace(step.oldName, &step.newName);
    const int count = entries.EntryCount();
    std::string copy;
    for (int i = 0; i < count && !oldNames.empty(); ++i) {
        // An entry of a folder below is known by its path, as the steps name it.
        const std::string_view folder = entries.EntryFolder(i).path;
        const std::string path = PathInFolder(folder, entries.EntryTextView(i, copy));
        const auto it = oldNames.find(path);
        if (it == oldNames.end())
            continue;
        const std::string& oldPath = *it->second;
        entries.ReplaceEntryText(i, folder.empty() ? oldPath : oldPath.substr(folder.size() + 1));
        entries.SetEntrySelected(i, selectedOnly);
        oldNames.erase(it);
    }
}

} // namespace nomilo
