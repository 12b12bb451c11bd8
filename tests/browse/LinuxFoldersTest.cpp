// Folder trees as only Linux has them: a current directory that was removed, paths longer than
// PATH_MAX, names holding "*" or "?", names that differ only in letter case or Unicode form,
// many drives, and links into a network mount whose server does not answer.

#include "platform/files/EInOutError.h"
#include "platform/files/LinkLooks.h"
#include "tests/browse/FolderListTesting.h"
#include "tests/support/MountNamespace.h"

#include <QCoreApplication>
#include <QLocale>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nomilo {
namespace {

using test::FolderList;
using test::TempFolder;
using test::Texts;
using test::TextsOf;
using ::testing::ElementsAre;

// The subfolder entries of the folder list, in order.
Texts Subfolders(const TDirectoryListBox& list) {
    Texts names;
    for (int i = 0; i < list.EntryCount(); ++i)
        if (list.Entry(i).kind == fkSubfolder)
            names.emplace_back(list.EntryText(i));
    return names;
}

// Waits until the looks through other mounts have answered and the lists have taken the
// answers in.
void SettleLinkLooks() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (LinkLooksUnderWay() && std::chrono::steady_clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QCoreApplication::processEvents();
}

// The user's locale for the lifetime of the object.
class LocaleScope {
public:
    explicit LocaleScope(const char* name) {
        QLocale::setDefault(QLocale(QString::fromLatin1(name)));
    }
    ~LocaleScope() { QLocale::setDefault(saved_); }
    LocaleScope(const LocaleScope&) = delete;
    LocaleScope& operator=(const LocaleScope&) = delete;

private:
    QLocale saved_;
};

// A program started in a folder that was removed meanwhile: the controls start on the home
// folder, or on "/" without one, instead of failing to be made.
TEST(RemovedCurrentDir, TheControlsStartOnTheHomeFolderElseOnTheRoot) {
    TempFolder tmp;
    const std::string home = std::getenv("HOME");
    for (const std::string& homeVariable : {home, tmp / "no home"}) {
        setenv("HOME", homeVariable.c_str(), 1);
        tmp.AddFolder("gone");
        SetCurrentDir(tmp / "gone");
        ASSERT_EQ(rmdir((tmp / "gone").c_str()), 0);
        TDriveComboBox combo; // in the order the main window makes them
        TDirectoryListBox list;
        TFileListBox files;
        const std::string expected =
            homeVariable == home ? std::filesystem::canonical(home).string() : "/";
        EXPECT_EQ(GetCurrentDir(), expected);
        EXPECT_EQ(list.FolderPath(), expected);
        EXPECT_EQ(files.FolderPath(), expected);
        EXPECT_EQ(combo.DriveLetter(), list.DriveLetter());
    }
    setenv("HOME", home.c_str(), 1);
}

// A tree deeper than PATH_MAX (4096 bytes): "deep" of 25 levels of 200 bytes below "a".
class DeepTree : public FolderList {
protected:
    void SetUp() override {
        FolderList::SetUp();
        list->SetDirLabel(nullptr); // no label shows paths of 5,000 bytes whole
        const std::string level(200, 'd');
        SetCurrentDir(tmp / "a");
        deep = tmp / "a";
        for (int i = 0; i < 25; ++i) {
            ASSERT_EQ(mkdir(level.c_str(), 0700), 0);
            SetCurrentDir(level);
            deep += "/" + level;
        }
        for (const char* folder : {"sub one", "sub two"})
            ASSERT_EQ(mkdir(folder, 0700), 0);
        ASSERT_GT(deep.size(), 5000u);
        const int file = open("old.txt", O_CREAT | O_WRONLY, 0600);
        ASSERT_GE(file, 0);
        close(file);
        SetCurrentDir(tmp / "a");
    }
    std::string deep;
};

TEST_F(DeepTree, FoldersDeeperThanPathMaxAreBrowsedAndOpened) {
    list->SetFolderPath(deep);
    ExpectAt(deep);
    EXPECT_THAT(Subfolders(*list), ElementsAre("sub one", "sub two"));
    EXPECT_THAT(TextsOf(*files), ElementsAre("old.txt"));

    list->SelectEntry(RowOf("sub one"));
    list->OpenSelectedEntry();
    ExpectAt(deep + "/sub one");
    list->SetFolderPath("../sub two"); // relative
    ExpectAt(deep + "/sub two");
    list->SetFolderPath(deep); // absolute
    ExpectAt(deep);
    files->SetMask("*.txt");
    EXPECT_THAT(TextsOf(*files), ElementsAre("old.txt"));
    EXPECT_THROW(list->SetFolderPath(deep + "/missing"), EInOutError);
    ExpectAt(deep);
    list->SetFolderPath(tmp / "a");
    ExpectAt(tmp / "a");
    EXPECT_EQ(changes, 5);
}

// "*" and "?" are legal in Linux names: a folder that exists under the name is that folder; only
// a name that is no folder is a mask.
TEST_F(FolderList, FoldersNamedWithWildcardsOpen) {
    for (const char* folder : {"a/w/what?", "a/w/a*b", "a/w/*"})
        tmp.AddFolder(folder);
    tmp.AddFile("a/w/x.txt");
    list->SetFolderPath(tmp / "a/w");
    ASSERT_THAT(Subfolders(*list), ElementsAre("*", "a*b", "what?"));
    changes = 0;
    for (const char* name : {"*", "a*b", "what?"}) {
        list->SelectEntry(RowOf(name));
        list->OpenSelectedEntry();
        ExpectAt(tmp / ("a/w/" + std::string(name)));
        list->SetFolderPath("..");
        list->SetFolderPath(name); // by its bare name
        ExpectAt(tmp / ("a/w/" + std::string(name)));
        list->SetFolderPath("..");
    }
    EXPECT_EQ(changes, 12);
    // A pattern that names no folder still opens the folder it is in.
    list->SetFolderPath(tmp / "a/b/*.txt");
    ExpectAt(tmp / "a/b");
}

// Names that only the locale finds equal are different folders on a volume that tells case
// apart: each is listed and opens its own folder, under each of the program's languages. A FAT
// stick, which ignores case, still shows one of two names that differ in case only.
TEST_F(FolderList, FoldersThatOnlyTheLocaleFindsEqualAreEachListedAndOpened) {
    const Texts names = {"Photos",
                         "photos",
                         "\xC3\xA9t\xC3\xA9",
                         "e\xCC\x81te\xCC\x81",
                         "A",
                         "\xEF\xBC\xA1",
                         "ab",
                         "a\xC2\xAD"
                         "b"};
    for (const std::string& name : names)
        tmp.AddFolder("a/c/" + name);
    for (const char* locale : {"en_US", "hr_HR", "de_DE"}) {
        const LocaleScope scope(locale);
        list->SetFolderPath(tmp / "a/c");
        const Texts listed = Subfolders(*list);
        ASSERT_EQ(std::set<std::string>(listed.begin(), listed.end()),
                  std::set<std::string>(names.begin(), names.end()))
            << locale;
        for (const std::string& name : names) {
            list->SelectEntry(RowOf(name));
            list->OpenSelectedEntry();
            ExpectAt(tmp / ("a/c/" + name));
            list->SetFolderPath("..");
        }
    }
    tmp.AddFolder("stick/PHOTOS"); // which of the two stays is the directory's order
    list->SetFolderPath(tmp / "stick");
    EXPECT_EQ(Subfolders(*list).size(), 2u);
}

// Both panes sort by the same locale collation, letter case ignored.
TEST_F(FolderList, BothListsSortByTheLocaleIgnoringCase) {
    const Texts names = {"zebra",
                         "\xC3\x9C"
                         "ber",
                         "apple",
                         "\xC3\xA9tude",
                         "\xC3\xBC"
                         "ber2",
                         "\xC4\x8C"
                         "okolada",
                         "\xC4\x8D"
                         "aj",
                         "cvijet"};
    tmp.AddFolder("a/f");
    for (const std::string& name : names) {
        tmp.AddFolder("a/s/" + name);
        tmp.AddFile("a/f/" + name);
    }
    const std::pair<const char*, Texts> orders[] = {
        {"en_US",
         {"apple",
          "\xC4\x8D"
          "aj",
          "\xC4\x8C"
          "okolada",
          "cvijet", "\xC3\xA9tude",
          "\xC3\x9C"
          "ber",
          "\xC3\xBC"
          "ber2",
          "zebra"}},
        {"hr_HR",
         {"apple", "cvijet",
          "\xC4\x8D"
          "aj",
          "\xC4\x8C"
          "okolada",
          "\xC3\xA9tude",
          "\xC3\x9C"
          "ber",
          "\xC3\xBC"
          "ber2",
          "zebra"}},
    };
    for (const auto& [locale, order] : orders) {
        const LocaleScope scope(locale);
        list->SetFolderPath(tmp / "a/s");
        EXPECT_EQ(Subfolders(*list), order) << locale;
        list->SetFolderPath(tmp / "a/f");
        EXPECT_EQ(TextsOf(*files), order) << locale;
    }
}

// Any number of folders opened on one drive leaves the other drives' own folders alone.
TEST_F(FolderList, EveryDriveKeepsItsOwnFolder) {
    list->SetFolderPath(tmp / "stick/in");
    for (int i = 0; i < 150; ++i) {
        const std::string folder = tmp / ("a/many/" + std::to_string(i));
        tmp.AddFolder("a/many/" + std::to_string(i));
        list->SetFolderPath(folder);
    }
    combo->setCurrentIndex(stick);
    ExpectAt(tmp / "stick/in");
    combo->setCurrentIndex(0);
    ExpectAt(tmp / "a/many/149");
}

// The folder list reads a folder once per change: a start folder given before the list is shown
// is not read again when it shows, and the file list goes through that same reading at its
// first show. Once the message loop has run, the file list reads afresh again.
class CountingFolderList : public TDirectoryListBox {
public:
    void RebuildEntries() override {
        ++reads;
        TDirectoryListBox::RebuildEntries();
    }
    int reads = 0;
};

TEST(FolderReads, AStartFolderIsReadOnceForBothLists) {
    TempFolder tmp({"start/sub/", "start/early.txt"});
    CountingFolderList list;
    TFileListBox files;
    list.SetFileList(&files);
    list.SetFolderPath(tmp / "start");
    tmp.AddFile("start/late.txt"); // after the reading the lists share
    list.SelectEntry(0);
    list.show();
    files.show();
    EXPECT_EQ(list.reads, 1);
    EXPECT_THAT(Subfolders(list), ElementsAre("sub"));
    EXPECT_EQ(list.Entry(list.CurrentIndex()).kind, fkCurrent);
    EXPECT_THAT(TextsOf(files), ElementsAre("early.txt"));
    QCoreApplication::processEvents();
    files.SetMask("*");
    EXPECT_THAT(TextsOf(files), ElementsAre("early.txt", "late.txt"));
    CountingFolderList fresh; // nothing opened before the show: read at the show
    fresh.show();
    EXPECT_EQ(fresh.reads, 1);
}

// Links into a network mount (by the mount table handed in) are looked through on threads of
// their own; once they have answered, each link counts as what it leads to in both lists (a
// link to nothing is a file), whether the answer came during the read or after it. On the
// network drive itself the user chose to wait: links there are followed.
TEST_F(FolderList, LinksIntoANetworkMountCountAsWhatALookOffTheWindowsThreadFinds) {
    tmp.AddFolder("nas/photos");
    tmp.AddFile("nas/a.txt");
    const std::pair<const char*, std::string> links[] = {
        {"a/share", tmp / "nas"},      {"a/photos", tmp / "nas/photos"},
        {"a/file", tmp / "nas/a.txt"}, {"a/missing", tmp / "nas/missing"},
        {"a/hop", "../hop2"},          {"hop2", "a/../nas/photos"},
        {"a/local", "top.txt"},        {"nas/back", "a.txt"},
    };
    for (const auto& [link, target] : links)
        ASSERT_EQ(symlink(target.c_str(), (tmp / link).c_str()), 0) << link;
    const TDriveSources sources =
        test::PreparedDrives(test::MountLine(tmp / "nas", "nfs4", "server:/export"),
                             [](const std::string&) { return true; });
    list->SetDriveSources(sources);
    combo->SetDriveSources(sources);
    list->SetFolderPath(tmp / "a/other");
    list->SetFolderPath(tmp / "a");
    SettleLinkLooks();
    EXPECT_THAT(Subfolders(*list), ElementsAre("b", "hop", "other", "photos", "share"));
    EXPECT_THAT(TextsOf(*files), ElementsAre("file", "local", "missing", "top.txt"));
    list->SetFolderPath(tmp / "nas");
    EXPECT_THAT(Subfolders(*list), ElementsAre("photos"));
    EXPECT_THAT(TextsOf(*files), ElementsAre("a.txt", "back"));
}

// The machine's own mount table names the dead mount: the folder list and the file list open a
// folder holding links into it at once, the links counting as folders. So for a share of a
// network type, for GNOME's own shares (fuse.gvfsd-fuse) and for plain FUSE, whose server may be
// anywhere. Runs in a child process, which alone sees the mounts and is ended if it waits.
TEST(DeadNetworkMount, AFolderWithLinksIntoItOpensAtOnce) {
    TempFolder tmp({"home/notes.txt", "home/sub/", "sshfs/", "gvfs/", "fuse/"});
    for (const char* mount : {"sshfs", "gvfs", "fuse"}) {
        const std::string link = tmp / ("home/to-" + std::string(mount));
        ASSERT_EQ(symlink((tmp / (mount + std::string("/photos"))).c_str(), link.c_str()), 0);
    }
    ASSERT_EQ(symlink((tmp / "gvfs").c_str(), (tmp / "home/share").c_str()), 0);
    const test::ChildOutcome outcome = test::RunWithOwnMounts([&](std::string& report) {
        for (const auto& [mount, type] :
             {std::pair("sshfs", "fuse.sshfs"), std::pair("gvfs", "fuse.gvfsd-fuse"),
              std::pair("fuse", "fuse")})
            if (std::string why = test::MountDeadServer(tmp / mount, type); !why.empty())
                return why;
        TDirectoryListBox list;
        TFileListBox files;
        list.SetFileList(&files);
        files.show();
        list.SetFolderPath(tmp / "home");
        for (const std::string& name : Subfolders(list))
            report += name + "/";
        for (const std::string& name : TextsOf(files))
            report += name + ";";
        return std::string();
    });
    if (!outcome.skipped.empty())
        GTEST_SKIP() << "no FUSE mount whose server never answers can be made here: "
                     << outcome.skipped;
    ASSERT_FALSE(outcome.timedOut) << "opening the folder waited on a dead server";
    EXPECT_EQ(outcome.report, "share/sub/to-fuse/to-gvfs/to-sshfs/notes.txt;");
}

// A look through a mount whose server answers late: the read shows the link as a folder, and
// when the answer comes (nothing there: a plain file) both lists correct themselves, keeping
// what the user selected meanwhile.
TEST(SlowNetworkMount, ALateAnswerCorrectsTheListsAndKeepsTheSelection) {
    TempFolder tmp({"home/a.txt", "home/b.txt", "slow/"});
    ASSERT_EQ(symlink((tmp / "slow/x").c_str(), (tmp / "home/late").c_str()), 0);
    const test::ChildOutcome outcome = test::RunWithOwnMounts([&](std::string& report) {
        if (std::string why = test::MountSlowServer(tmp / "slow", "fuse.curlftpfs",
                                                    std::chrono::milliseconds(300));
            !why.empty())
            return why;
        TDirectoryListBox list;
        TFileListBox files;
        files.SetMultiSelect(true);
        list.SetFileList(&files);
        files.show();
        list.SetFolderPath(tmp / "home");
        const auto show = [&] {
            for (const std::string& name : Subfolders(list))
                report += name + "/";
            for (int i = 0; i < files.EntryCount(); ++i)
                report += files.EntryText(i) + (files.IsEntrySelected(i) ? "*;" : ";");
            report += " ";
        };
        show();
        files.SetEntrySelected(1, true); // b.txt
        SettleLinkLooks();
        show();
        return std::string();
    });
    if (!outcome.skipped.empty())
        GTEST_SKIP() << "no FUSE mount can be made here: " << outcome.skipped;
    ASSERT_FALSE(outcome.timedOut) << "the lists waited on the slow server";
    EXPECT_EQ(outcome.report, "late/a.txt;b.txt; a.txt;b.txt*;late; ");
}

} // namespace
} // namespace nomilo
