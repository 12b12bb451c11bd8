#pragma once

#include "settings/StartSelection.h"

#include <QString>
#include <chrono>
#include <string>
#include <vector>

class QWidget;

namespace nomilo {

// The folder the window starts on may lie on a server that no longer answers (a network share
// whose server is gone, the folder the program was started in included). Nothing of the start
// may wait on it, or the window would never show: it is looked at for a moment first, and when
// it does not answer the window starts elsewhere, shows, says so, and opens it afterwards as a
// folder the user picked.

// How long the start waits for its folder to answer, where that lies on a mount that may wait.
inline constexpr std::chrono::milliseconds kStartFolderPatience{400};

// Whether the folder at `path` (or the file or pattern it leads to) answers within that time
// (AnswersWithin).
bool StartFolderAnswers(const std::string& path);

// A folder to start on instead: the home folder when it answers, else "/".
std::string AnsweringStartFolder();

// The start selection of `paths`: sorted out (GroupSelection) when the first path's folder
// answers, else put off (UngroupedSelection) until the window has shown.
TStartSelection StartSelectionOf(const std::vector<std::string>& paths);

// The message, in the current language, that `folder` does not answer and opens as soon as it
// does: a warning box under `caption`, with a single OK.
void ShowFolderNoAnswer(QWidget* owner, const QString& caption, const std::string& folder);

} // namespace nomilo
