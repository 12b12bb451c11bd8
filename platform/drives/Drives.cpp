#include "platform/drives/Drives.h"

#include "platform/drives/internal/MountTable.h"
#include "platform/files/DirHandle.h"
#include "platform/files/FileAttributes.h"
#include "platform/text/AsciiText.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <unistd.h>

namespace nomilo {

namespace {

// True when `path` is `mountPoint` or lies below it.
bool IsOnMountPoint(const std::string& path, const std::string& mountPoint) {
    if (mountPoint == "/")
        return !path.empty() && path.front() == '/';
    return path.size() >= mountPoint.size() &&
           path.compare(0, mountPoint.size(), mountPoint) == 0 &&
           (path.size() == mountPoint.size() || path[mountPoint.size()] == '/');
}

bool IsNetworkType(const std::string& fsType) {
    static const std::array<const char*, 13> types = {
        "nfs",  "nfs4", "cifs",       "smb3",        "smbfs",       "ncpfs",    "afs",
        "ceph", "9p",   "fuse.sshfs", "fuse.rclone", "fuse.davfs2", "fuse.s3fs"};
    return std::find(types.begin(), types.end(), fsType) != types.end();
}

bool IsBlockDevice(const std::string& source) {
    return source.starts_with("/dev/");
}

// Folders of the system's own: a RAM file system there is working space, not a drive.
bool IsSystemFolder(const std::string& mountPoint) {
    return IsOnMountPoint(mountPoint, "/dev") || IsOnMountPoint(mountPoint, "/run") ||
           IsOnMountPoint(mountPoint, "/sys") || IsOnMountPoint(mountPoint, "/proc");
}

TDriveType Classify(const TMountEntry& mount, const TDriveSources& sources) {
    if (mount.mountPoint == "/")
        return dtFixed;
    if (IsNetworkType(mount.fsType))
        return dtNetwork;
    if (mount.fsType == "iso9660" || mount.fsType == "udf")
        return dtCdRom;
    const bool block = IsBlockDevice(mount.source);
    if (block && sources.isRemovable && sources.isRemovable(mount.source))
        return dtRemovable;
    if ((mount.fsType == "tmpfs" || mount.fsType == "ramfs") && !IsSystemFolder(mount.mountPoint))
        return dtRam;
    if (block && mount.fsType != "squashfs")
        return dtFixed;
    return dtUnknown;
}

std::string CanonicalPath(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr),
                                                         &std::free);
    return resolved ? std::string(resolved.get()) : std::string();
}

// The first line of a small file such as a sysfs attribute; empty when it cannot be read.
std::string ReadFirstLine(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    char buffer[64];
    const ssize_t count = read(fd, buffer, sizeof buffer);
    close(fd);
    if (count <= 0)
        return {};
    std::string text(buffer, static_cast<std::size_t>(count));
    return text.substr(0, text.find('\n'));
}

// sysfs keeps the flag on the disk: a partition (sdb1) has none of its own, its parent
// folder in sysfs is the disk (sdb). Only sysfs is read; the device is not opened.
bool SystemIsRemovable(const std::string& device) {
    const std::string resolved = CanonicalPath(device);
    if (!resolved.starts_with("/dev/"))
        return false;
    const std::string name = resolved.substr(resolved.rfind('/') + 1);
    if (name.empty() || name == "." || name == "..")
        return false;
    const std::string folder = "/sys/class/block/" + name;
    std::string flag = ReadFirstLine(folder + "/removable");
    if (flag.empty())
        flag = ReadFirstLine(folder + "/../removable");
    return flag == "1";
}

// Device path (resolved) -> label, from the links udev keeps in /dev/disk/by-label.
std::map<std::string, std::string> ReadLabelLinks() {
    std::map<std::string, std::string> labels;
    const std::string folder = "/dev/disk/by-label";
    const DirHandle dir = OpenDir(folder.c_str());
    if (!dir)
        return labels;
    while (const dirent* entry = readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string device = CanonicalPath(folder + "/" + name);
        if (!device.empty())
            labels.emplace(device, UnescapeLabelName(name));
    }
    return labels;
}

