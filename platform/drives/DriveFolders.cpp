#include "platform/drives/DriveFolders.h"

#include "platform/files/CurrentDir.h"
#include "platform/files/EInOutError.h"
#include "platform/files/EnteredFolders.h"
#include "platform/files/FileAttributes.h"

namespace nomilo {

std::string DriveOwnFolder(const std::string& mountPoint, const std::vector<TDrive>& drives) {
    if (mountPoint.empty())
        return mountPoint; // no drive: entering it fails as an empty path does
    // The drive asked for counts even when the list no longer holds it.
    std::vector<TDrive> known = drives;
    known.push_back(TDrive{mountPoint, dtUnknown, {}, {}, {}});
    for (const std::string& folder : EnteredFolders())
        if (DriveOfPath(folder, known) == mountPoint && FolderExists(folder))
            return folder;
    return mountPoint;
}

std::string EnterDrive(const std::string& mountPoint, const std::vector<TDrive>& drives) {
    const std::string folder = DriveOwnFolder(mountPoint, drives);
    if (folder != mountPoint) {
        try {
            SetCurrentDir(folder);
            return GetCurrentDir();
        } catch (const EInOutError&) {
            // A folder that exists but may not be entered: the drive's root still may.
        }
    }
    SetCurrentDir(mountPoint);
    return GetCurrentDir();
}

std::string EnterDrive(const std::string& mountPoint) {
    return EnterDrive(mountPoint, ListDrives());
}

} // namespace nomilo
