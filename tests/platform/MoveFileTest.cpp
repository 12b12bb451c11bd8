#include "platform/CurrentDir.h"
#include "platform/MoveFile.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>
#include <set>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

namespace nomilo {
namespace {

class MoveFileTest : public ::testing::Test {
protected:
    void SetUp() override { SetCurrentDir(tmp.Path()); }
    test::TempFolder tmp;
};

TEST_F(MoveFileTest, RenamesWithinTheCurrentFolder) {
    tmp.AddFile("old.txt", "content");
    EXPECT_TRUE(MoveFile("old.txt", "new.txt"));
    EXPECT_EQ(tmp.Names(), std::set<std::string>{"new.txt"});
    EXPECT_EQ(tmp.Read("new.txt"), "content");
}

TEST_F(MoveFileTest, NeverReplacesAnExistingFile) {
    tmp.AddFile("a.txt", "from a");
    tmp.AddFile("b.txt", "precious\0bytes");
    EXPECT_FALSE(MoveFile("a.txt", "b.txt"));
    EXPECT_EQ(tmp.Read("a.txt"), "from a");
    EXPECT_EQ(tmp.Read("b.txt"), "precious\0bytes");
    // Nor an existing folder, nor a dangling link.
    tmp.AddFolder("dir");
    ASSERT_EQ(symlink("nowhere", (tmp / "link").c_str()), 0);
    EXPECT_FALSE(MoveFile("a.txt", "dir"));
    EXPECT_FALSE(MoveFile("a.txt", "link"));
    EXPECT_EQ(tmp.Names(), (std::set<std::string>{"a.txt", "b.txt", "dir", "link"}));
}

TEST_F(MoveFileTest, RefusesNamesThatAreNotBareNames) {
    tmp.AddFile("a", "x");
    tmp.AddFolder("sub");
    for (const std::string& bad :
         std::vector<std::string>{"", ".", "..", "sub/a", "../a", "/tmp/a", std::string("b\0c", 3)})
        EXPECT_FALSE(MoveFile("a", bad)) << bad;
    EXPECT_FALSE(MoveFile("sub/../a", "b"));
    EXPECT_EQ(tmp.Names(), (std::set<std::string>{"a", "sub"}));
    EXPECT_TRUE(tmp.Names().contains("a"));
}

TEST_F(MoveFileTest, EqualNamesSucceedWithoutTouchingAnything) {
    tmp.AddFile("same", "x");
    EXPECT_TRUE(MoveFile("same", "same"));
    EXPECT_EQ(tmp.Read("same"), "x");
}

TEST_F(MoveFileTest, MissingFileFails) { EXPECT_FALSE(MoveFile("missing", "other")); }

TEST_F(MoveFileTest, NamesThatAreNotUtf8RenameByteExactly) {
    const std::string latin2 = "\xC8" "a\xE8" "ak.txt"; // "Čačak" in a single-byte code page
    tmp.AddFile(latin2, "x");
    EXPECT_TRUE(MoveFile(latin2, "\xFF\xFE.txt"));
    EXPECT_EQ(tmp.Names(), std::set<std::string>{"\xFF\xFE.txt"});
}

TEST_F(MoveFileTest, TwoHardLinksDifferingInCaseAreNotOneFile) {
    tmp.AddFile("name", "x");
    ASSERT_EQ(link((tmp / "name").c_str(), (tmp / "NAME").c_str()), 0);
    EXPECT_FALSE(MoveFile("name", "NAME")); // a plain rename would do nothing and say "done"
    EXPECT_EQ(tmp.Names(), (std::set<std::string>{"name", "NAME"}));
}

TEST_F(MoveFileTest, CaseOnlyRenameOnACaseSensitiveVolumeIsAPlainRename) {
    tmp.AddFile("photo.JPG", "x");
    EXPECT_TRUE(MoveFile("photo.JPG", "photo.jpg"));
    EXPECT_EQ(tmp.Names(), std::set<std::string>{"photo.jpg"});
}

} // namespace
} // namespace nomilo
