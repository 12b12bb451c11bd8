#include "tests/browse/FileListTesting.h"

#include <QTest>

namespace nomilo::test {

ShownList::ShownList(const std::string& folder, bool multiSelect)
    : list(std::make_unique<TFileListBox>()) {
    list->SetMultiSelect(multiSelect);
    list->SetFolderPath(folder);
    list->resize(200, 300);
    list->OnChange = [this](TFileListBox*) { ++changes; };
    list->OnClick = [this](TFileListBox*) { ++clicks; };
    list->show();
    changes = clicks = 0; // the first read is counted by tests that want it
}

std::vector<std::string> TextsOf(const TFileListBox& list) {
    std::vector<std::string> texts;
    for (int i = 0; i < list.EntryCount(); ++i)
        texts.push_back(list.EntryText(i));
    return texts;
}

std::vector<std::string> ShownList::Texts() const {
    return TextsOf(*list);
}

std::vector<bool> ShownList::Selection() const {
    std::vector<bool> flags;
    for (int i = 0; i < list->EntryCount(); ++i)
        flags.push_back(list->IsEntrySelected(i));
    return flags;
}

void ShownList::Click(int row, Qt::KeyboardModifiers modifiers) const {
    list->scrollTo(list->model()->index(row, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                      list->visualRect(list->model()->index(row, 0)).center());
}

} // namespace nomilo::test
