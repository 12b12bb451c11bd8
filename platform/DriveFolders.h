#pragma once

#include "platform/Drives.h"

#include <string>
#include <vector>

namespace nomilo {

// Each drive's own current folder. Every successful change of the current directory records
// the folder it entered (SetCurrentDir does this); the folder of a drive is worked out only
// when the drive is entered, so recording costs no look at the mount table.

// How many recently entered folders are kept, over all drives.
constexpr std::size_t kEnteredFoldersKept = 100;

// Records `folder` (absolute) as the folder entered last. A folder entered before moves to the
// front; the oldest is forgotten when more than kEnteredFoldersKept are held.
void RecordEnteredFolder(const std::string& folder);
// The recorded folders, the one entered last first.
std::vector<std::string> EnteredFolders();
// Forgets every recorded folder.
void ForgetEnteredFolders();

// The folder entering the drive mounted at `mountPoint` goes to: the folder entered last whose
// drive (among `drives`, and the drive asked for) is that drive and which still exists as a
// folder; the mount point itself when there is none.
std::string DriveOwnFolder(const std::string& mountPoint, const std::vector<TDrive>& drives);

// Makes the drive's own current folder the current directory and answers the current
// directory then. When that folder refuses to be entered, the mount point is entered instead;
// a refusal of the mount point raises EInOutError and leaves the current directory unchanged.
std::string EnterDrive(const std::string& mountPoint, const std::vector<TDrive>& drives);
// The same among the machine's drives.
std::string EnterDrive(const std::string& mountPoint);

} // namespace nomilo
