#include "tests/browse/DriveTesting.h"

namespace nomilo::test {

std::string MountLine(const std::string& mountPoint, const std::string& fsType,
                      const std::string& source) {
    static int id = 100;
    ++id;
    return std::to_string(id) + " 28 0:" + std::to_string(id) + " / " + mountPoint +
           " rw,relatime shared:1 - " + fsType + " " + source + " rw\n";
}

TDriveSources PreparedDrives(const std::string& more) {
    TDriveSources sources;
    sources.mountTable = "28 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n" + more;
    sources.labels = {{"/dev/sda1", "SYSTEM"}, {"/dev/sdb1", "STICK"}, {"/dev/sdc1", "Backup"}};
    sources.isRemovable = [](const std::string& device) { return device.starts_with("/dev/sdb"); };
    return sources;
}

} // namespace nomilo::test
