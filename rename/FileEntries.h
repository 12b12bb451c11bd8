#pragma once

#include <string>

namespace nomilo {

// The entries of the file list as the rename batch sees them: positions 0 to EntryCount() - 1,
// each with a text (a bare file name) and a selected flag. A bad position makes every
// operation throw and change nothing.
class IFileEntries {
public:
    virtual ~IFileEntries() = default;

    virtual int EntryCount() const = 0;
    virtual std::string EntryText(int index) const = 0;
    virtual bool IsEntrySelected(int index) const = 0;
    // Sets or clears the flag of this one entry, with no notification.
    virtual void SetEntrySelected(int index, bool selected) = 0;
    // Replaces the text in place: the entry keeps its position and its other attributes, it
    // ends up not selected, the list is neither re-sorted nor re-read, and no file is touched.
    virtual void ReplaceEntryText(int index, const std::string& text) = 0;
};

} // namespace nomilo
