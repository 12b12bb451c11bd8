#pragma once

namespace nomilo {

// Makes assistive technologies see the file list and the drive selector through their own
// interfaces (TFileListAccessible, TDriveComboBoxAccessible). Called by their constructors;
// installs once, whatever the number of calls.
void InstallBrowseAccessibility();

} // namespace nomilo
