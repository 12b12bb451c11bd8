#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace nomilo {

// The folders the process entered last. Every successful change of the current directory
// records the folder it entered (SetCurrentDir does this); the drives work out from it each
// drive's own current folder, only when a drive is entered, so recording costs no look at the
// mount table.

// How many recently entered folders are kept, over all drives.
constexpr std::size_t kEnteredFoldersKept = 100;

// Records `folder` (absolute) as the folder entered last. A folder entered before moves to the
// front; the oldest is forgotten when more than kEnteredFoldersKept are held.
void RecordEnteredFolder(const std::string& folder);
// The recorded folders, the one entered last first.
std::vector<std::string> EnteredFolders();
// Forgets every recorded folder.
void ForgetEnteredFolders();

} // namespace nomilo
