#include "platform/CurrentDir.h"
#include "platform/DirSearch.h"
#include "platform/FileAttributes.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace nomilo {
namespace {

TEST(MatchesMask, WildcardsFollowTheDesktopRules) {
    struct Case {
        const char* name;
        const char* pattern;
        bool matches;
    };
    const Case cases[] = {
        {"photo.jpg", "*.*", true},     {"README", "*.*", true},       {".hidden", "*.*", true},
        {"photo.JPG", "*.jpg", true},   {"photo.jpeg", "*.jpg", false}, {"a.tar.gz", "*.gz", true},
        {"a.tar.gz", "*.tar", false},   {"abc", "a?c", true},          {"ac", "a?c", false},
        {"ačc", "a?c", true},           {"a\xE8x", "a?x", true},       {"report", "rep*", true},
        {"report", "report.*", true},   {"report.txt", "report.*", true}, {"reportx", "report.*", false},
        {"x", "", false},               {"a", "a/", false},            {"aaab", "*a*b", true},
        {"abab.txt", "*ab.t?t", true},  {"ab", "*a", false},           {"IMG_1.png", "img_*", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchesMask(c.name, c.pattern), c.matches) << c.name << " ~ " << c.pattern;
}

std::map<std::string, std::uint32_t> Search(std::string_view pattern, std::uint32_t excluded,
                                            std::uint32_t wanted = 0) {
    std::map<std::string, std::uint32_t> found;
    SearchCurrentDir(pattern, excluded, wanted,
                     [&](std::string_view name, std::uint32_t attributes) {
                         found.emplace(std::string(name), attributes);
                     });
    return found;
}

TEST(SearchCurrentDir, GivesAttributesAndPassesOverExcludedEntries) {
    test::TempFolder tmp;
    tmp.AddFile("plain.txt");
    tmp.AddFile(".dotfile");
    tmp.AddFolder("sub");
    ASSERT_EQ(mkfifo((tmp / "pipe").c_str(), 0600), 0);
    ASSERT_EQ(symlink("sub", (tmp / "dirlink").c_str()), 0);
    ASSERT_EQ(symlink("gone", (tmp / "dangling").c_str()), 0);
    SetCurrentDir(tmp.Path());

    const auto all = Search("*", 0);
    EXPECT_EQ(all.at("plain.txt"), faArchive);
    EXPECT_EQ(all.at(".dotfile"), faHidden | faArchive);
    EXPECT_EQ(all.at("sub"), faDirectory);
    EXPECT_EQ(all.at("dirlink"), faDirectory);
    EXPECT_EQ(all.at("pipe"), faSysFile);
    EXPECT_EQ(all.at("dangling"), faArchive);
    EXPECT_EQ(all.at("."), faDirectory); // the folder itself and its parent are not hidden
    EXPECT_EQ(all.at(".."), faDirectory);

    // The file list's default: hidden, system, volume and directory entries are passed over.
    const auto files = Search("*.*", 0x1E);
    EXPECT_EQ(files.size(), 2u);
    EXPECT_TRUE(files.contains("plain.txt"));
    EXPECT_TRUE(files.contains("dangling"));
}

TEST(SearchCurrentDir, FindsNothingInAFolderItCannotRead) {
    test::TempFolder tmp;
    tmp.AddFile("a");
    SetCurrentDir(tmp.Path());
    ASSERT_EQ(unlink((tmp / "a").c_str()), 0);
    ASSERT_EQ(rmdir(tmp.Path().c_str()), 0); // the current directory is gone
    EXPECT_TRUE(Search("*", 0).empty());
    EXPECT_TRUE(Search("", 0).empty());
}

TEST(SearchCurrentDir, ReadOnlyBitOnlyWhenWanted) {
    test::TempFolder tmp;
    tmp.AddFile("locked");
    ASSERT_EQ(chmod((tmp / "locked").c_str(), 0444), 0);
    SetCurrentDir(tmp.Path());
    EXPECT_EQ(Search("locked", 0).at("locked"), faArchive);
    const bool root = geteuid() == 0; // root may write anything
    EXPECT_EQ(Search("locked", 0, faReadOnly).at("locked"),
              root ? faArchive : (faArchive | faReadOnly));
}

} // namespace
} // namespace nomilo
