#include "platform/DriveFolders.h"

#include "platform/CurrentDir.h"
#include "platform/EInOutError.h"
#include "platform/FileAttributes.h"

#include <algorithm>
#include <deque>
#include <mutex>

namespace nomilo {

namespace {

// Newest first. The UI thread is the only user; the lock keeps a stray caller harmless.
std::mutex enteredLock;
std::deque<std::string> entered;

} // namespace

void RecordEnteredFolder(const std::string& folder) {
    const std::lock_guard lock(enteredLock);
    // The file list enters the same folder on every read: that must stay cheap.
    if (!entered.empty() && entered.front() == folder)
        return;
    const auto known = std::find(entered.begin(), entered.end(), folder);
    if (known != entered.end())
        entered.erase(known);
    entered.push_front(folder);
    if (entered.size() > kEnteredFoldersKept)
        entered.pop_back();
}

std::vector<std::string> EnteredFolders() {
    const std::lock_guard lock(enteredLock);
    return {entered.begin(), entered.end()};
}

void ForgetEnteredFolders() {
    const std::lock_guard lock(enteredLock);
    entered.clear();
}

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
