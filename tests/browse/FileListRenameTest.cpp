#include "browse/FileListBox.h"
#include "platform/CurrentDir.h"
#include "platform/MoveFile.h"
#include "rename/RenameBatch.h"
#include "tests/browse/FileListTesting.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace nomilo {
namespace {

using test::ShownList;
using test::TempFolder;
using ::testing::ElementsAre;

// The batch over a real list, renaming on disk; answers how many failure messages it showed.
int Rename(TFileListBox& list, TRenameInputs inputs) {
    int messages = 0;
    RenameBatch(list, inputs, MoveFile, [&] { ++messages; });
    return messages;
}

TEST(RenameOverTheList, RenamedEntriesStayInPlaceWithTheirGlyphsUntilTheNextRead) {
    TempFolder tmp;
    for (const char* name : {"a1.txt", "b1.txt", "c1.exe", "d2.txt"})
        tmp.AddFile(name, name);
    ShownList list(tmp.Path());
    list->SetEntrySelected(0, true);
    list->SetEntrySelected(2, true);
    SetCurrentDir(tmp.Path());

    TRenameInputs inputs;
    inputs.selectedOnly = true;
    inputs.prefixMode = true;
    inputs.replaceText = "z";
    EXPECT_EQ(Rename(*list, inputs), 0);
    EXPECT_THAT(list.Texts(), ElementsAre("za1.txt", "b1.txt", "zc1.exe", "d2.txt"));
    EXPECT_THAT(list.Selection(), ElementsAre(true, false, true, false));
    EXPECT_EQ(tmp.Read("za1.txt"), "a1.txt");

    inputs.selectedOnly = false;
    inputs.prefixMode = false;
    inputs.findText = ".exe";
    inputs.replaceText = ".txt";
    EXPECT_EQ(Rename(*list, inputs), 0);
    EXPECT_EQ(list->EntryText(2), "zc1.txt");
    EXPECT_EQ(list->Model().Entry(2).glyph, egExecutable); // until the next read
    EXPECT_THAT(list.Selection(), ElementsAre(true, false, false, false));
    EXPECT_EQ(list.changes, 0);

    list->SetMask("*.txt");
    EXPECT_THAT(list.Texts(), ElementsAre("b1.txt", "d2.txt", "za1.txt", "zc1.txt"));
    EXPECT_EQ(list->Model().Entry(3).glyph, egUnknownFile);
}

TEST(RenameOverTheList, ThePatternListedTwiceRenamesAtTheFirstEntryAndFailsAtTheSecond) {
    TempFolder tmp;
    tmp.AddFile("x1.txt");
    tmp.AddFile("x2.txt");
    ShownList list(tmp.Path());
    list->SetMask("*.txt;*.txt");
    ASSERT_THAT(list.Texts(), ElementsAre("x1.txt", "x1.txt", "x2.txt", "x2.txt"));

    TRenameInputs inputs;
    inputs.selectedOnly = false;
    inputs.findText = "x";
    inputs.replaceText = "y";
    EXPECT_EQ(Rename(*list, inputs), 1);
    EXPECT_THAT(list.Texts(), ElementsAre("y1.txt", "x1.txt", "y2.txt", "x2.txt"));
    EXPECT_EQ(tmp.Names(), (std::set<std::string>{"y1.txt", "y2.txt"}));
}

} // namespace
} // namespace nomilo
