#pragma once

#include "platform/drives/Drives.h"

#include <string>
#include <vector>

namespace nomilo {

// Each drive's own current folder, worked out from the folders the process entered last
// (EnteredFolders.h) when the drive is entered.

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
