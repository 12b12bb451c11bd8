#pragma once

#include "platform/files/FileIdentity.h"
#include "platform/files/MoveFile.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <vector>

namespace nomilo {

// How far one step of a journal got.
enum JournalMark : char {
    jmPlanned = '\0',      // not started (the record is all zero bytes)
    jmPreparing = ':',     // its record is being written: not started
    jmStarted = '>',       // the rename was under way
    jmDone = '+',          // renamed
    jmRefused = '-',       // refused, or found not to have happened
    jmPreparingUndo = ';', // the rename back is being prepared: still renamed
    jmUndoStarted = '<',   // the rename back was under way
    jmRestored = '=',      // renamed back
    jmUndoRefused = '!',   // the rename back was refused; it may be tried again
    jmGivenUp = 'x',       // the rename back can never be: the file is gone from its new name
};

// Whether the batch of a journal is running (or was cut short), ended, or made void: a void
// journal stands for no batch, as when a later batch could not write its own.
enum class JournalPhase : char { Running = 'R', Ended = 'E', Void = 'V' };

// One planned rename: bare names (or what the rule made of them), bytes as they are on disk; for
// a file of a folder below the batch's folder, paths in the batch's folder ("2024/a.jpg").
struct JournalStep {
    std::string_view oldName;
    std::string_view newName;
};

// A folder below the batch's folder that steps rename in (its path in the batch's folder), with
// its identity as the batch found it.
struct JournalFolder {
    std::string_view path;
    FolderIdentity identity;
};

// Why a journal cannot be had.
enum class JournalProblem : std::uint8_t {
    None,
    Busy,             // another process holds the journal's lock
    LockUnusable,     // the lock file cannot be opened, or is not the user's own regular file
    NotWritten,       // the journal could not be written
    Damaged,          // its layout, its checksum or the check of a step's record is wrong
    NotRegular,       // a symbolic link (never followed), a folder, a device
    NotOwned,         // it belongs to another user
    WritableByOthers, // its group or others may write it
    Unreadable,       // it cannot be opened or mapped
    NoAnswer,         // its folder is on a server that does not answer: it is not waited for
};
struct JournalTrouble {
    JournalProblem problem = JournalProblem::None;
    std::error_code error; // the system's answer, where there was one
};

// The journal file of one batch of renames in one folder: a text header (the machine's boot,
// an id of the batch, the folder's identity, the step count, a checksum), a 32-byte record of
// the batch's phase, a 32-byte record per step (its mark, the way its rename went, the file's
// identity and link counts), then the folder and each step's old and new name, and, for a batch
// with subfolders included, each folder below it that steps rename in with its identity. The
// checksum covers the header and the names; each record carries a check of its own, rewritten with
// it, except a planned step's, which is all zero bytes (so a new journal's records cost no writing:
// their room is only reserved on the disk).
//
// The records live in the file mapped into memory: changing one is a few stores and one
// 8-byte store of its state that makes the change whole, so it costs no system call and
// survives the process being killed at any point (a machine that loses power before the kernel
// wrote the page out may lose the latest ones). A journal whose header, names or any record
// fails its check is damaged, and refused whole.
class JournalFile {
public:
    // $XDG_STATE_HOME/nomilo/last-rename.journal, with ~/.local/state when the variable is
    // unset or not an absolute path.
    static std::string DefaultPath();

    ~JournalFile();
    JournalFile(const JournalFile&) = delete;
    JournalFile& operator=(const JournalFile&) = delete;

    const std::string& BatchId() const { return batchId_; }
    const std::string& Folder() const { return folder_; }
    const FolderIdentity& FolderId() const { return folderId_; }
    std::size_t StepCount() const { return steps_.size(); }
    const JournalStep& Step(std::size_t index) const { return steps_[index]; }
    // The folders below the batch's folder that steps rename in, in the order of their steps;
    // none for a batch of one folder.
    const std::vector<JournalFolder>& Subfolders() const { return subfolders_; }
    // The identity of the folder `path` below the batch's folder as the batch found it;
    // std::nullopt when the journal records none.
    std::optional<FolderIdentity> SubfolderIdentity(std::string_view path) const;

    JournalPhase Phase() const;
    void SetPhase(JournalPhase phase);

    JournalMark Mark(std::size_t index) const;
    // The way the step's latest rename (the batch's, or the rename back once one started) took.
    MoveWay Way(std::size_t index) const;
    // The file the step renamed, as it was just before; std::nullopt where it could not be told
    // (there was no file by the old name).
    std::optional<FileIdentity> File(std::size_t index) const;
    // The link count the file had just before the step's rename back.
    std::uint32_t LinksBeforeUndo(std::size_t index) const;