// The machine's drive sources around the mount table `mountTable`.
TDriveSources SystemDriveSources(std::string mountTable) {
    TDriveSources sources;
    sources.mountTable = std::move(mountTable);
    sources.labels = ReadLabelLinks();
    // A mount source may name its device by another path (/dev/mapper/x, /dev/disk/by-uuid/...):
    // it gets the label of the device that path leads to.
    if (!sources.labels.empty()) {
        for (const TMountEntry& mount : ParseMountInfo(sources.mountTable)) {
            if (!IsBlockDevice(mount.source) || sources.labels.contains(mount.source))
                continue;
            const auto found = sources.labels.find(CanonicalPath(mount.source));
            if (found != sources.labels.end())
                sources.labels.emplace(mount.source, found->second);
        }
    }
    sources.isRemovable = SystemIsRemovable;
    sources.folderExists = FolderExists;
    return sources;
}

} // namespace

std::string UnescapeLabelName(std::string_view name) {
    std::string label;
    label.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && name.size() - i >= 4 && name[i + 1] == 'x' &&
            HexDigitValue(name[i + 2]) >= 0 && HexDigitValue(name[i + 3]) >= 0) {
            label.push_back(
                static_cast<char>(HexDigitValue(name[i + 2]) * 16 + HexDigitValue(name[i + 3])));
            i += 3;
        } else {
            label.push_back(name[i]);
        }
    }
    return label;
}

TDriveSources SystemDriveSources() {
    return SystemDriveSources(ReadMountTable());
}

std::vector<TDrive> ListDrives(const TDriveSources& sources) {
    // The last mount of a mount point hides the ones before it; the map keeps mount-point order.
    std::map<std::string, TMountEntry> visible;
    for (TMountEntry& mount : ParseMountInfo(sources.mountTable))
        visible[mount.mountPoint] = std::move(mount);

    std::vector<TDrive> drives;
    std::vector<std::string> networkMountPoints;
    for (const auto& point : visible) {
        const std::string& mountPoint = point.first;
        const TMountEntry& mount = point.second;
        TDrive drive;
        drive.mountPoint = mountPoint;
        drive.type = Classify(mount, sources);
        if (drive.type == dtUnknown)
            continue;
        drive.fsType = mount.fsType;
        if (drive.type == dtNetwork) {
            networkMountPoints.push_back(mountPoint);
            drive.remoteName = mount.source;
        } else if (mountPoint != "/") {
            // Looking at a path below a network mount point may wait for its server.
            const bool belowNetwork = std::any_of(
                networkMountPoints.begin(), networkMountPoints.end(),
                [&](const std::string& network) { return IsOnMountPoint(mountPoint, network); });
            const bool isFolder =
                belowNetwork || (sources.folderExists ? sources.folderExists(mountPoint)
                                                      : FolderExists(mountPoint));
            if (!isFolder)
                continue;
        }
        if (drive.type != dtRemovable) {
            const auto label = sources.labels.find(mount.source);
            if (label != sources.labels.end())
                drive.volumeLabel = label->second;
        }
        drives.push_back(std::move(drive));
    }
    if (drives.empty() || drives.front().mountPoint != "/")
        drives.insert(drives.begin(), TDrive{"/", dtFixed, {}, {}, {}});
    return drives;
}

std::vector<TDrive> ListDrives() {
    // Listing the drives reads the mount table, the labels and sysfs: done again only after
    // the kernel reports a change of the mounts, not on every change of folder.
    static std::mutex lock;
    static TMountTableWatch table;
    static std::vector<TDrive> drives;
    const std::lock_guard guard(lock);
    bool reread = false;
    const std::string& text = table.Text(reread);
    if (reread)
        drives = ListDrives(SystemDriveSources(text));
    return drives;
}

std::string DriveOfPath(const std::string& path, const std::vector<TDrive>& drives) {
    std::string best;
    for (const TDrive& drive : drives)
        if (drive.mountPoint.size() > best.size() && IsOnMountPoint(path, drive.mountPoint))
            best = drive.mountPoint;
    return best;
}

std::string DriveOfPath(const std::string& path) {
    return DriveOfPath(path, ListDrives());
}

std::vector<std::string> OtherNetworkMountPoints(const std::string& folder,
                                                 const std::vector<TDrive>& drives) {
    const std::string own = DriveOfPath(folder, drives);
    std::vector<std::string> mountPoints;
    for (const TDrive& drive : drives)
        if (drive.type == dtNetwork && drive.mountPoint != own)
            mountPoints.push_back(drive.mountPoint);
    return mountPoints;
}

std::string DriveDescription(const TDrive& drive) {
    switch (drive.type) {
    case dtRemovable:
        return {};
    case dtNetwork:
        if (!drive.remoteName.empty())
            return drive.remoteName;
        [[fallthrough]];
    default:
        return "[" + drive.volumeLabel + "]";
    }
}

} // namespace nomilo
