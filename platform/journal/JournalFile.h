#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace nomilo {

// How far one step of a journal got. The marks live in the file itself, mapped into memory, so
// setting one is a plain store: it costs no system call, and it survives the process being
// killed (though not the machine losing power before the kernel wrote it out).
enum JournalMark : char {
    jmPlanned = '.',      // not started
    jmStarted = '>',      // the rename was under way
    jmDone = '+',         // renamed
    jmRefused = '-',      // refused, or found not to have happened
    jmUndoStarted = '<',  // the rename back was under way
    jmRestored = '=',     // renamed back
    jmUndoRefused = '!',  // the rename back was refused
};

// One planned rename: bare names, bytes as they are on disk.
struct JournalStep {
    std::string_view oldName;
    std::string_view newName;
};

// The journal file of one batch of renames in one folder: the folder, the planned steps in
// order, a mark per step, whether the batch ran to its end, and the machine's boot it was
// written in. The file holds the names as bytes, each followed by a NUL, after a short text
// header.
//
// An open journal holds an exclusive lock on "<path>.lock", so that two instances of the
// program never write one journal at once; a journal that another process holds cannot be
// opened or created meanwhile.
class JournalFile {
public:
    // $XDG_STATE_HOME/nomilo/last-rename.journal, with ~/.local/state when the variable is
    // unset or not an absolute path.
    static std::string DefaultPath();

    // Writes the journal of a batch of `steps` in `folder` at `path`, every step planned and the
    // batch not ended, flushes it to disk once and puts it in place of any journal there; the
    // folders above it are made as needed, and temporary files that an earlier writing cut short
    // left beside it are removed. nullptr when another process holds the journal; also
    // nullptr when it cannot be written, and then no journal at all is left at `path`.
    static std::unique_ptr<JournalFile> Create(const std::string& path, const std::string& folder,
                                               const std::vector<JournalStep>& steps);
    // Opens the journal at `path`; nullptr when there is none, when another process holds it,
    // or when it is damaged (the file is then left alone).
    static std::unique_ptr<JournalFile> Open(const std::string& path);

    ~JournalFile();
    JournalFile(const JournalFile&) = delete;
    JournalFile& operator=(const JournalFile&) = delete;

    const std::string& Folder() const { return folder_; }
    std::size_t StepCount() const { return steps_.size(); }
    const JournalStep& Step(std::size_t index) const { return steps_[index]; }

    JournalMark Mark(std::size_t index) const { return static_cast<JournalMark>(marks_[index]); }
    void SetMark(std::size_t index, JournalMark mark) { marks_[index] = mark; }

    // Whether the batch ran to its end, and recording that it did.
    bool Ended() const;
    void SetEnded();

    // Whether the machine has not been restarted since the journal was written: then every mark
    // set is in the file, even after the program was killed. After a restart the latest marks
    // may be missing.
    bool SameBoot() const { return sameBoot_; }

    // Removes the journal from the disk; the object stays usable until it goes.
    void Discard();

private:
    JournalFile() = default;
    // A journal object for `path` that holds its lock; nullptr when the lock is held elsewhere.
    static std::unique_ptr<JournalFile> Locked(const std::string& path);
    // Maps `size` bytes of the open file `fd` and reads the journal in them; false when they
    // hold no journal.
    bool Map(int fd, std::size_t size);

    std::string path_;
    int lock_ = -1;
    char* map_ = nullptr;
    std::size_t size_ = 0;
    char* ended_ = nullptr;
    bool sameBoot_ = false;
    char* marks_ = nullptr;
    std::string folder_;
    std::vector<JournalStep> steps_;
};

} // namespace nomilo
