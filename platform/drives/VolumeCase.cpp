#include "platform/drives/VolumeCase.h"

#include <array>

namespace nomilo {

TVolumeCase VolumeCaseOfType(std::string_view fsType) {
    static constexpr std::array<std::string_view, 6> caseBlind = {"vfat", "msdos", "exfat",
                                                                  "cifs", "smb3",  "smbfs"};
    for (std::string_view type : caseBlind)
        if (fsType == type)
            return {true, false};
    return {true, true};
}

} // namespace nomilo
