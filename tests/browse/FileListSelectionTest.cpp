#include "browse/FileListBox.h"
#include "tests/browse/FileListTesting.h"

#include <QLineEdit>
#include <QTest>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace nomilo {
namespace {

using test::ShownList;
using test::TempFolder;
using ::testing::ElementsAre;

struct SixFiles : TempFolder {
    SixFiles() {
        for (const char* name : {"0", "1", "2", "3", "4", "5"})
            AddFile(name);
    }
};

// The selected entries of a list of six, as a text of their numbers.
std::string Selected(const ShownList& list) {
    std::string selected;
    for (int i = 0; i < list->EntryCount(); ++i)
        if (list->IsEntrySelected(i))
            selected += std::to_string(i);
    return selected;
}

TEST(FileListSelection, ClicksAndKeysSelectLikeADesktopListBox) {
    SixFiles tmp;
    ShownList list(tmp.Path());
    const auto key = [&](Qt::Key k, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(list.list.get(), k, modifiers);
    };
    list->setFocus();
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier, shift = Qt::ShiftModifier;
    const struct {
        std::function<void()> gesture;
        const char* selected;
        int current;
    } steps[] = {
        {[&] { list.Click(1); }, "1", 1},
        {[&] { list.Click(3, ctrl); }, "13", 3},
        {[&] { list.Click(5, shift); }, "345", 5},           // from the anchor 3, the rest cleared
        {[&] { list.Click(4, ctrl); }, "35", 4},             // toggles off, becomes the anchor
        {[&] { list.Click(0, ctrl | shift); }, "012345", 0}, // adds the range
        {[&] { list.Click(1); }, "1", 1},
        {[&] { key(Qt::Key_Down); }, "2", 2},
        {[&] { key(Qt::Key_Down, shift), key(Qt::Key_Down, shift); }, "234", 4},
        {[&] { key(Qt::Key_Up, shift); }, "23", 3},
        {[&] { key(Qt::Key_Up, ctrl), key(Qt::Key_Up, ctrl); }, "23", 1}, // the focus alone
        {[&] { key(Qt::Key_Space); }, "123", 1}, // toggles the focused entry
        {[&] { key(Qt::Key_End); }, "5", 5},
        {[&] { key(Qt::Key_Home, shift); }, "012345", 0},
        {[&] { key(Qt::Key_PageDown); }, "5", 5},
        {[&] { key(Qt::Key_A, ctrl); }, "012345", 5},
        {[&] { QTest::keyClicks(list.list.get(), "3"); }, "3", 3}, // typing a name
    };
    for (const auto& step : steps) {
        step.gesture();
        EXPECT_EQ(Selected(list), step.selected);
        EXPECT_EQ(list->CurrentIndex(), step.current) << step.selected;
    }

    const auto centre = [&](int row) {
        return list->visualRect(list->model()->index(row, 0)).center();
    };
    QTest::mousePress(list->viewport(), Qt::LeftButton, Qt::NoModifier, centre(1));
    QTest::mouseMove(list->viewport(), centre(3));
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, Qt::NoModifier, centre(3));
    EXPECT_EQ(Selected(list), "123");
    EXPECT_EQ(list->CurrentIndex(), 3);
}

TEST(FileListSelection, ASingleSelectionListSelectsOneEntry) {
    SixFiles tmp;
    ShownList list(tmp.Path(), false);
    list.Click(1);
    list.Click(3, Qt::ControlModifier);
    EXPECT_EQ(Selected(list), "3");
    list->setFocus();
    QTest::keyClick(list.list.get(), Qt::Key_Up, Qt::ShiftModifier);
    QTest::keyClick(list.list.get(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(Selected(list), "2");
}

TEST(FileListSelection, UserChangesFireOnClickThenOnChangeWhenTheFocusMoved) {
    SixFiles tmp;
    ShownList list(tmp.Path());
    std::vector<std::string> events;
    list->OnClick = [&](TFileListBox*) { events.push_back("click"); };
    list->OnChange = [&](TFileListBox* sender) {
        events.push_back("change " + std::to_string(sender->LastReportedIndex()));
    };
    list->OnDblClick = [&](TFileListBox*) { events.push_back("double"); };
    list.Click(2);
    list.Click(2, Qt::ControlModifier); // the selection changes, the focus does not
    list.Click(4, Qt::ShiftModifier);
    EXPECT_THAT(events, ElementsAre("click", "change 2", "click", "click", "change 4"));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                       list->visualRect(list->model()->index(1, 0)).center());
    EXPECT_EQ(events.back(), "double");
}

TEST(FileListSelection, TheFileEditShowsTheCurrentNameOrTheMask) {
    SixFiles tmp;
    ShownList list(tmp.Path());
    auto edit = std::make_unique<QLineEdit>();
    list->SetFileEdit(edit.get());
    EXPECT_EQ(edit->text(), "*.*");
    list.Click(3);
    EXPECT_EQ(edit->selectedText(), "3");
    list.Click(3, Qt::ControlModifier); // unselected: no current file name; the focus stays
    EXPECT_EQ(list->CurrentFileName(), "");
    EXPECT_EQ(list->CurrentIndex(), 3);
    list->SetMask("*");
    EXPECT_EQ(edit->text(), "*");
    edit.reset();
    list.Click(2); // nothing left to write to
    EXPECT_EQ(list->CurrentFileName(), "2");
}

} // namespace
} // namespace nomilo