    // Records `file` (links included) as the step's file and marks the step started, its
    // rename to take `way`.
    void Start(std::size_t index, const std::optional<FileIdentity>& file,
               MoveWay way = MoveWay::Unknown);
    // Records the way the step's rename now takes.
    void SetWay(std::size_t index, MoveWay way);
    // Marks the step as done, refused, restored, refused back or given up.
    void SetMark(std::size_t index, JournalMark mark);
    // Records the link count the file has before its rename back, and marks the rename back
    // started.
    void StartUndo(std::size_t index, std::uint32_t links);

    // Whether the machine has not been restarted since the journal was written: then every
    // change of a record is in the file, even after the process was killed.
    bool SameBoot() const { return sameBoot_; }

    // Waits until the changed records are on the disk.
    void Flush();
    // Starts writing the changed records to the disk, without waiting.
    void StartWriteBack();

private:
    friend class JournalPlace;
    JournalFile() = default;
    // Maps `size` bytes of the open file `fd`; false when they cannot be mapped.
    bool MapFile(int fd, std::size_t size);
    // Reads the journal in the mapped bytes: Damaged when they hold none, or a damaged one.
    JournalProblem Read();
    // Takes the mapped bytes for the new journal of `steps` (and `subfolders`) that was just
    // written in them, its records at `recordsAt` (the batch's first) and its names at
    // `namesAt`, without reading it again.
    void Lay(const std::string& boot, const std::string& batchId, const std::string& folder,
             const FolderIdentity& folderId, const std::vector<JournalStep>& steps,
             const std::vector<JournalFolder>& subfolders, std::size_t recordsAt,
             std::size_t namesAt);
    char* Record(std::size_t index) const; // the step's; SIZE_MAX: the batch's
    void Store(std::size_t index, char mark, MoveWay way, bool known);

    int fd_ = -1;
    char* map_ = nullptr;
    std::size_t size_ = 0;
    char* records_ = nullptr;
    bool sameBoot_ = false;
    std::uint32_t salt_ = 0;
    std::string batchId_;
    std::string folder_;
    FolderIdentity folderId_;
    std::vector<JournalStep> steps_;
    std::vector<JournalFolder> subfolders_;
    std::unordered_map<std::string_view, FolderIdentity> subfolderIds_; // by path
};

// The place of a journal on disk while this process holds its lock ("<path>.lock", flock):
// the journal at `path`, the journal of the batch before, kept aside at "<path>.prev" while a
// new batch has renamed nothing yet, and the temporary files of a writing. Two processes never
// work on one journal at once; the lock is let go when the object goes.
class JournalPlace {
public:
    // Takes the lock of the journal at `path` without waiting, making the folders above it when
    // `makeFolders` is set. Temporary files that a writing cut short left beside the journal go.
    // nullptr and why when the lock is held elsewhere or cannot be used; a missing folder (not
    // made) is no trouble.
    static std::unique_ptr<JournalPlace> Take(const std::string& path, bool makeFolders,
                                              JournalTrouble& trouble);
    ~JournalPlace();
    JournalPlace(const JournalPlace&) = delete;
    JournalPlace& operator=(const JournalPlace&) = delete;

    const std::string& Path() const { return path_; }

    // The journal; nullptr with no trouble when there is none. Only a regular file of the
    // user's own that no one else may write is opened (a link is not followed).
    std::unique_ptr<JournalFile> Open(JournalTrouble& trouble) const;

    // Writes the journal of a batch of `steps` in `folder` (and in its `subfolders`), every step
    // planned and the batch running, flushes it to disk once and puts it in place; the journal
    // that was there is kept aside as the one before. nullptr and why when it cannot be
    // written; the journal that was there is left in place then.
    std::unique_ptr<JournalFile> Create(const std::string& folder, const FolderIdentity& folderId,
                                        const std::vector<JournalStep>& steps,
                                        JournalTrouble& trouble,
                                        const std::vector<JournalFolder>& subfolders = {});

    // Makes void the journal, and the journal kept aside, of each batch noted as no longer the
    // last one (NoteStaleBatch), and forgets the notes.
    void VoidStaleJournals();

    bool HasPrevious() const;
    // Puts the journal kept aside back in place of the journal.
    void RestorePrevious();
    void DropPrevious();
    // Removes the journal.
    void Discard();

private:
    JournalPlace() = default;
    std::string PreviousPath() const { return path_ + ".prev"; }
    std::unique_ptr<JournalFile> OpenAt(const std::string& path, JournalTrouble& trouble) const;

    std::string path_;
    int lock_ = -1;
};

// The batch id of the journal at `path`, read without its lock; std::nullopt when there is no
// readable journal.
std::optional<std::string> JournalBatchId(const std::string& path);

// Notes beside the journal at `path` ("<path>.stale"), without its lock, that the batch
// `batchId` is no longer the last one: a process that could not take the lock has renamed files
// since. The next process to take the lock makes that batch's journal void
// (JournalPlace::VoidStaleJournals), so that no undo ever takes it back.
void NoteStaleBatch(const std::string& path, const std::string& batchId);

} // namespace nomilo
