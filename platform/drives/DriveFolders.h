#pragma once

#include <string>

namespace nomilo {

// Each drive's own current folder: the folder last recorded for it, one per drive, for as many
// drives as there are. The folder list records its folder under its drive after every change
// of folder (it knows the drive, from the drive list it works with); entering a drive goes back
// there.

// Records `folder` (absolute) as the own current folder of the drive mounted at `mountPoint`.
void RecordDriveFolder(const std::string& mountPoint, const std::string& folder);

// The folder entering the drive mounted at `mountPoint` goes to: its recorded folder while that
// is still a folder; else the mount point itself.
std::string DriveOwnFolder(const std::string& mountPoint);

// Makes the drive's own current folder the current directory and answers the current
// directory then. When that folder refuses to be entered, the mount point is entered instead;
// a refusal of the mount point raises EInOutError and leaves the current directory unchanged.
std::string EnterDrive(const std::string& mountPoint);

// Forgets every recorded folder.
void ForgetDriveFolders();

} // namespace nomilo
