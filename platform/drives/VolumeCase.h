#pragma once

#include <string_view>

namespace nomilo {

// How a volume treats the letter case of names.
struct TVolumeCase {
    bool keepsCase = true;     // names keep the case they were written with
    bool caseSensitive = true; // names that differ only in case are different names
};

// The letter-case behaviour of a file-system type as the mount table names it. FAT (vfat,
// msdos), exFAT and SMB shares (cifs, smb3, smbfs) keep case but ignore it; every other type,
// an empty or unknown one included, distinguishes it, as Linux file systems do. NTFS (ntfs3,
// ntfs-3g through fuseblk) distinguishes case when mounted on Linux.
TVolumeCase VolumeCaseOfType(std::string_view fsType);

} // namespace nomilo
