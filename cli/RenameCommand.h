#pragma once

#include <string>
#include <vector>

namespace nomilo {

// How a run of nomilo-rename ended.
enum TExitStatus : int {
    esDone = 0,    // every planned rename was done (or would be, in a dry run)
    esRefused = 1, // some renames were refused, the rest done
    esUsage = 2,   // a usage or pattern error: nothing was touched
    esFolder = 3,  // the folder cannot be entered or read; for an undo also: the last batch's
                   // folder is not at its path, or the journal cannot be used
};

// Runs nomilo-rename with `arguments` (those after the program's name), writing to standard
// output and standard error, and answers its exit status. A SIGINT, SIGTERM or SIGHUP during a
// batch or an undo stops it after the rename under way, leaves the journal in order, and ends
// the process by that signal.
int RunRenameCommand(const std::vector<std::string>& arguments);

} // namespace nomilo
