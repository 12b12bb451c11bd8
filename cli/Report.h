#pragma once

#include "cli/CommandLine.h"
#include "cli/ProgressBar.h"
#include "rename/Refusal.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <system_error>

namespace nomilo {

// What becomes of a rename back that an undo did not do: none for a batch's refusal.
enum class TUndoFate : std::uint8_t {
    None,
    Kept,    // it stays in the journal, for the next undo
    GivenUp, // never to be done: the file is gone, or another file has its name
};

// What the terminal command tells, in the form asked for: one line per rename or refusal
// (names escaped), JSON Lines, or NUL-ended names; messages go to standard error as
// "nomilo-rename: ...". Quiet: only errors. A reader that goes away (a closed pipe) ends the
// output, not the work.
class TReport {
public:
    // `planned`: the renames are a plan (a dry run), not done.
    TReport(TCommandOptions::TOutput form, bool quiet, bool planned, std::FILE* out = stdout,
            std::FILE* err = stderr);

    // A rename done (or planned), from `oldName` to `newName`.
    void Renamed(std::string_view oldName, std::string_view newName);
    // A rename refused (or predicted to be) for `reason`; `error` is the system's answer, where
    // there was one. A rename back an undo refused tells its fate too.
    void Refused(std::string_view oldName, std::string_view newName, TRefusal reason,
                 std::error_code error = {}, TUndoFate fate = TUndoFate::None);
    // A message to standard error; a note is left out when quiet, an error never.
    void Note(const std::string& text);
    void Error(const std::string& text);

    // Draws `progress` on standard error while the work runs (nullptr: none); the report takes
    // it off the line before it writes there, and before it writes to standard output when
    // `sameTerminal` (both go to one terminal).
    void SetProgress(TProgressBar* progress, bool sameTerminal) {
        progress_ = progress;
        outShowsProgress_ = sameTerminal;
    }

    std::size_t RenamedCount() const { return renamed_; }
    std::size_t RefusedCount() const { return refused_; }

    // Writes out what is buffered.
    void Flush();

private:
    void Write(std::string_view text);
    void WriteError(std::string_view text);
    std::string ReasonText(TRefusal reason, std::error_code error) const;

    TCommandOptions::TOutput form_;
    bool quiet_;
    bool planned_;
    std::FILE* out_;
    std::FILE* err_;
    TProgressBar* progress_ = nullptr;
    bool outShowsProgress_ = false;
    bool outLost_ = false;
    std::size_t renamed_ = 0;
    std::size_t refused_ = 0;
    std::string line_; // the line being made, kept for its room
};

} // namespace nomilo
