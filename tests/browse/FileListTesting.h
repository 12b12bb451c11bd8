#pragma once

#include "browse/FileListBox.h"
#include "tests/support/TempFolder.h"

#include <QTest>
#include <memory>
#include <string>
#include <vector>

namespace nomilo::test {

inline std::vector<std::string> TextsOf(const TFileListBox& list) {
    std::vector<std::string> texts;
    for (int i = 0; i < list.EntryCount(); ++i)
        texts.push_back(list.EntryText(i));
    return texts;
}

// A file list shown on `folder` (and so read), multiple selection on, counting its
// notifications from then on.
struct ShownList {
    explicit ShownList(const std::string& folder, bool multiSelect = true) {
        list->SetMultiSelect(multiSelect);
        list->SetFolderPath(folder);
        list->resize(200, 300);
        list->OnChange = [this](TFileListBox*) { ++changes; };
        list->OnClick = [this](TFileListBox*) { ++clicks; };
        list->show();
        changes = clicks = 0;
    }
    TFileListBox* operator->() const { return list.get(); }
    TFileListBox& operator*() const { return *list; }

    std::vector<std::string> Texts() const { return TextsOf(*list); }
    std::vector<bool> Selection() const {
        std::vector<bool> flags;
        for (int i = 0; i < list->EntryCount(); ++i)
            flags.push_back(list->IsEntrySelected(i));
        return flags;
    }
    // Clicks entry `row` with the keys `modifiers` held.
    void Click(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const {
        list->scrollTo(list->model()->index(row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                          list->visualRect(list->model()->index(row, 0)).center());
    }

    std::unique_ptr<TFileListBox> list = std::make_unique<TFileListBox>();
    int changes = 0;
    int clicks = 0;
};

} // namespace nomilo::test
