#pragma once

#include "browse/DirectoryListBox.h"
#include "browse/DriveComboBox.h"
#include "browse/FileListBox.h"
#include "platform/drives/DriveFolders.h"
#include "platform/files/CurrentDir.h"
#include "tests/browse/FileListTesting.h"
#include "tests/support/DriveTables.h"

#include <QLabel>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace nomilo::test {

using Texts = std::vector<std::string>;

inline Texts TextsOf(const TDirectoryListBox& list) {
    Texts texts;
    for (int i = 0; i < list.EntryCount(); ++i)
        texts.emplace_back(list.EntryText(i));
    return texts;
}

inline Texts TextsOf(const TDriveComboBox& combo) {
    Texts texts;
    for (int i = 0; i < combo.EntryCount(); ++i)
        texts.push_back(combo.EntryText(i));
    return texts;
}

// A temporary tree with drives of its own: "stick" (a FAT stick, as far as the prepared mount
// table tells) and "gone", listed (its mount point was there when the table was read) but not
// there to enter; a folder list, file list, label and drive selector linked as in the main
// window and started on "a".
class FolderList : public ::testing::Test {
protected:
    void SetUp() override {
        ForgetDriveFolders();
        SetCurrentDir(tmp / "a");
        const TDriveSources sources =
            PreparedDrives(MountLine(tmp / "stick", "vfat", "/dev/sdb1") +
                               MountLine(tmp / "gone", "ext4", "/dev/sdc1"),
                           [](const std::string&) { return true; });
        files = std::make_unique<TFileListBox>();
        list = std::make_unique<TDirectoryListBox>();
        combo = std::make_unique<TDriveComboBox>();
        list->SetDriveSources(sources);
        list->SetFileList(files.get());
        label->setFixedWidth(2000);
        list->SetDirLabel(label.get());
        combo->SetDriveSources(sources);
        combo->SetDirList(list.get());
        list->OnChange = [this](TDirectoryListBox*) { ++changes; };
        list->OnClick = [this](TDirectoryListBox*) { ++clicks; };
        combo->OnChange = [this](TDriveComboBox*) { ++comboChanges; };
        combo->OnClick = [this](TDriveComboBox*) { ++comboClicks; };
        list->resize(200, 400);
        files->show();
        list->show();
        combo->show();
        comboChanges = 0;
    }
    void TearDown() override { ForgetDriveFolders(); }

    // Everything a change of folder changes.
    auto State() const {
        return std::make_tuple(list->FolderPath(), GetCurrentDir(), files->FolderPath(),
                               label->text(), TextsOf(*list), TextsOf(*files), changes);
    }
    // The folder list, the file list, the label (while linked) and the current directory are all
    // at `folder`.
    void ExpectAt(const std::string& folder) const {
        EXPECT_EQ(list->FolderPath(), folder);
        EXPECT_EQ(GetCurrentDir(), folder);
        EXPECT_EQ(files->FolderPath(), folder);
        if (list->DirLabel()) {
            EXPECT_EQ(label->text(), QString::fromUtf8(folder));
        }
        ASSERT_GE(list->CurrentIndex(), 0);
        EXPECT_EQ(list->Entry(list->CurrentIndex()).kind, fkCurrent);
    }
    int RowOf(const std::string& text) const {
        const Texts texts = TextsOf(*list);
        const auto found = std::find(texts.begin(), texts.end(), text);
        return found == texts.end() ? -1 : static_cast<int>(found - texts.begin());
    }
    QPoint Centre(const std::string& text) const {
        return list->visualRect(list->model()->index(RowOf(text), 0)).center();
    }

    TempFolder tmp{{"a/b/Alpha/", "a/b/beta/", "a/b/Gamma/", "a/b/.git/", "a/b/file.txt",
                    "a/top.txt", "a/other/", "stick/s.txt", "stick/in/photo.jpg", "stick/Photos/"}};
    std::unique_ptr<TFileListBox> files;
    std::unique_ptr<QLabel> label = std::make_unique<QLabel>();
    std::unique_ptr<TDirectoryListBox> list;
    std::unique_ptr<TDriveComboBox> combo;
    int changes = 0, clicks = 0, comboChanges = 0, comboClicks = 0;
    const int gone = 1, stick = 2; // the selector's entries
};

} // namespace nomilo::test
