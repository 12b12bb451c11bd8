#include "browse/Accessibility.h"

#include "browse/DriveComboBoxAccessible.h"
#include "browse/FileListAccessible.h"

namespace nomilo {

void InstallBrowseAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(TFileListAccessible::Create);
        QAccessible::installFactory(TDriveComboBoxAccessible::Create);
        return true;
    }();
    (void)installed;
}

} // namespace nomilo
