#pragma once

#include "listing/TreeWalk.h"
#include "settings/StartSelection.h"

#include <QString>
#include <set>
#include <string>
#include <vector>

class QWidget;

namespace nomilo {

// The message that names the paths of a start selection that were left out, in the current
// language: its first line, then one "path: reason" a line for the first 20 paths and a line
// that tells how many more there are. A path is decoded from UTF-8 (bytes that are not UTF-8 and
// control characters as replacement characters), so that each stays on a line of its own.
QString LeftOutPathsText(const std::vector<TLeftOutPath>& leftOut);

// Shows that message in a warning box under `caption`, with a single OK; plain text, whatever
// the paths hold.
void ShowLeftOutPaths(QWidget* owner, const QString& caption,
                      const std::vector<TLeftOutPath>& leftOut);

// The message that names the folders a read of subfolders left out, in the current language: its
// first line, then one "path: why" a line (another file system, or a read that failed with the
// system's message) for the first 20 folders, and a line that tells how many more there are.
QString LeftOutFoldersText(const TTreeLeftOut& leftOut);

// Names the folders reads of subfolders leave out, each once in a session: a folder left out
// again (a read after each change of the mask) is not told again.
class TLeftOutFolders {
public:
    // Shows the folders of `leftOut` below `folder` that were not told before in a warning box
    // under `caption`, once the message loop runs (not in the middle of the read).
    void Tell(QWidget* owner, const QString& caption, const std::string& folder,
              const TTreeLeftOut& leftOut);

private:
    std::set<std::string> told_; // each folder's absolute path and why
};

} // namespace nomilo
