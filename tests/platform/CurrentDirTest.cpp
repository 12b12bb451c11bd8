#include "platform/CurrentDir.h"

#include "platform/EInOutError.h"
#include "platform/FileAttributes.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nomilo {
namespace {

TEST(CurrentDir, RefusalRaisesTheIoErrorAndStaysPut) {
    test::TempFolder tmp;
    tmp.AddFile("file");
    SetCurrentDir(tmp.Path());
    const std::pair<std::string, int> cases[] = {
        {"missing", 2}, {"", 2}, {"file", 3}, {std::string("fi\0le", 5), 3}};
    for (const auto& [path, code] : cases) {
        try {
            SetCurrentDir(path);
            ADD_FAILURE() << "entered " << path;
        } catch (const EInOutError& e) {
            EXPECT_EQ(e.Code(), code) << path;
        }
        EXPECT_EQ(GetCurrentDir(), tmp.Path());
    }
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
    const std::pair<const char*, bool> cases[] = {
        {"dir", true}, {"link", true}, {"file", false}, {"dangling", false}, {"missing", false}};
    for (const auto& [name, folder] : cases)
        EXPECT_EQ(FolderExists(tmp / name), folder) << name;
    EXPECT_FALSE(FolderExists(""));
}

} // namespace
} // namespace nomilo
