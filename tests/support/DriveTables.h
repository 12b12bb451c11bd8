#pragma once

#include "platform/drives/Drives.h"

#include <string>

namespace nomilo::test {

// A desktop's mount table: a USB stick, a CD without a label and a network share, with the
// pseudo file systems every Linux machine mounts. None of its mount points need exist.
inline const std::string kDesktopMounts =
    "22 28 0:21 / /proc rw,nosuid,nodev,noexec,relatime shared:5 - proc proc rw\n"
    "23 28 0:22 / /sys rw,nosuid,nodev,noexec,relatime shared:6 - sysfs sysfs rw\n"
    "24 28 0:5 / /dev rw,nosuid,relatime shared:2 - devtmpfs udev rw,size=8000000k,mode=755\n"
    "25 24 0:23 / /dev/shm rw,nosuid,nodev shared:3 - tmpfs tmpfs rw\n"
    "27 26 0:25 / /run/user/1000 rw,nosuid shared:300 - tmpfs tmpfs rw,size=1600000k\n"
    "32 28 8:17 / /media/stick rw,nosuid,nodev shared:12 - vfat /dev/sdb1 rw,fmask=0022\n"
    "29 23 0:26 / /sys/fs/cgroup rw,nosuid shared:9 - cgroup2 cgroup2 rw\n"
    "31 28 7:0 / /snap/core/123 ro,nodev,relatime shared:11 - squashfs /dev/loop0 ro\n"
    "33 28 11:0 / /media/cd ro,nosuid,nodev shared:13 - iso9660 /dev/sr0 ro,nojoliet\n"
    "34 28 0:40 / /mnt/x rw,relatime shared:14 - cifs //Server/Share rw,vers=3.1.1\n"
    "35 28 0:41 / /home rw,relatime shared:15 - autofs systemd-1 rw,fd=49\n"
    "36 28 0:42 / /var/lib/docker/overlay2/abc/merged rw - overlay overlay rw,lowerdir=/l\n";

// A mount-table line: `mountPoint` (no escapes needed) mounted from `source` as `fsType`.
inline std::string MountLine(const std::string& mountPoint, const std::string& fsType,
                             const std::string& source) {
    static int id = 100;
    ++id;
    return std::to_string(id) + " 28 0:" + std::to_string(id) + " / " + mountPoint +
           " rw,relatime shared:1 - " + fsType + " " + source + " rw\n";
}

// Drive sources for a prepared mount table: "/" is ext4 on /dev/sda1 labelled "SYSTEM", then the
// lines of `more`. /dev/sdb* are removable; /dev/sdc1 is labelled "Backup". Mount points are
// looked at for real unless `folderExists` says otherwise.
inline TDriveSources PreparedDrives(const std::string& more,
                                    std::function<bool(const std::string&)> folderExists = {}) {
    TDriveSources sources;
    sources.mountTable = "28 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n" + more;
    sources.labels = {{"/dev/sda1", "SYSTEM"}, {"/dev/sdb1", "STICK"}, {"/dev/sdc1", "Backup"}};
    sources.isRemovable = [](const std::string& device) { return device.starts_with("/dev/sdb"); };
    sources.folderExists = std::move(folderExists);
    return sources;
}

} // namespace nomilo::test
