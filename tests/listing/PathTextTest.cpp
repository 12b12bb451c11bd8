#include "listing/PathText.h"

#include "listing/FolderNames.h"
#include "listing/LocaleText.h"
#include "listing/TargetPath.h"
#include "platform/files/CurrentDir.h"
#include "platform/files/EInOutError.h"
#include "tests/support/TempFolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nomilo {
namespace {

using test::TempFolder;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

// `read` (in the order read) in the folder list's order, as FolderOrder leaves it.
std::vector<std::string> SortedFolderNames(const std::vector<std::string>& read,
                                           bool caseSensitive) {
    TNameKeys names;
    for (const std::string& name : read)
        names.Add(name);
    std::vector<std::string> sorted;
    for (std::uint32_t name : FolderOrder(names, caseSensitive))
        sorted.emplace_back(names.Name(name));
    return sorted;
}

// The visible subfolders of `parent`, as ReadSubfolders finds them.
std::vector<std::string> Subfolders(const std::string& parent) {
    TNameKeys names;
    ReadSubfolders(parent, names);
    std::vector<std::string> read;
    for (std::uint32_t name = 0; name < names.Size(); ++name)
        read.emplace_back(names.Name(name));
    return read;
}

// Dots are narrow, everything else is 10 pixels wide, as in a proportional font: "/usr/" and
// "/.../" then differ in width, so every step of the shortening shows.
int NarrowDots(std::string_view text) {
    int width = 0;
    for (char c : text)
        width += c == '.' ? 1 : 10;
    return width;
}

TEST(FitPathToWidth, ShrinksOneFolderAtATimeThenTheRootThenTheFolders) {
    // Each width on both sides of a step; the name stays even when it does not fit.
    const std::pair<int, const char*> steps[] = {{180, "/usr/share/doc/pkg"},
                                                 {179, "/.../share/doc/pkg"},
                                                 {153, "/.../share/doc/pkg"},
                                                 {152, "/.../doc/pkg"},
                                                 {93, "/.../doc/pkg"},
                                                 {92, "/.../pkg"},
                                                 {53, "/.../pkg"},
                                                 {52, ".../pkg"},
                                                 {43, ".../pkg"},
                                                 {42, "pkg"},
                                                 {0, "pkg"}};
    for (const auto& [width, text] : steps)
        EXPECT_EQ(FitPathToWidth("/usr/share/doc/pkg", NarrowDots, width), text) << width;
    EXPECT_EQ(FitPathToWidth("/", NarrowDots, 0), "");
    // A folder whose name begins with a dot is dropped like any other: only a ".../" left by
    // an earlier step is taken for one.
    EXPECT_EQ(FitPathToWidth("/.a/b/name", NarrowDots, 90), "/.../b/name");
    EXPECT_EQ(FitPathToWidth("/.ab/c/name", NarrowDots, 80), "/.../name");
}

TEST(FolderNames, NamesThatOnlyDecodingMakesEqualStayApart) {
    EXPECT_EQ(CompareByLocale("\xff", "\xfe"), 0); // both decode to one replacement character
    EXPECT_NE(CompareNamesByLocale("\xff", "\xfe"), 0);
    EXPECT_NE(CompareNamesByLocale("\xff", "\xfe", true), 0);
    EXPECT_EQ(CompareNamesByLocale("A\xff", "a\xff", true), 0);
    EXPECT_NE(CompareNamesByLocale("A\xff", "a\xff", false), 0);
    EXPECT_EQ(CompareNamesByLocale("Docs", "docs", true), 0);
    EXPECT_NE(CompareNamesByLocale("Docs", "docs", false), 0);
    // Bytes that are valid UTF-8 come before the same text spelt with bytes that are not.
    EXPECT_LT(CompareNamesByLocale("\xef\xbf\xbd", "\xff"), 0);
    EXPECT_GT(CompareNamesByLocale("\xff", "\xef\xbf\xbd"), 0);

    // A volume that ignores case keeps the name read first of those the locale finds equal; one
    // that tells case apart keeps every name, the locale's equals in the order of their bytes.
    const std::vector<std::string> read = {"beta",  "Gamma", "alpha", "Beta",  "ALPHA", "delta",
                                           "GAMMA", "\xff",  "\xfe",  "X\xff", "x\xff", "\xff"};
    EXPECT_THAT(SortedFolderNames(read, false),
                ElementsAre("alpha", "beta", "delta", "Gamma", "X\xff", "\xfe", "\xff"));
    EXPECT_THAT(SortedFolderNames(read, true),
                ElementsAre("ALPHA", "alpha", "Beta", "beta", "delta", "GAMMA", "Gamma", "X\xff",
                            "x\xff", "\xfe", "\xff", "\xff"));
}

TEST(ReadSubfolders, GivesTheVisibleFoldersOnly) {
    TempFolder tmp({"Photos/", "music/", ".git/", "x/inner/", "file.txt"});
    ASSERT_EQ(symlink("Photos", (tmp / "link").c_str()), 0);
    ASSERT_EQ(symlink("file.txt", (tmp / "filelink").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", (tmp / "dangling").c_str()), 0);
    ASSERT_EQ(mkfifo((tmp / "fifo").c_str(), 0600), 0);
    EXPECT_THAT(Subfolders(tmp.Path()), UnorderedElementsAre("Photos", "music", "x", "link"));
    EXPECT_TRUE(Subfolders(tmp / "missing").empty());
}

// A drive of its own below the temporary folder: "stick".
class SplitTarget : public ::testing::Test {
protected:
    void SetUp() override {
        drives = {TDrive{"/", dtFixed, {}, {}, "ext4"},
                  TDrive{tmp / "stick", dtRemovable, {}, {}, "vfat"}};
        SetCurrentDir(tmp.Path());
    }
    TTargetParts Split(const std::string& text) { return SplitTargetPath(text, drives); }

    TempFolder tmp{{"Data/Sub/", "Data/report.txt", "x/Sub/", "Sub/", "stick/in/", "gone/"}};
    std::vector<TDrive> drives;
};

TEST_F(SplitTarget, FoldersFilesAndPatternsGiveTheirFolderAndItsDrive) {
    const std::tuple<std::string, std::string, std::string, std::string> cases[] = {
        {tmp / "Data/", tmp / "Data", "", "/"},
        {tmp / "Data/report.txt", tmp / "Data", "report.txt", "/"},
        {tmp / "Data/repor?.txt", tmp / "Data", "repor?.txt", "/"},
        {"/", "/", "", "/"},
        {"Data/Sub", tmp / "Data/Sub", "", "/"},
        {"./Data/*.txt", tmp / "Data", "*.txt", "/"},
        {"[Sub]", tmp / "Sub", "", "/"},
        {"..", tmp.Path().substr(0, tmp.Path().rfind('/')), "", "/"},
        // A first folder of one character is a folder like any other, not the root.
        {"x/Sub", tmp / "x/Sub", "", "/"},
        {tmp / "stick", tmp / "stick", "", tmp / "stick"},
        {"stick/in", tmp / "stick/in", "", tmp / "stick"},
    };
    for (const auto& [target, folder, file, drive] : cases) {
        const TTargetParts parts = Split(target);
        EXPECT_EQ(parts.folderPart, folder) << target;
        EXPECT_EQ(parts.filePart, file) << target;
        EXPECT_EQ(parts.letter, drive) << target;
        EXPECT_EQ(GetCurrentDir(), tmp.Path()) << target; // changed back
    }
}

TEST_F(SplitTarget, AMissingFolderRaisesAndTheCurrentDirectoryComesBack) {
    const std::pair<std::string, int> cases[] = {
        {tmp / "Data/Missing", 2}, {tmp / "Missing/x", 2},         {"Missing", 2},
        {"[Missing]", 2},          {tmp / "Data/report.txt/x", 3},
    };
    for (const auto& [target, code] : cases) {
        try {
            Split(target);
            ADD_FAILURE() << "resolved " << target;
        } catch (const EInOutError& e) {
            EXPECT_EQ(e.Code(), code) << target;
        }
        EXPECT_EQ(GetCurrentDir(), tmp.Path()) << target;
    }
    // With the current directory removed, an absolute target still resolves.
    SetCurrentDir(tmp / "gone");
    ASSERT_EQ(rmdir((tmp / "gone").c_str()), 0);
    EXPECT_EQ(Split(tmp / "Data").folderPart, tmp / "Data");
    EXPECT_THROW(Split("Data"), EInOutError);
}

} // namespace
} // namespace nomilo
