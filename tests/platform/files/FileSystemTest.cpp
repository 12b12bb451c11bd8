#include "platform/files/CurrentDir.h"
#include "platform/files/DirSearch.h"
#include "platform/files/EInOutError.h"
#include "platform/files/FileAttributes.h"
#include "platform/files/FileIdentity.h"
#include "platform/files/FolderVisit.h"
#include "platform/files/LinkLooks.h"
#include "platform/files/MoveFile.h"
#include "platform/files/MoveTrace.h"
#include "platform/files/SameFolder.h"
#include "tests/support/TempFolder.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace nomilo {
namespace {

// Errnos other than these never borrow a message: EIO (5) must not read "File access denied".
TEST(IoError, ErrnoPicksTheCodeAndTheCodeTheMessage) {
    const struct {
        int error, code;
        const char* message;
    } cases[] = {
        {ENOENT, 2, "File not found"},         {ENOTDIR, 3, "Invalid filename"},
        {ENAMETOOLONG, 3, "Invalid filename"}, {ELOOP, 3, "Invalid filename"},
        {EMFILE, 4, "Too many open files"},    {ENFILE, 4, "Too many open files"},
        {EACCES, 5, "File access denied"},     {EPERM, 5, "File access denied"},
        {EIO, 1005, "I/O error 1005"},         {ENOSPC, 1028, "I/O error 1028"},
    };
    for (const auto& c : cases) {
        const EInOutError error = EInOutError::FromErrno(c.error);
        EXPECT_EQ(error.Code(), c.code) << c.error;
        EXPECT_STREQ(error.what(), c.message) << c.error;
    }
}

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
    const int file = open("f.txt", O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    ASSERT_GE(file, 0);
    close(file);

    // Absolute paths of that length work wherever a path is taken.
    SetCurrentDir(tmp.Path());
    EXPECT_TRUE(FileExists(expected + "/f.txt"));
    EXPECT_FALSE(FolderExists(expected + "/f.txt"));
    EXPECT_THROW(SetCurrentDir(expected + "/missing"), EInOutError);
    SetCurrentDir(expected + "/");
    EXPECT_TRUE(SameFolder(expected, "."));
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

TEST(MatchesMask, WildcardsFollowTheDesktopRules) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"README", "*.*", true},        {".hidden", "*.*", true},     {"photo.JPG", "*.jpg", true},
        {"photo.jpeg", "*.jpg", false}, {"a.tar.gz", "*.tar", false}, {"ac", "a?c", false},
        {"a\u010Dc", "a?c", true},      {"a\xE8x", "a?x", true},      {"report", "report.*", true},
        {"reportx", "report.*", false}, {"name", "", false},          {"a", "a/", false},
        {"abab.txt", "*ab.t?t", true},  {"ab", "*a", false},
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

// With network mounts named, a link is followed one part at a time and never into them on the
// caller's thread: the rest of the way is looked at on a thread of the mount's own, and once
// that has answered the link is found as a plain look would find it (a link with nothing at its
// end, a plain file).
TEST(SearchCurrentDir, LinksIntoNetworkMountsAreLookedAtOnThreadsOfTheirOwn) {
    test::TempFolder tmp({"nas/dir/", "nas/file", "local/dir/", "local/file"});
    const std::pair<const char*, const char*> links[] = {
        {"to-nas", "nas"},
        {"to-nas-file", "nas/file"},
        {"to-nas-missing", "nas/x"},
        {"via-local", "local/../nas/file"},
        {"hop", "hop-to-nas"},
        {"hop-to-nas", "nas/dir"},
        {"to-local-dir", "local/./dir/"},
        {"to-local-file", "local/file"},
        {"through-file", "local/file/x"},
        {"loop", "loop"},
        {"to-root", "/"},
    };
    for (const auto& [link, target] : links)
        ASSERT_EQ(symlink(target, (tmp / link).c_str()), 0) << link;
    SetCurrentDir(tmp.Path());
    std::map<std::string, std::uint32_t> found;
    const auto search = [&] {
        found.clear();
        SearchCurrentDir("*", 0, 0,
                         [&](std::string_view name, std::uint32_t bits) {
                             found.emplace(std::string(name), bits);
                         },
                         {tmp / "nas"});
    };
    search();
    // On a busy machine a look may answer after the search stopped waiting for it: the next
    // search has the answer.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (LinkLooksUnderWay() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    search();
    const std::pair<const char*, std::uint32_t> expected[] = {
        {"to-nas", faDirectory},      {"to-nas-file", faArchive},  {"to-nas-missing", faArchive},
        {"via-local", faArchive},     {"hop", faDirectory},        {"to-local-dir", faDirectory},
        {"to-local-file", faArchive}, {"through-file", faArchive}, {"loop", faArchive},
        {"to-root", faDirectory},     {"nas", faDirectory},
    };
    for (const auto& [name, bits] : expected)
        EXPECT_EQ(found.at(name), bits) << name;
}

// Within a shared read the searches of one folder go through one reading of it; outside it, and
// once the sharing ended, every search reads afresh.
TEST(SearchFolder, SearchesInASharedReadReadTheFolderOnce) {
    test::TempFolder tmp({"a"});
    const auto names = [&](const std::string& folder) {
        std::set<std::string> found;
        SearchFolder(folder, "*", faDirectory, 0,
                     [&](std::string_view name, std::uint32_t) { found.emplace(name); });
        return found;
    };
    {
        const TSharedFolderRead oneRead(tmp.Path());
        EXPECT_EQ(names(tmp.Path()), std::set<std::string>{"a"});
        tmp.AddFile("b");
        SetCurrentDir(tmp.Path());
        EXPECT_EQ(names("."), std::set<std::string>{"a"}); // the same folder by another path
        TSharedFolderRead::EndSharing();
        tmp.AddFile("c");
        EXPECT_EQ(names(tmp.Path()), (std::set<std::string>{"a", "b", "c"}));
    }
    tmp.AddFile("d");
    EXPECT_EQ(names(tmp.Path()), (std::set<std::string>{"a", "b", "c", "d"}));
}

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

// The undo tests finish a rename cut short; here the names that must be left alone.
TEST_F(MoveFileTest, OnlyTheLinkOfTheRenameItselfIsALeftover) {
    tmp.AddFile("old", "content");
    tmp.AddFile("other");
    const auto folder = CurrentFolderIdentity();
    const auto file = IdentityOf("old");
    ASSERT_TRUE(folder && file);
    EXPECT_EQ(TraceMove("old", "other", *file, *folder), MoveTrace::NotMoved);
    EXPECT_EQ(TraceMove("other", "new", *file, *folder), MoveTrace::Neither);
    EXPECT_FALSE(RemoveLinkOfRename("old", "other", *file, 1, *folder)); // two files
    ASSERT_EQ(link("old", "new"), 0);
    EXPECT_EQ(TraceMove("old", "new", *file, *folder), MoveTrace::BothNames);
    // A name the user had before the rename's own link: the link count tells.
    EXPECT_FALSE(RemoveLinkOfRename("old", "new", *file, 2, *folder));
    ASSERT_EQ(link("old", "third"), 0);
    EXPECT_FALSE(RemoveLinkOfRename("old", "new", *file, 1, *folder)); // a third name came
    ASSERT_EQ(unlink("third"), 0);
    EXPECT_TRUE(RemoveLinkOfRename("old", "new", *file, 1, *folder));
    EXPECT_EQ(tmp.Names(), (Names{"new", "other"}));
    EXPECT_EQ(TraceMove("old", "new", *file, *folder), MoveTrace::Moved);

    // A file that took the inode number of a deleted one is another file.
    ASSERT_EQ(unlink("new"), 0);
    tmp.AddFile("new");
    const auto reborn = IdentityOf("new");
    ASSERT_TRUE(reborn);
    if (reborn->inode == file->inode && reborn->born == 0)
        GTEST_SKIP() << "the file system tells no time a file was made";
    EXPECT_EQ(TraceMove("old", "new", *file, *folder), MoveTrace::Neither);
}

TEST(FolderVisit, WorksElsewhereAndComesBackEvenToAFolderThatWent) {
    test::TempFolder tmp({"shown/", "other/file"});
    SetCurrentDir(tmp / "shown");
    {
        const FolderVisit visit(tmp / "other");
        EXPECT_EQ(GetCurrentDir(), tmp / "other");
        EXPECT_THROW(FolderVisit(tmp / "missing"), EInOutError);
        EXPECT_EQ(GetCurrentDir(), tmp / "other");
        ASSERT_EQ(rename((tmp / "shown").c_str(), (tmp / "moved").c_str()), 0);
    }
    EXPECT_EQ(GetCurrentDir(), tmp / "moved");

    // A folder deeper than PATH_MAX.
    const std::string level(200, 'd');
    std::string deep = tmp / "other";
    SetCurrentDir(deep);
    for (int i = 0; i < 25; ++i) {
        ASSERT_EQ(mkdir(level.c_str(), 0700), 0);
        SetCurrentDir(level);
        deep += "/" + level;
    }
    SetCurrentDir(tmp.Path());
    {
        const FolderVisit visit(deep);
        EXPECT_EQ(GetCurrentDir(), deep);
    }
    EXPECT_EQ(GetCurrentDir(), tmp.Path());
}

} // namespace
} // namespace nomilo
