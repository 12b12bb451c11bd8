#pragma once

#include "rename/BatchJournal.h"
#include "rename/FileEntries.h"
#include "rename/Refusal.h"
#include "rename/RenameBatch.h"

#include <memory>
#include <string>
#include <vector>

namespace nomilo {

class JournalFile;

// The journal of the batch that runs: before the first rename the whole plan (the folder, each
// old and new name) is written and flushed to disk once; then each step is marked as it starts
// and ends, without any further flushing, and the end of the batch is marked. It replaces the
// journal of the batch before, after finishing a rename that batch left cut short. When the
// journal cannot be written the batch runs without one, and no older journal is left to take
// back a batch that is no longer the last.
class TBatchJournal final : public IBatchJournal {
public:
    // A journal at `path` (JournalFile::DefaultPath() in the program) of a batch in `folder`,
    // the current directory.
    TBatchJournal(std::string path, std::string folder);
    ~TBatchJournal() override;
    TBatchJournal(const TBatchJournal&) = delete;
    TBatchJournal& operator=(const TBatchJournal&) = delete;

    void Begin(const std::vector<TRenameStep>& plan) override;
    void Started(std::size_t step) override;
    void Finished(std::size_t step, bool renamed) override;
    void End() override;

    // Whether Begin could write the journal.
    bool Kept() const { return file_ != nullptr; }

private:
    std::string path_;
    std::string folder_;
    std::unique_ptr<JournalFile> file_;
};

// Whether the journal at `path` holds renames that UndoLastBatch would take back.
bool CanUndoLastBatch(const std::string& path);

// What taking a batch back did.
struct TUndoOutcome {
    bool found = false; // there was a journal to take back
    std::string folder; // the batch's folder
    // The renames back that were done, in the order done: oldName is the batch's new name.
    std::vector<TRenameStep> restored;
    // The renames back that were refused (from the batch's new name to its old one), with why.
    std::vector<TRefusedRename> refused;
};

// Takes back the batch that the journal at `path` records, in the batch's folder whatever the
// current directory is (and back to it afterwards): each renamed file gets its old name again,
// the last renamed first, through `moveFile`, so that no file is ever replaced. A journal of a
// batch that did not end (the program was killed) is read from the disk: a step that was not
// marked done counts as done where its old name is gone and its new name is there. A rename by
// link and unlink that the marks show was under way, and that left the file under both names, is
// finished first by removing the name it was leaving. Refused renames back stay in the journal
// and are tried again next time; once nothing is left the journal goes. Throws EInOutError when
// the batch's folder cannot be entered.
TUndoOutcome UndoLastBatch(const std::string& path, const TMoveFileFn& moveFile);

// Gives the entries of files that an undo renamed back their old names, in place as the batch
// does: the first entry whose text is such a file's batch name gets the old name and then the
// selected flag `selectedOnly`. Files no longer listed change nothing.
void RestoreEntries(IFileEntries& entries, const std::vector<TRenameStep>& restored,
                    bool selectedOnly);

} // namespace nomilo
