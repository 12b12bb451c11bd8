#pragma once

class QAbstractItemView;

namespace nomilo {

// Makes assistive technologies see the file list and the drive selector through their own
// interfaces (TFileListAccessible, TDriveComboBoxAccessible). Called by their constructors;
// installs once, whatever the number of calls.
void InstallBrowseAccessibility();

// Each time `list` gets the focus, tells assistive technologies its current entry as the focus,
// right after the list itself: a screen reader then reads the entry and its state, as it does in
// the lists of other toolkits, and not only the list's name and size. (Qt tells the current entry
// only when it changes, and a screen reader finds it in a focused list only through a selection
// interface, which Qt 6.4's AT-SPI bridge does not offer.)
void TellCurrentEntryOnFocus(QAbstractItemView& list);

} // namespace nomilo
