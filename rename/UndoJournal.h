#pragma once

#include "platform/files/MoveFile.h"
#include "platform/journal/JournalFile.h"
#include "rename/BatchJournal.h"
#include "rename/FileEntries.h"
#include "rename/Refusal.h"
#include "rename/RenameBatch.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace nomilo {

// The journal of the batch that runs, at a path of its own (JournalFile::DefaultPath() in the
// program). Before the first rename the whole plan (the folder and its identity, every old and
// new name) is written and flushed to disk once; each step then records the file it renames (its
// identity, looked at right before its rename, so that it is the file the rename moves, and again
// right before a way of renaming that takes more than one call, so that the link count a
// cut-short step is judged by is the file's own) and the way its rename goes (a witness
// MoveFileRefusal tells), and is marked as it ends, without any further flushing; the end of the
// batch is marked.
//
// Undo is offered for exactly the last batch that renamed something. The journal of the batch
// before is kept aside until this batch renames a file, and comes back when it renames none
// (every step refused). A batch whose journal cannot be written still renames; the journal
// before is made void meanwhile, so that it never takes back a batch that is no longer the
// last, and comes back when the batch renamed nothing. Where even that cannot be done (another
// process holds the journal) StaleBatch names the batch the caller must not offer to undo, and
// the first rename notes it beside the journal, so that the next process to hold the journal
// makes it void.
//
// Before a batch replaces it, a journal that a killed batch or undo left is settled from the
// disk: a rename by link and unlink cut short after the link is finished only where the
// records prove the link was the program's own.
class TBatchJournal final : public IBatchJournal, private IMoveWitness {
public:
    // A journal at `path` of a batch in `folder`, the current directory.
    TBatchJournal(std::string path, std::string folder);
    ~TBatchJournal() override;
    TBatchJournal(const TBatchJournal&) = delete;
    TBatchJournal& operator=(const TBatchJournal&) = delete;

    void Begin(const std::vector<TRenameStep>& plan) override;
    IMoveWitness* Started(std::size_t step) override;
    void Finished(std::size_t step, std::error_code refusal) override;
    void End() override;

    // Keeps the batch away from the journal's place, whose folder does not answer (`why`): it
    // runs without a journal and touches nothing there, as when another process holds it.
    void StayAway(const JournalTrouble& why) { awayBecause_ = why; }

    // Whether Begin could write the journal, and why not.
    bool Kept() const { return kept_; }
    const JournalTrouble& Trouble() const { return trouble_; }
    // Whether the batch renamed some file that no journal records: it cannot be undone, and the
    // user is to hear why (Trouble).
    bool RenamedUnrecorded() const { return renamed_ && !Kept(); }
    // The id of the batch before, whose journal may still stand in the journal's place because it
    // could not be made void; empty when there is none. Undo must not be offered for it.
    const std::string& StaleBatch() const { return staleBatch_; }

private:
    void Taking(MoveWay way) override;

    std::string path_;
    std::string folder_;
    std::unique_ptr<JournalPlace> place_; // held from Begin to End
    std::unique_ptr<JournalFile> file_;   // this batch's journal
    std::unique_ptr<JournalFile> voided_; // the journal before, made void while this batch runs
    JournalPhase voidedPhase_ = JournalPhase::Ended;
    std::vector<char> renames_; // per step: the names differ
    JournalTrouble trouble_;
    std::string staleBatch_;
    std::optional<JournalTrouble> awayBecause_;
    std::size_t step_ = 0;
    std::optional<FileIdentity> look_; // the step's file, looked at right before its rename
    bool told_ = false;                 // the step's rename has told its way
    bool kept_ = false;
    bool renamed_ = false;
};

// What the journal at a path offers to undo.
struct TLastBatch {
    bool undoable = false; // it holds renames that UndoLastBatch would take back
    std::string batchId;   // the batch it records, where it can be read
    // Why the journal (or its lock) cannot be used. A journal another process holds is no
    // trouble: it is not offered meanwhile.
    JournalTrouble trouble;
    // Tells this journal, and this trouble of it, from any other: the batch id, or the trouble
    // and the stamp (device, inode, size, time) of the file that has it.
    std::string key;
};
// Reads the journal at `path` under its lock, after settling what a killed batch or undo left.
// Temporary files of a killed writing go.
TLastBatch LastBatch(const std::string& path);

// Whether the journal at `path` holds renames that UndoLastBatch would take back.
bool CanUndoLastBatch(const std::string& path);

// What taking a batch back did.
struct TUndoOutcome {
    bool found = false;          // there was a journal to take back
    JournalTrouble trouble;      // the journal could not be used: nothing was renamed
    bool folderReplaced = false; // the batch's folder is gone from its path, or another folder
                                 // is there: nothing was renamed
    // With folderReplaced: the folder's drive is there without it, so the folder will not come
    // back, and the journal is gone. Otherwise the journal stays for the folder's return (a
    // removable drive that is not connected).
    bool givenUpWithFolder = false;
    std::string folder;          // the batch's folder
    // The renames back that were done, in the order done: oldName is the batch's new name.
    std::vector<TRenameStep> restored;
    // The renames back that were refused (from the batch's new name to its old one), with why,
    // in the order met; `givenUp` of them are given up for good, the others stay in the journal.
    std::vector<TRefusedRename> refused;
    std::size_t givenUp = 0;
};

// Told of a rename back that the undo refuses without trying it: it is given up for good (the
// file is gone from its new name, or another file has the name), or, when `kept`, it stays in
// the journal for the next undo (the new name could not be looked at).
using TUndoRefusalFn = std::function<void(const TRefusedRename& refused, bool kept)>;

// Takes back the batch that the journal at `path` records (only if its id is `batchId`, when
// one is given), in the batch's folder whatever the current directory is (and back to it
// afterwards): each renamed file gets its old name again, the last renamed first, through
// `moveFile`, so that no file is ever replaced. Nothing is renamed when the journal is damaged
// or not the user's own, or when the folder at the batch's path is not the batch's folder (the
// journal then goes only where the folder's drive is there without it). A
// file is renamed back only when the file under its new name is the very file the batch
// renamed; where the new name holds no file or another one, the rename back is given up for
// good ("the file is gone", "another file now has this name"). Renames back refused otherwise
// stay in the journal and are tried again next time; once nothing is left the journal goes.
// `refusedUntried`, when given, hears of the renames back refused without trying them as they
// are met (`moveFile` answers for the others).
TUndoOutcome UndoLastBatch(const std::string& path, const TMoveFileFn& moveFile,
                           const std::string& batchId = {},
                           const TUndoRefusalFn& refusedUntried = {});

// Gives the entries of files that an undo renamed back their old names, in place as the batch
// does: the first entry whose text (whose path, for an entry of a folder below the list's) is
// such a file's batch name gets the old name and then the selected flag `selectedOnly`. Files
// no longer listed change nothing.
void RestoreEntries(IFileEntries& entries, const std::vector<TRenameStep>& restored,
                    bool selectedOnly);

} // namespace nomilo
