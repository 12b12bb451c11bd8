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

TEST(FolderChange, ARelativePathIsTakenFromTheFolderShownAndStoredAbsolute) {
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
    EXPECT_EQ(list.changes, 1);

    list->SetFolderPath("..");
    EXPECT_EQ(list->FolderPath(), tmp / "a");
    EXPECT_THAT(list.Texts(), ElementsAre("outer.txt"));
}

TEST(FolderChange, AMissingFolderRaisesTheIoErrorAndChangesNothing) {
    TempFolder tmp;
    tmp.AddFolder("a");
    tmp.AddFile("a/x.txt");
    ShownList list(tmp / "a");
    list->SetEntrySelected(0, true);
    SetCurrentDir("/");
    for (const std::string& path : {tmp / "missing", std::string("missing"), std::string()}) {
        try {
            list->SetFolderPath(path);
            ADD_FAILURE() << "entered " << path;
        } catch (const EInOutError& e) {
            EXPECT_EQ(e.Code(), 2) << path;
            EXPECT_STREQ(e.what(), "File not found");
        }
        EXPECT_EQ(list->FolderPath(), tmp / "a");
        EXPECT_EQ(GetCurrentDir(), tmp / "a"); // the old folder was entered first
    }
    EXPECT_THAT(list.Texts(), ElementsAre("x.txt"));
    EXPECT_THAT(list.Selection(), ElementsAre(true));
    EXPECT_EQ(list.changes, 0);
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
    tmp.AddFolder("Photos");
    tmp.AddFile("Photos/upper.jpg");
    tmp.AddFolder("photos");
    tmp.AddFile("photos/lower.jpg");
    tmp.AddFolder("\xff");
    tmp.AddFile("\xff/ff.txt");
    tmp.AddFolder("\xfe");
    tmp.AddFile("\xfe/fe.txt");
    ShownList list(tmp / "Photos");

    list->SetFolderPath(tmp / "photos");
    EXPECT_EQ(list->FolderPath(), tmp / "photos");
    EXPECT_EQ(GetCurrentDir(), tmp / "photos");
    EXPECT_THAT(list.Texts(), ElementsAre("lower.jpg"));

    list->SetFolderPath(tmp / "\xff");
    list->SetFolderPath(tmp / "\xfe");
    EXPECT_EQ(list->FolderPath(), tmp / "\xfe");
    EXPECT_THAT(list.Texts(), ElementsAre("fe.txt"));
    EXPECT_EQ(list.changes, 3);
}

TEST(FolderChange, FromAVanishedFolderTheNewPathIsStillEntered) {
    TempFolder tmp;
    tmp.AddFolder("old");
    tmp.AddFolder("new");
    tmp.AddFile("new/n.txt");
    ShownList list(tmp / "old");
    SetCurrentDir(tmp.Path());
    ASSERT_EQ(rmdir((tmp / "old").c_str()), 0);
    list->SetFolderPath(tmp / "new");
    EXPECT_EQ(list->FolderPath(), tmp / "new");
    EXPECT_THAT(list.Texts(), ElementsAre("n.txt"));
}

} // namespace
} // namespace nomilo
