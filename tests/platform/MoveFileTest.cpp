#include "platform/MoveFile.h"

#include "platform/CurrentDir.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>
#include <set>
#include <unistd.h>

namespace nomilo {
namespace {

using Names = std::set<std::string>;

class MoveFileTest : public ::testing::Test {
protected:
    void SetUp() override { SetCurrentDir(tmp.Path()); }
    test::TempFolder tmp;
};

TEST_F(MoveFileTest, NeverReplacesAndRefusesNamesThatAreNotBareNames) {
    tmp.AddFile("a.txt", "from a");
    tmp.AddFile("b.txt", std::string("precious\0bytes", 14));
    tmp.AddFolder("dir");
    ASSERT_EQ(symlink("nowhere", (tmp / "link").c_str()), 0);
    for (const char* taken : {"b.txt", "dir", "link"})
        EXPECT_FALSE(MoveFile("a.txt", taken)) << taken;
    for (const char* bad : {"", ".", "..", "dir/a", "../a", "/tmp/a"})
        EXPECT_FALSE(MoveFile("a.txt", bad)) << bad;
    // A NUL byte must not cut a name short.
    EXPECT_FALSE(MoveFile("a.txt", std::string("c\0d", 3)));
    EXPECT_FALSE(MoveFile(std::string("a.txt\0x", 7), "c"));
    EXPECT_FALSE(MoveFile("dir/../a.txt", "c"));
    EXPECT_FALSE(MoveFile("missing", "other"));
    EXPECT_EQ(tmp.Names(), (Names{"a.txt", "b.txt", "dir", "link"}));
    EXPECT_EQ(tmp.Read("a.txt"), "from a");
    EXPECT_EQ(tmp.Read("b.txt"), std::string("precious\0bytes", 14));
}

TEST_F(MoveFileTest, LetterCaseAndEqualNames) {
    tmp.AddFile("same", "x");
    EXPECT_TRUE(MoveFile("same", "same")); // nothing to do, and done
    EXPECT_EQ(tmp.Read("same"), "x");
    tmp.AddFile("photo.JPG");
    EXPECT_TRUE(MoveFile("photo.JPG", "photo.jpg"));
    // Two hard links whose names differ in case are two files: a plain rename would do
    // nothing and say "done".
    ASSERT_EQ(link((tmp / "same").c_str(), (tmp / "SAME").c_str()), 0);
    EXPECT_FALSE(MoveFile("same", "SAME"));
    EXPECT_EQ(tmp.Names(), (Names{"photo.jpg", "same", "SAME"}));
}

} // namespace
} // namespace nomilo
