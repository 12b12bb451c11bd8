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
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"*.txt;*.doc", {" e.doc", "a.txt", "b.TXT", "c.doc"}},
        {"*.txt;*.TXT", {"a.txt", "a.txt", "b.TXT", "b.TXT"}},
        {"*.jpg; *.doc", {" e.doc", "d.jpg"}}, // the space belongs to the second pattern
        {"*.txt;", {"a.txt", "b.TXT"}},
        {"", {}},
        {";;", {}},
    };
    for (const auto& [mask, texts] : cases) {
        list->SetMask(mask);
        EXPECT_EQ(list.Texts(), texts) << mask;
    }
    EXPECT_EQ(list.changes, 6); // an empty result is still a complete read

    // The same mask does nothing; the same in other letter case reads again.
    tmp.AddFile("f.txt");
    list->SetMask(";;");
    EXPECT_EQ(list.changes, 6);
    list->SetMask("*.Txt");
    EXPECT_THAT(list.Texts(), ElementsAre("a.txt", "b.TXT", "f.txt"));
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
    const std::pair<TFileType, std::vector<std::string>> cases[] = {
        {{ftNormal, ftDirectory}, {"[..]", "[.]", "[sub]", "dangling", "plain"}},
        {{ftNormal, ftDirectory, ftHidden},
         {".hidden", "[..]", "[.]", "[.git]", "[sub]", "dangling", "plain"}},
        {{ftNormal, ftSystem}, {"dangling", "pipe", "plain"}},
        // Without ftNormal only items with one of the chosen bits come in.
        {{ftHidden}, {".hidden"}},
        {{ftDirectory}, {"[..]", "[.]", "[sub]"}},
        {{ftArchive}, {"dangling", "plain"}},
        {{}, {}},
    };
    for (const auto& [type, texts] : cases) {
        list->SetFileType(type);
        EXPECT_EQ(list.Texts(), texts) << int(type.Byte());
    }
}

TEST(FileListRead, GlyphsFollowTheExtensionInAnyCase) {
    TempFolder tmp;
    const char* executables[] = {"a.exe", "b.EXE", "c.Com", "d.bat", "e.PIF", "i.txt.exe"};
    const char* others[] = {"f", "g.", "h.exe.txt", "exe", "j.\xC3\x89XE"};
    for (const char* name : executables)
        tmp.AddFile(name);
    for (const char* name : others)
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
    for (const char* name : executables)
        EXPECT_EQ(glyphOf(name), egExecutable) << name;
    for (const char* name : others)
        EXPECT_EQ(glyphOf(name), egUnknownFile) << name;
    EXPECT_EQ(glyphOf("[k.exe]"), egNone); // folders get their glyph only while glyphs show
    list->SetShowGlyphs(true);
    EXPECT_EQ(glyphOf("[k.exe]"), egNone); // not read again
    list->SetMask("*");
    EXPECT_EQ(glyphOf("[k.exe]"), egFolder);
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

    // A read of a folder that vanished fails and keeps the entries.
    list->SetEntrySelected(1, true);
    const int changes = list.changes;
    SetCurrentDir("/");
    std::filesystem::remove_all(tmp.Path());
    try {
        list->SetMask("*");
        FAIL() << "the read went through";
    } catch (const EInOutError& e) {
        EXPECT_STREQ(e.what(), "File not found");
    }
    EXPECT_THAT(list.Texts(), ElementsAre("a.txt", "b.txt"));
    EXPECT_THAT(list.Selection(), ElementsAre(false, true));
    EXPECT_EQ(list.changes, changes);
    EXPECT_EQ(list->Mask(), "*");
}

} // namespace
} // namespace nomilo
