// libFuzzer entry for the mount-table parser and the drive listing (built by scripts/fuzz, not
// part of the suite). Any input must parse without a crash, and what comes out must keep the
// promises the drive selector relies on.
#include "platform/drives/Drives.h"
#include "platform/drives/internal/MountTable.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

void Require(bool condition) {
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace nomilo;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const TMountEntry& mount : ParseMountInfo(text)) {
        Require(!mount.mountPoint.empty() && mount.mountPoint.front() == '/');
        Require(mount.mountPoint.find('\0') == std::string::npos);
        Require(!mount.fsType.empty());
    }
    TDriveSources sources;
    sources.mountTable = std::string(text);
    sources.labels = {{"/dev/sda1", "SYSTEM"}};
    sources.isRemovable = [](const std::string& device) { return device == "/dev/sdb1"; };
    sources.folderExists = [](const std::string&) { return true; };
    const auto drives = ListDrives(sources);
    Require(!drives.empty() && drives.front().mountPoint == "/");
    for (std::size_t i = 0; i < drives.size(); ++i) {
        Require(drives[i].type != dtUnknown);
        Require(DriveOfPath(drives[i].mountPoint, drives) == drives[i].mountPoint);
        Require(i == 0 || drives[i - 1].mountPoint < drives[i].mountPoint);
        (void)DriveDescription(drives[i]);
    }
    return 0;
}
