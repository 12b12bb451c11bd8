#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace nomilo {

// The kind of a drive, in the type codes the drive selector keys its glyphs on.
enum TDriveType : int {
    dtUnknown = 0, // not a drive: never listed
    dtRemovable = 2,
    dtFixed = 3,
    dtNetwork = 4,
    dtCdRom = 5,
    dtRam = 6,
};

// A mounted volume, named by its mount point.
struct TDrive {
    std::string mountPoint;
    TDriveType type = dtUnknown;
    std::string volumeLabel; // the file-system label; empty when there is none or not asked
    std::string remoteName;  // network drives: the mount source; empty when unknown
    std::string fsType; // the file-system type of its mount ("ext4", "vfat", ...); may be empty
};

// What the drive listing learns from the machine. SystemDriveSources() gathers the machine's
// own; a test fills one in by hand.
struct TDriveSources {
    std::string mountTable;                    // text in the format of /proc/self/mountinfo
    std::map<std::string, std::string> labels; // mount source (device path) -> volume label
    // Whether the disk of a block device (a source such as "/dev/sdb1") is removable; no
    // function means none is.
    std::function<bool(const std::string& device)> isRemovable;
    // Whether a local mount point is a folder; no function means FolderExists.
    std::function<bool(const std::string& path)> folderExists;
};

// The machine's mount table, the labels of /dev/disk/by-label and the removable flags of sysfs.
// Touches no drive: nothing is mounted, no device is opened.
TDriveSources SystemDriveSources();

// The drives present, in mount-point order (byte order of the paths), "/" always first:
//   "/" is fixed, whatever its file system;
//   nfs, nfs4, cifs, smb3, smbfs, ncpfs, afs, ceph, 9p and FUSE mounts are network drives,
//   except FUSE file systems of local data (fuse.bindfs, fuse.mergerfs, fuse.encfs, fuseblk,
//   ...): every FUSE type not known as local (plain fuse, fuse.gvfsd-fuse, fuse.curlftpfs, one
//   never heard of) may be a share that stops answering;
//   iso9660 and udf are CD-ROMs;
//   a block device source whose disk is removable is a removable drive;
//   tmpfs and ramfs outside /dev, /run, /sys and /proc are RAM drives;
//   any other block device source is fixed, except squashfs images;
//   anything else (proc, sysfs, cgroup, overlay, autofs, ...) is not a drive.
// A mount point mounted twice counts once, as its last mount in the table. A local mount point
// that is not a folder is left out. Listing never blocks: a mount point on a remote mount
// (RemoteMountPoints), the remote one itself included, is never looked at, and a removable drive
// gets no label.
std::vector<TDrive> ListDrives(const TDriveSources& sources);
// The same for the machine, from SystemDriveSources(): listed once, and again only after the
// kernel reports a change of the mounts (a label changed without one shows after the next).
std::vector<TDrive> ListDrives();

// The mount point of the drive that holds `path`: of all the drives' mount points, the longest
// that is `path` itself or a leading part of it ending at a "/" ("/mnt/xy" is not on "/mnt/x").
// The empty text for a path that is not absolute.
std::string DriveOfPath(const std::string& path, const std::vector<TDrive>& drives);
// The same among the machine's drives.
std::string DriveOfPath(const std::string& path);

// The mount points of the visible mounts whose answers may have to come from elsewhere: every
// mount but "/" whose file system is not one of the machine's own (disks, memory, the kernel's,
// FUSE file systems of local data). Network drives, FUSE shares, automount points and types
// never heard of are among them. Told from the mount table alone.
std::vector<std::string> RemoteMountPoints(const TDriveSources& sources);
// The same for the machine, kept with its drives (ListDrives).
std::vector<std::string> RemoteMountPoints();

// Of `remote` (RemoteMountPoints), the mount points other than the one that holds `folder`:
// the places a look at the entries of `folder` must not wait on. The mount of the folder
// itself is left out, since the user chose to wait on it by entering the folder.
std::vector<std::string> OtherRemoteMountPoints(const std::string& folder,
                                                std::vector<std::string> remote);

// The text the drive selector shows after the mount point, before letter case applies: none
// for a removable drive; "[label]" for fixed, CD-ROM and RAM drives; the remote name for a
// network drive, or "[label]" when it has none.
std::string DriveDescription(const TDrive& drive);

// A name of /dev/disk/by-label with udev's escapes ("\x20" for a space, "\x2f" for "/", ...)
// turned back into the label's bytes. A backslash that starts no such escape stands for itself.
std::string UnescapeLabelName(std::string_view name);

} // namespace nomilo
