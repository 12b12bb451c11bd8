#pragma once

#include "settings/StartSelection.h"

#include <QString>
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

} // namespace nomilo
