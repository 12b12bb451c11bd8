#include "platform/drives/DriveFolders.h"

#include "platform/files/CurrentDir.h"
#include "platform/files/EInOutError.h"
#include "platform/files/FileAttributes.h"

#include <map>
#include <mutex>

namespace nomilo {

namespace {

// Mount point -> folder. The UI thread is the only user; the lock keeps a stray caller harmless.
std::mutex foldersLock;
std::map<std::string, std::string> folders;

} // namespace

void RecordDriveFolder(const std::string& mountPoint, const std::string& folder) {
    const std::lock_guard lock(foldersLock);
    folders.insert_or_assign(mountPoint, folder);
}

std::string DriveOwnFolder(const std::string& mountPoint) {
    std::string folder;
    {
        const std::lock_guard lock(foldersLock);
        const auto found = folders.find(mountPoint);
        if (found == folders.end())
            return mountPoint;
        folder = found->second;
    }
    return FolderExists(folder) ? folder : mountPoint;
}

std::string EnterDrive(const std::string& mountPoint) {
    const std::string folder = DriveOwnFolder(mountPoint);
    if (folder != mountPoint) {
        try {
            SetCurrentDir(folder);
            return GetCurrentDir();
        } catch (const EInOutError&) {
            // A folder that exists but may not be entered: the drive's root still may.
        }
    }
    SetCurrentDir(mountPoint); // no drive (the empty text) is refused as an empty path is
    return GetCurrentDir();
}

void ForgetDriveFolders() {
    const std::lock_guard lock(foldersLock);
    folders.clear();
}

} // namespace nomilo
