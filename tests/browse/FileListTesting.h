#pragma once

#include "browse/FileListBox.h"
#include "tests/support/TempFolder.h"

#include <memory>
#include <string>
#include <vector>

namespace nomilo::test {

// A file list shown on `folder` (and so read), multiple selection on, counting its
// notifications.
struct ShownList {
    explicit ShownList(const std::string& folder, bool multiSelect = true);

    TFileListBox* operator->() const { return list.get(); }
    TFileListBox& operator*() const { return *list; }

    std::vector<std::string> Texts() const;
    std::vector<bool> Selection() const;
    // Clicks entry `row` with the keys `modifiers` held.
    void Click(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const;

    std::unique_ptr<TFileListBox> list;
    int changes = 0;
    int clicks = 0;
};

std::vector<std::string> TextsOf(const TFileListBox& list);

} // namespace nomilo::test
