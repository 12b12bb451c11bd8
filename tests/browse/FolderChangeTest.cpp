#include "browse/FileListBox.h"
#include "platform/CurrentDir.h"
#include "platform/EInOutError.h"
#include "tests/browse/FileListTesting.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace nomilo {
namespace {

using test::ShownList;
using test::TempFolder;
using ::testing::ElementsAre;

TEST(FolderChange, RelativePathsAreTakenFromTheFolderShownAndMissingFoldersRaise) {
    TempFolder tmp;
    tmp.AddFolder("a/b");
    tmp.AddFile("a/b/inner.txt");
    tmp.AddFile("a/outer.txt");
    ShownList list(tmp / "a");
    SetCurrentDir("/"); // someone else moved the process's current directory
    list->SetFolderPath("b");
    EXPECT_EQ(list->FolderPath(), tmp / "a/b");
    EXPECT_EQ(GetCurrentDir(), tmp / "a/b");
    EXPECT_THAT(list.Texts(), ElementsAre("inner.txt"));
    list->SetFolderPath("..");
    EXPECT_EQ(list->FolderPath(), tmp / "a");
    EXPECT_THAT(list.Texts(), ElementsAre("outer.txt"));

    list->SetEntrySelected(0, true);
    SetCurrentDir("/");
    for (const std::string& path : {tmp / "missing", std::string("missing"), std::string()}) {
        try {
            list->SetFolderPath(path);
            ADD_FAILURE() << "entered " << path;
        } catch (const EInOutError& e) {
            EXPECT_STREQ(e.what(), "File not found");
        }
        EXPECT_EQ(list->FolderPath(), tmp / "a");
        EXPECT_EQ(GetCurrentDir(), tmp / "a"); // the old folder was entered first
    }
    EXPECT_THAT(list.Selection(), ElementsAre(true));
    EXPECT_EQ(list.changes, 2);
}

TEST(FolderChange, TheFolderShownAgainDoesNothing) {
    TempFolder tmp;
    tmp.AddFolder("Photos");
    tmp.AddFile("Photos/a.jpg");
    ASSERT_EQ(symlink("Photos", (tmp / "photos").c_str()), 0); // same folder, other case
    ShownList list(tmp / "Photos");
    tmp.AddFile("Photos/b.jpg");
    SetCurrentDir("/");
    for (const std::string& path : {tmp / "Photos", tmp / "photos"}) {
        list->SetFolderPath(path);
        EXPECT_EQ(list->FolderPath(), tmp / "Photos");
        EXPECT_EQ(GetCurrentDir(), "/") << path;                 // no change of directory
        EXPECT_THAT(list.Texts(), ElementsAre("a.jpg")) << path; // and no read
    }
    EXPECT_EQ(list.changes, 0);
}

// Equal texts by the locale are not enough on Linux: on a case-sensitive file system, or with
// names that are not UTF-8, two different folders can compare equal. The list must follow the
// change, or the next rename batch would work on the names of one folder inside another.
TEST(FolderChange, FoldersThatOnlyCompareEqualByTheLocaleAreChangedTo) {
    TempFolder tmp;
    for (const char* folder : {"Photos", "photos", "\xff", "\xfe"}) {
        tmp.AddFolder(folder);
        tmp.AddFile(folder + std::string("/in ") + folder);
    }
    ShownList list(tmp / "Photos");
    list->SetFolderPath(tmp / "photos");
    EXPECT_EQ(list->FolderPath(), tmp / "photos");
    EXPECT_EQ(GetCurrentDir(), tmp / "photos");
    EXPECT_THAT(list.Texts(), ElementsAre("in photos"));
    list->SetFolderPath(tmp / "\xff");
    list->SetFolderPath(tmp / "\xfe");
    EXPECT_EQ(list->FolderPath(), tmp / "\xfe");
    EXPECT_THAT(list.Texts(), ElementsAre("in \xfe"));
    EXPECT_EQ(list.changes, 3);

    // From a folder that vanished, the new path is still entered.
    SetCurrentDir(tmp.Path());
    ASSERT_EQ(unlink((tmp / "\xfe/in \xfe").c_str()), 0);
    ASSERT_EQ(rmdir((tmp / "\xfe").c_str()), 0);
    list->SetFolderPath(tmp / "Photos");
    EXPECT_THAT(list.Texts(), ElementsAre("in Photos"));
}

} // namespace
} // namespace nomilo
