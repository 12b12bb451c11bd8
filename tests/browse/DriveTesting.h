#pragma once

#include "platform/Drives.h"

#include <string>

namespace nomilo::test {

// A line of a mount table in the format of /proc/self/mountinfo: `mountPoint` (no escapes
// needed) mounted from `source` with file system `fsType`.
std::string MountLine(const std::string& mountPoint, const std::string& fsType,
                      const std::string& source);

// Drive sources for a prepared mount table: "/" is ext4 on /dev/sda1, labelled "SYSTEM", and
// the lines of `more` follow. Devices /dev/sdb* are removable; /dev/sdc1 is labelled "Backup".
// Mount points are looked at for real.
TDriveSources PreparedDrives(const std::string& more);

} // namespace nomilo::test
