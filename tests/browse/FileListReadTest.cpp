#include "browse/FileListBox.h"
#include "platform/CurrentDir.h"
#include "platform/EInOutError.h"
#include "tests/browse/FileListTesting.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nomilo {
namespace {

using test::ShownList;
using test::TempFolder;
using ::testing::ElementsAre;

TEST(FileListRead, NothingIsReadUntilTheListIsFirstShown) {
    TempFolder tmp;
    tmp.AddFile("a.txt");
    tmp.AddFile("b.doc");
    TFileListBox list;
    EXPECT_EQ(list.Mask(), "*.*");
    EXPECT_EQ(list.FileType().Byte(), 0x40);
    EXPECT_EQ(list.width(), 145);
    int changes = 0;
    list.OnChange = [&](TFileListBox*) { ++changes; };

    list.SetFolderPath(tmp.Path());
    EXPECT_EQ(GetCurrentDir(), tmp.Path()); // entered, but not read
    list.SetMask("*.txt");
    list.SetFileType({ftNormal, ftDirectory});
    EXPECT_EQ(list.EntryCount(), 0);
    EXPECT_EQ(changes, 0);

    SetCurrentDir("/");
    list.show();
    EXPECT_THAT(test::TextsOf(list), ElementsAre("a.txt"));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(GetCurrentDir(), tmp.Path());
}

TEST(FileListRead, SubMasksAreSearchedInTurnUntrimmedAndDuplicatesStay) {
    TempFolder tmp;
    for (const char* name : {"a.txt", "b.TXT", "c.doc", "d.jpg", " e.doc"})
        tmp.AddFile(name);
    ShownList list(tmp.Path());

    list->SetMask("*.txt;*.doc");
    EXPECT_THAT(list.Texts(), ElementsAre(" e.doc", "a.txt", "b.TXT", "c.doc"));
    list->SetMask("*.txt;*.TXT");
    EXPECT_THAT(list.Texts(), ElementsAre("a.txt", "a.txt", "b.TXT", "b.TXT"));
    list->SetMask("*.jpg; *.doc"); // the space belongs to the second pattern
    EXPECT_THAT(list.Texts(), ElementsAre(" e.doc", "d.jpg"));
    list->SetMask("*.txt;");
    EXPECT_THAT(list.Texts(), ElementsAre("a.txt", "b.TXT"));

    list.changes = 0;
    for (const char* empty : {"", ";", ";;", "nothing*"}) {
        list->SetMask(empty);
        EXPECT_EQ(list->EntryCount(), 0) << '"' << empty << '"';
    }
    EXPECT_EQ(list.changes, 4); // an empty result is still a complete read
}

TEST(FileListRead, SortsWithoutRegardToCaseKeepingNamesAsBytes) {
    TempFolder tmp;
    for (const char* name : {"b", "A", "c", "B2", "a_", "\xff.bin", "Zeta"})
        tmp.AddFile(name);
    ShownList list(tmp.Path());
    EXPECT_THAT(list.Texts(), ElementsAre("A", "a_", "b", "B2", "c", "Zeta", "\xff.bin"));
    EXPECT_EQ(list->model()->index(6, 0).data().toString(), QString::fromUtf8("\xff.bin"));
}

TEST(FileListRead, AdmitsItemsByFileType) {
    TempFolder tmp;
    tmp.AddFile("plain");
    tmp.AddFile(".hidden");
    tmp.AddFolder("sub");
    tmp.AddFolder(".git");
    ASSERT_EQ(mkfifo((tmp / "pipe").c_str(), 0600), 0);
    ASSERT_EQ(symlink("gone", (tmp / "dangling").c_str()), 0);
    ShownList list(tmp.Path());

    // The default [ftNormal]: no hidden or system items, no folders.
    EXPECT_THAT(list.Texts(), ElementsAre("dangling", "plain"));

    list->SetFileType({ftNormal, ftDirectory});
    EXPECT_THAT(list.Texts(), ElementsAre("[..]", "[.]", "[sub]", "dangling", "plain"));
    list->SetFileType({ftNormal, ftDirectory, ftHidden});
    EXPECT_THAT(list.Texts(),
                ElementsAre(".hidden", "[..]", "[.]", "[.git]", "[sub]", "dangling", "plain"));
    list->SetFileType({ftNormal, ftSystem});
    EXPECT_THAT(list.Texts(), ElementsAre("dangling", "pipe", "plain"));

    // Without ftNormal only items with one of the chosen bits come in.
    list->SetFileType({ftHidden});
    EXPECT_THAT(list.Texts(), ElementsAre(".hidden"));
    list->SetFileType({ftDirectory});
    EXPECT_THAT(list.Texts(), ElementsAre("[..]", "[.]", "[sub]"));
    list->SetFileType({ftArchive});
    EXPECT_THAT(list.Texts(), ElementsAre("dangling", "plain"));
    list->SetFileType({});
    EXPECT_EQ(list->EntryCount(), 0);
}

TEST(FileListRead, GlyphsFollowTheExtensionInAnyCase) {
    TempFolder tmp;
    for (const char* name : {"a.exe", "b.EXE", "c.Com", "d.bat", "e.PIF", "f", "g.", "h.exe.txt",
                             "i.txt.exe", "exe", "j.\xC3\x89XE"})
        tmp.AddFile(name);
    tmp.AddFolder("k.exe");
    ShownList list(tmp.Path());
    list->SetFileType({ftNormal, ftDirectory});
    auto glyphOf = [&](const std::string& text) {
        for (int i = 0; i < list->EntryCount(); ++i)
            if (list->EntryText(i) == text)
                return list->Model().Entry(i).glyph;
        ADD_FAILURE() << text << " not listed";
        return egNone;
    };
    for (const char* name : {"a.exe", "b.EXE", "c.Com", "d.bat", "e.PIF", "i.txt.exe"})
        EXPECT_EQ(glyphOf(name), egExecutable) << name;
    for (const char* name : {"f", "g.", "h.exe.txt", "exe", "j.\xC3\x89XE"})
        EXPECT_EQ(glyphOf(name), egUnknownFile) << name;
    EXPECT_EQ(glyphOf("[k.exe]"), egNone); // folders get their glyph only while glyphs show

    list->SetShowGlyphs(true);
    EXPECT_EQ(glyphOf("[k.exe]"), egNone); // not read again
    list->SetMask("*");
    EXPECT_EQ(glyphOf("[k.exe]"), egFolder);
}

TEST(FileListRead, SameMaskDoesNothingAndOtherCaseReadsAgain) {
    TempFolder tmp;
    tmp.AddFile("a.txt");
    ShownList list(tmp.Path());
    list->SetMask("*.txt");
    tmp.AddFile("b.txt");
    list.changes = 0;
    list->SetMask("*.txt");
    EXPECT_THAT(list.Texts(), ElementsAre("a.txt"));
    EXPECT_EQ(list.changes, 0);
    list->SetMask("*.TXT");
    EXPECT_THAT(list.Texts(), ElementsAre("a.txt", "b.txt"));
    EXPECT_EQ(list.changes, 1);
}

TEST(FileListRead, EveryReadEntersTheFolderAndClearsTheSelection) {
    TempFolder tmp;
    tmp.AddFile("a.txt");
    tmp.AddFile("b.txt");
    ShownList list(tmp.Path());
    list.Click(1);
    ASSERT_THAT(list.Selection(), ElementsAre(false, true));
    SetCurrentDir("/");
    list->SetMask("*.txt");
    EXPECT_EQ(GetCurrentDir(), tmp.Path());
    EXPECT_THAT(list.Selection(), ElementsAre(false, false));
    EXPECT_EQ(list->CurrentIndex(), -1);
    EXPECT_EQ(list->LastReportedIndex(), -1);
}

TEST(FileListRead, AReadOfAVanishedFolderFailsAndKeepsTheEntries) {
    TempFolder tmp;
    tmp.AddFolder("sub");
    tmp.AddFile("sub/a.txt");
    tmp.AddFile("sub/b.txt");
    ShownList list(tmp / "sub");
    list->SetEntrySelected(1, true);
    SetCurrentDir(tmp.Path());
    std::filesystem::remove_all(tmp / "sub");
    try {
        list->SetMask("*.txt");
        FAIL() << "the read went through";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.Code(), 2);
        EXPECT_STREQ(e.what(), "File not found");
    }
    EXPECT_THAT(list.Texts(), ElementsAre("a.txt", "b.txt"));
    EXPECT_THAT(list.Selection(), ElementsAre(false, true));
    EXPECT_EQ(list.changes, 0);
    EXPECT_EQ(list->Mask(), "*.txt");
}

} // namespace
} // namespace nomilo
