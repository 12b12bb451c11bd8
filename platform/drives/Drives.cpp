#include "platform/drives/Drives.h"

#include "platform/drives/internal/MountTable.h"
#include "platform/files/DirHandle.h"
#include "platform/files/FileAttributes.h"
#include "platform/text/AsciiText.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string_view>
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

bool IsOneOf(const std::string& fsType, std::initializer_list<std::string_view> types) {
    return std::find(types.begin(), types.end(), fsType) != types.end();
}

// FUSE file systems whose server works on local data only (another folder, an image, an
// encrypted folder, a disk): no server elsewhere can keep them from answering. Every other
// FUSE file system may be a network share (GNOME's gvfsd-fuse, curlftpfs, ...), plain "fuse"
// and the ones not known here included.
bool IsLocalFuseType(const std::string& fsType) {
    return IsOneOf(fsType, {"fuseblk", "fuse.bindfs", "fuse.fuse-overlayfs", "fuse.mergerfs",
                            "fuse.unionfs", "fuse.unionfs-fuse", "fuse.encfs", "fuse.gocryptfs",
                            "fuse.cryfs", "fuse.securefs", "fuse.squashfuse", "fuse.snapfuse",
                            "fuse.ntfs-3g", "fuse.exfat", "fuse.fusefat", "fuse.fuse2fs",
                            "fuse.archivemount", "fuse.fuseiso", "fuse.lxcfs"});
}

bool IsFuseType(const std::string& fsType) {
    return fsType == "fuse" || fsType.starts_with("fuse.") || fsType == "fuseblk";
}

bool IsNetworkType(const std::string& fsType) {
    if (IsFuseType(fsType))
        return !IsLocalFuseType(fsType);
    return IsOneOf(fsType, {"nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "afs", "ceph", "9p"});
}

// File systems of the machine itself, whose answers come from the kernel or a local disk.
bool IsLocalType(const std::string& fsType) {
    if (IsFuseType(fsType))
        return IsLocalFuseType(fsType);
    return IsOneOf(fsType,
                   {"ext2",    "ext3",     "ext4",        "xfs",      "btrfs",     "f2fs",
                    "jfs",     "reiserfs", "nilfs2",      "bcachefs", "zfs",       "vfat",
                    "msdos",   "exfat",    "ntfs",        "ntfs3",    "hfs",       "hfsplus",
                    "udf",     "iso9660",  "squashfs",    "erofs",    "cramfs",    "romfs",
                    "tmpfs",   "ramfs",    "devtmpfs",    "overlay",  "ecryptfs",  "proc",
                    "sysfs",   "cgroup",   "cgroup2",     "devpts",   "mqueue",    "hugetlbfs",
                    "debugfs", "tracefs",  "securityfs",  "pstore",   "bpf",       "configfs",
                    "fusectl", "efivarfs", "binfmt_misc", "nsfs",     "selinuxfs", "rpc_pipefs",
                    "nfsd"});
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

namespace {

// The visible mounts of a mount table by mount point, in mount-point order: the last mount of a
// mount point hides the ones before it.
std::map<std::string, TMountEntry> VisibleMounts(const std::string& mountTable) {
    std::map<std::string, TMountEntry> visible;
    for (TMountEntry& mount : ParseMountInfo(mountTable))
        visible[mount.mountPoint] = std::move(mount);
    return visible;
}

std::vector<std::string> RemoteMountPointsOf(const std::map<std::string, TMountEntry>& visible) {
    std::vector<std::string> remote;
    for (const auto& [mountPoint, mount] : visible)
        if (mountPoint != "/" && !IsLocalType(mount.fsType))
            remote.push_back(mountPoint);
    return remote;
}

} // namespace

std::vector<TDrive> ListDrives(const TDriveSources& sources) {
    const std::map<std::string, TMountEntry> visible = VisibleMounts(sources.mountTable);
    // Looking at a path at or below one of these may wait for a server.
    const std::vector<std::string> remote = RemoteMountPointsOf(visible);

    std::vector<TDrive> drives;
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
            drive.remoteName = mount.source;
        } else if (mountPoint != "/") {
            const bool onRemote =
                std::any_of(remote.begin(), remote.end(), [&](const std::string& other) {
                    return IsOnMountPoint(mountPoint, other);
                });
            const bool isFolder =
                onRemote || (sources.folderExists ? sources.folderExists(mountPoint)
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

namespace {

// The machine's drives and remote mount points, listed again only after the kernel reports a
// change of the mounts, not on every change of folder: listing reads the mount table, the
// labels and sysfs.
struct MachineMounts {
    std::vector<TDrive> drives;
    std::vector<std::string> remote;
};

MachineMounts CurrentMachineMounts() {
    static std::mutex lock;
    static TMountTableWatch table;
    static MachineMounts mounts;
    const std::lock_guard guard(lock);
    bool reread = false;
    const std::string& text = table.Text(reread);
    if (reread) {
        mounts.drives = ListDrives(SystemDriveSources(text));
        mounts.remote = RemoteMountPointsOf(VisibleMounts(text));
    }
    return mounts;
}

} // namespace

std::vector<TDrive> ListDrives() {
    return CurrentMachineMounts().drives;
}

std::vector<std::string> RemoteMountPoints(const TDriveSources& sources) {
    return RemoteMountPointsOf(VisibleMounts(sources.mountTable));
}

std::vector<std::string> RemoteMountPoints() {
    return CurrentMachineMounts().remote;
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

std::vector<std::string> OtherRemoteMountPoints(const std::string& folder,
                                                std::vector<std::string> remote) {
    // The deepest of them that holds the folder is its own.
    std::string own;
    for (const std::string& mountPoint : remote)
        if (mountPoint.size() > own.size() && IsOnMountPoint(folder, mountPoint))
            own = mountPoint;
    std::erase(remote, own);
    return remote;
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
