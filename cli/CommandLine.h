#pragma once

#include "rename/RenameBatch.h"

#include <string>
#include <vector>

namespace nomilo {

// What one run of nomilo-rename is asked to do, from its arguments.
struct TCommandOptions {
    enum TAction { Rename, DryRun, Undo, Help, Version };
    enum TOutput { Lines, Json, NulEnded };

    TAction action = Rename;
    // The rewrite's texts and switches; selectedOnly is on exactly when FILEs were named.
    TRenameInputs inputs = [] {
        TRenameInputs every;
        every.selectedOnly = false;
        return every;
    }();
    std::string mask = "*.*";
    std::string folder = "."; // the current directory when none is given
    std::vector<std::string> files; // the FILEs after "--", as given
    bool recursive = false;         // the files of FOLDER's subfolders too
    TOutput output = Lines;
    bool quiet = false;
};

// Reads the arguments that follow the program's name:
//   [OPTIONS] FIND REPLACE [FOLDER] [-- FILE...]
//   [OPTIONS] --prefix TEXT [FOLDER] [-- FILE...]
//   --undo [--json | -0] [-q]
// Options may stand anywhere before "--"; short ones may be bundled ("-in"), and an option's
// value may follow it as the next argument or joined to it ("-mX", "--mask=X"). --find and
// --replace give the texts in place of the first two places, for texts that begin with "-".
// --help and --version win over everything else. Throws EUsage for anything it cannot run,
// before anything is touched: unknown options, missing or surplus arguments, an empty FIND, a
// mask part holding "/", --regex or --all beside --prefix (which takes no FIND).
TCommandOptions ParseCommandLine(const std::vector<std::string>& arguments);

// The text of --help.
std::string UsageText();

} // namespace nomilo
