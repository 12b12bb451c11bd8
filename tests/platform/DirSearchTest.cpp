#include "platform/DirSearch.h"

#include "platform/CurrentDir.h"
#include "platform/FileAttributes.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace nomilo {
namespace {

TEST(MatchesMask, WildcardsFollowTheDesktopRules) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"README", "*.*", true},
        {".hidden", "*.*", true},
        {"photo.JPG", "*.jpg", true},
        {"photo.jpeg", "*.jpg", false},
        {"a.tar.gz", "*.tar", false},
        {"abc", "a?c", true},
        {"ac", "a?c", false},
        {"ačc", "a?c", true},
        {"a\xE8x", "a?x", true},
        {"report", "report.*", true},
        {"reportx", "report.*", false},
        {"x", "", false},
        {"a", "a/", false},
        {"abab.txt", "*ab.t?t", true},
        {"ab", "*a", false},
    };
    for (const auto& [name, pattern, matches] : cases)
        EXPECT_EQ(MatchesMask(name, pattern), matches) << name << " ~ " << pattern;
}

std::map<std::string, std::uint32_t> Search(std::string_view pattern, std::uint32_t excluded,
                                            std::uint32_t wanted = 0) {
    std::map<std::string, std::uint32_t> found;
    SearchCurrentDir(pattern, excluded, wanted, [&](std::string_view name, std::uint32_t bits) {
        found.emplace(std::string(name), bits);
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
    tmp.AddFile("locked");
    ASSERT_EQ(chmod((tmp / "locked").c_str(), 0444), 0);
    SetCurrentDir(tmp.Path());

    // The folder itself and its parent are folders, not hidden files.
    EXPECT_EQ(Search("*", 0), (std::map<std::string, std::uint32_t>{
                                  {".", faDirectory},
                                  {"..", faDirectory},
                                  {".dotfile", faHidden | faArchive},
                                  {"dangling", faArchive},
                                  {"dirlink", faDirectory},
                                  {"locked", faArchive},
                                  {"pipe", faSysFile},
                                  {"plain.txt", faArchive},
                                  {"sub", faDirectory},
                              }));
    const bool root = geteuid() == 0; // root may write anything
    EXPECT_EQ(Search("locked", 0, faReadOnly).at("locked"),
              root ? faArchive : (faArchive | faReadOnly));
    // The file list's default: hidden, system, volume and directory entries are passed over.
    EXPECT_EQ(Search("*.*", 0x1E).size(), 3u);

    // A folder that cannot be read (the current directory removed) finds nothing.
    tmp.AddFolder("gone");
    SetCurrentDir("gone");
    ASSERT_EQ(rmdir((tmp / "gone").c_str()), 0);
    EXPECT_TRUE(Search("*", 0).empty());
}

} // namespace
} // namespace nomilo
