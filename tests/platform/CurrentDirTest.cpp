#include "platform/CurrentDir.h"
#include "platform/EInOutError.h"
#include "platform/FileAttributes.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace nomilo {
namespace {

int CodeOfEntering(const std::string& path) {
    try {
        SetCurrentDir(path);
    } catch (const EInOutError& e) {
        return e.Code();
    }
    return 0;
}

TEST(CurrentDir, EntersAbsoluteAndRelativeFolders) {
    test::TempFolder tmp;
    tmp.AddFolder("a/b");
    SetCurrentDir(tmp / "a");
    EXPECT_EQ(GetCurrentDir(), tmp / "a");
    SetCurrentDir("b");
    EXPECT_EQ(GetCurrentDir(), tmp / "a/b");
    SetCurrentDir("..");
    EXPECT_EQ(GetCurrentDir(), tmp / "a");
}

TEST(CurrentDir, RefusalRaisesTheIoErrorAndStaysPut) {
    test::TempFolder tmp;
    tmp.AddFile("file");
    SetCurrentDir(tmp.Path());
    EXPECT_EQ(CodeOfEntering("missing"), 2);
    EXPECT_EQ(CodeOfEntering(""), 2);
    EXPECT_EQ(CodeOfEntering("file"), 3);
    EXPECT_EQ(CodeOfEntering(std::string("fi\0le", 5)), 3);
    EXPECT_EQ(GetCurrentDir(), tmp.Path());
}

TEST(CurrentDir, PathsLongerThanPathMaxWork) {
    test::TempFolder tmp;
    SetCurrentDir(tmp.Path());
    const std::string level(200, 'd');
    std::string expected = tmp.Path();
    for (int i = 0; i < 30; ++i) { // about 6,000 bytes, beyond PATH_MAX
        ASSERT_EQ(mkdir(level.c_str(), 0700), 0);
        SetCurrentDir(level);
        expected += "/" + level;
    }
    EXPECT_EQ(GetCurrentDir(), expected);
    EXPECT_TRUE(FolderExists("."));
}

TEST(FolderExists, IsTrueOnlyForFoldersAndLinksToThem) {
    test::TempFolder tmp;
    tmp.AddFolder("dir");
    tmp.AddFile("file");
    ASSERT_EQ(symlink("dir", (tmp / "link").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", (tmp / "dangling").c_str()), 0);
    EXPECT_TRUE(FolderExists(tmp / "dir"));
    EXPECT_TRUE(FolderExists(tmp / "link"));
    EXPECT_FALSE(FolderExists(tmp / "file"));
    EXPECT_FALSE(FolderExists(tmp / "dangling"));
    EXPECT_FALSE(FolderExists(tmp / "missing"));
    EXPECT_FALSE(FolderExists(""));
}

} // namespace
} // namespace nomilo
