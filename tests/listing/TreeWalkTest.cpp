#include "listing/TreeWalk.h"

#include "listing/FolderRuns.h"
#include "listing/NameOrder.h"
#include "platform/files/FolderVisit.h"
#include "tests/support/MountNamespace.h"
#include "tests/support/TempFolder.h"

#include <QLocale>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace nomilo {
namespace {

using test::TempFolder;

// The walk of `root` as "folder: item item|..." in the order walked, each folder's items (those
// the list admits) sorted by their bytes; the root is "."; the folders left out follow after
// " - " as "path(errno)".
std::string Walked(const std::string& root, std::string_view mask = "*.*",
                   TFileType type = {ftNormal}, const FolderBegins& alsoOnFolder = {}) {
    const FolderVisit visit(root);
    std::vector<std::pair<std::string, std::vector<std::string>>> folders;
    const TTreeLeftOut leftOut = WalkTree(
        mask, type,
        [&](const std::string& folder) {
            folders.push_back({folder.empty() ? "." : folder, {}});
            if (alsoOnFolder)
                alsoOnFolder(folder);
        },
        [&](std::string_view name, std::uint32_t, bool admitted) {
            if (admitted)
                folders.back().second.emplace_back(name);
        });
    std::string walked;
    for (auto& [folder, items] : folders) {
        std::sort(items.begin(), items.end());
        walked += (walked.empty() ? "" : "|") + folder + ":";
        for (const std::string& item : items)
            walked += " " + item;
    }
    if (!leftOut.Empty())
        walked += " -";
    for (const TTreeLeftOut::TFolder& folder : leftOut.folders)
        walked += " " + folder.path + "(" + std::to_string(folder.error) + ")";
    return walked;
}

// The locale of the lists for the lifetime of the object.
class LocaleScope {
public:
    explicit LocaleScope(const QLocale& locale) { QLocale::setDefault(locale); }
    ~LocaleScope() { QLocale::setDefault(QLocale::system()); }
};

TEST(TreeWalk, GoesFolderByFolderWithTheMaskHiddenRuleAndNameOrderOfOneFolder) {
    const LocaleScope english(QLocale(QLocale::English, QLocale::UnitedStates));
    TempFolder tmp({"b.txt", "a.jpg", ".hidden.txt", "zeta/z.txt", "Alpha/deep/d.txt",
                    "Alpha/c.txt", "beta/q.TXT", "beta/skip.jpg", ".secret/s.txt", "empty/",
                    "Photos/IMG.txt", "photos/img.txt", "\xff\xfe/n.txt"});
    // A folder's own items, then each subfolder with all below it before the next, siblings by
    // the locale with case ignored and by their bytes where it finds them equal; a name that two
    // parts of the mask match comes twice; no hidden item, no hidden folder, and no word of a
    // folder without items.
    EXPECT_EQ(Walked(tmp.Path(), "*.txt;b*"),
              ".: b.txt b.txt|Alpha: c.txt|Alpha/deep: d.txt|beta: q.TXT|Photos: IMG.txt"
              "|photos: img.txt|zeta: z.txt|\xff\xfe: n.txt");
    // With hidden items admitted, hidden folders are walked too.
    EXPECT_EQ(Walked(tmp.Path(), "*.txt", {ftNormal, ftHidden}),
              ".: .hidden.txt b.txt|.secret: s.txt|Alpha: c.txt|Alpha/deep: d.txt|beta: q.TXT"
              "|Photos: IMG.txt|photos: img.txt|zeta: z.txt|\xff\xfe: n.txt");
}

TEST(TreeWalk, FollowsNoLinkToAFolderAndPassesOverAFolderGoneMeanwhile) {
    TempFolder tmp({"tree/a/x.txt", "tree/b/y.txt", "tree/c/z.txt", "outside/o.txt"});
    ASSERT_EQ(symlink(".", (tmp / "tree/a/self").c_str()), 0);
    ASSERT_EQ(symlink("..", (tmp / "tree/a/up").c_str()), 0);
    ASSERT_EQ(symlink((tmp / "outside").c_str(), (tmp / "tree/out").c_str()), 0);
    ASSERT_EQ(symlink("b/y.txt", (tmp / "tree/link.txt").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", (tmp / "tree/dangling.txt").c_str()), 0);
    // A link to a file is listed as the file it leads to (a dangling one as a plain file), as in
    // one folder; links to folders are never gone through.
    EXPECT_EQ(Walked(tmp / "tree", "*"), ".: dangling.txt link.txt|a: x.txt|b: y.txt|c: z.txt");
    // A folder removed (or replaced by a link) after its parent was read is passed over.
    EXPECT_EQ(Walked(tmp / "tree", "*", {ftNormal},
                     [&](const std::string& folder) {
                         if (folder == "a") {
                             std::filesystem::remove_all(tmp / "tree/b");
                             std::filesystem::rename(tmp / "tree/c", tmp / "c-moved");
                             ASSERT_EQ(symlink((tmp / "c-moved").c_str(), (tmp / "tree/c").c_str()),
                                       0);
                         }
                     }),
              ".: dangling.txt link.txt|a: x.txt");
}

// Takes away the rights that let root read any folder (when the tests run as root), for the
// child process of RunWithOwnMounts it is called in.
void LoseReadingRights() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    syscall(SYS_capget, &header, data);
    for (const int right : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH}) {
        data[right / 32].effective &= ~(1u << (right % 32));
        data[right / 32].permitted &= ~(1u << (right % 32));
    }
    syscall(SYS_capset, &header, data);
}

TEST(TreeWalk, NamesAnUnreadableFolderOnceAndListsTheRest) {
    TempFolder tmp({"a/x.txt", "locked/hidden/y.txt", "sealed/z.txt", "zz/w.txt"});
    ASSERT_EQ(chmod((tmp / "locked").c_str(), 0), 0);
    ASSERT_EQ(chmod((tmp / "sealed").c_str(), 0311), 0); // may be entered, not listed
    const auto walk = [&] { return Walked(tmp.Path(), "*"); };
    std::string walked;
    const test::ChildOutcome outcome = test::RunWithOwnMounts([&](std::string& report) {
        LoseReadingRights();
        report = walk();
        return std::string();
    });
    walked = outcome.skipped.empty() ? outcome.report : walk(); // not root: the modes hold
    chmod((tmp / "locked").c_str(), 0755);
    chmod((tmp / "sealed").c_str(), 0755);
    EXPECT_EQ(walked, "a: x.txt|zz: w.txt - locked(" + std::to_string(EACCES) + ") sealed(" +
                          std::to_string(EACCES) + ")");
}

// Other file systems inside the tree: a tmpfs, a bind mount of a folder outside, a bind mount of
// the tree's own root inside it (a loop), and a FUSE mount whose server never answers. None is
// entered, each is named, and the walk does not wait.
TEST(TreeWalk, EntersNoOtherMountNotEvenABindMountOrADeadServer) {
    TempFolder tmp({"tree/a.txt", "tree/tmp/", "tree/bind/", "tree/loop/", "tree/net/",
                    "tree/sub/b.txt", "outside/o.txt"});
    const test::ChildOutcome outcome = test::RunWithOwnMounts([&](std::string& report) {
        if (mount("tmpfs", (tmp / "tree/tmp").c_str(), "tmpfs", 0, nullptr) != 0 ||
            mount((tmp / "outside").c_str(), (tmp / "tree/bind").c_str(), nullptr, MS_BIND,
                  nullptr) != 0 ||
            mount((tmp / "tree").c_str(), (tmp / "tree/loop").c_str(), nullptr, MS_BIND, nullptr) !=
                0)
            return std::string("mount: ") + std::strerror(errno);
        close(creat((tmp / "tree/tmp/t.txt").c_str(), 0600));
        if (std::string why = test::MountDeadServer(tmp / "tree/net", "fuse.sshfs"); !why.empty())
            return why;
        report = Walked(tmp / "tree", "*");
        return std::string();
    });
    if (!outcome.skipped.empty())
        GTEST_SKIP() << "no mounts can be made here: " << outcome.skipped;
    ASSERT_FALSE(outcome.timedOut) << "the walk waited on the dead server";
    const std::string other = "(" + std::to_string(EXDEV) + ")";
    EXPECT_EQ(outcome.report, ".: a.txt|sub: b.txt - bind" + other + " loop" + other + " net" +
                                  other + " tmp" + other);
}

TEST(FolderRuns, TellEachEntrysFolderAndDropRunsWithoutEntries) {
    TFolderRuns runs;
    EXPECT_EQ(runs.Of(5).path, ""); // one folder: the list's own
    runs.Begin("", 0);              // the list's folder holds no entry
    runs.Begin("a", 0);             // entries 0 and 1
    runs.Begin("a/b", 2);
    runs.Begin("c", 3); // no entry: the next begins at 3 too
    runs.Begin("d", 3);
    ASSERT_EQ(runs.Count(), 3u);
    EXPECT_EQ(runs.Of(0).path, "a");
    EXPECT_EQ(runs.Of(1).number, 0u);
    EXPECT_EQ(runs.Of(2).path, "a/b");
    EXPECT_EQ(runs.Of(3).path, "d");
    EXPECT_EQ(runs.Of(9).number, 2u);
    EXPECT_EQ(PathInFolder("a/b", "x.jpg"), "a/b/x.jpg");
    EXPECT_EQ(PathInFolder("", "x.jpg"), "x.jpg");
}

TEST(NameKeys, SortEachRunByItselfAndKeepTheRunsInPlace) {
    TNameKeys keys;
    for (const char* name : {"b", "a", "C", "z", "y", "B", "A"})
        keys.Add(name);
    std::string order;
    for (const std::uint32_t number : keys.TakeOrder({2, 2, 5}))
        order += std::string(keys.Name(number)) + " ";
    EXPECT_EQ(order, "a b C y z A B ");
}

} // namespace
} // namespace nomilo
