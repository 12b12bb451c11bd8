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

std::vector<bool> Flags(std::initializer_list<int> selected) {
    std::vector<bool> flags(6, false);
    for (int i : selected)
        flags[static_cast<std::size_t>(i)] = true;
    return flags;
}

TEST(FileListSelection, ClicksWithCtrlAndShiftSelectLikeADesktopListBox) {
    SixFiles tmp;
    ShownList list(tmp.Path());
    list.Click(1);
    EXPECT_EQ(list.Selection(), Flags({1}));
    list.Click(3, Qt::ControlModifier);
    EXPECT_EQ(list.Selection(), Flags({1, 3}));
    list.Click(5, Qt::ShiftModifier); // from the anchor 3, the rest cleared
    EXPECT_EQ(list.Selection(), Flags({3, 4, 5}));
    list.Click(4, Qt::ControlModifier); // toggles off, becomes the anchor
    EXPECT_EQ(list.Selection(), Flags({3, 5}));
    list.Click(0, Qt::ControlModifier | Qt::ShiftModifier); // adds the range to what is there
    EXPECT_EQ(list.Selection(), Flags({0, 1, 2, 3, 4, 5}));
    list.Click(2);
    EXPECT_EQ(list.Selection(), Flags({2}));
    EXPECT_EQ(list->CurrentIndex(), 2);
}

TEST(FileListSelection, KeysMoveTheFocusAndSelect) {
    SixFiles tmp;
    ShownList list(tmp.Path());
    list->setFocus();
    list.Click(1);
    QTest::keyClick(list.list.get(), Qt::Key_Down);
    EXPECT_EQ(list.Selection(), Flags({2}));
    QTest::keyClick(list.list.get(), Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(list.list.get(), Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(list.Selection(), Flags({2, 3, 4}));
    EXPECT_EQ(list->CurrentIndex(), 4);
    QTest::keyClick(list.list.get(), Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(list.Selection(), Flags({2, 3}));

    list.clicks = 0;
    QTest::keyClick(list.list.get(), Qt::Key_Up, Qt::ControlModifier); // the focus alone
    QTest::keyClick(list.list.get(), Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(list->CurrentIndex(), 1);
    EXPECT_EQ(list.Selection(), Flags({2, 3}));
    EXPECT_EQ(list.clicks, 0);
    QTest::keyClick(list.list.get(), Qt::Key_Space); // toggles the focused entry
    EXPECT_EQ(list.Selection(), Flags({1, 2, 3}));
    QTest::keyClick(list.list.get(), Qt::Key_Space);
    EXPECT_EQ(list.Selection(), Flags({2, 3}));

    QTest::keyClick(list.list.get(), Qt::Key_End);
    EXPECT_EQ(list.Selection(), Flags({5}));
    QTest::keyClick(list.list.get(), Qt::Key_Home, Qt::ShiftModifier);
    EXPECT_EQ(list.Selection(), Flags({0, 1, 2, 3, 4, 5}));
    QTest::keyClick(list.list.get(), Qt::Key_Down);
    EXPECT_EQ(list.Selection(), Flags({1}));
    QTest::keyClick(list.list.get(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(list.Selection(), Flags({0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(list->CurrentIndex(), 1);
}

TEST(FileListSelection, DraggingAndTypingSelectToo) {
    SixFiles tmp;
    ShownList list(tmp.Path());
    auto centre = [&](int row) { return list->visualRect(list->model()->index(row, 0)).center(); };
    QTest::mousePress(list->viewport(), Qt::LeftButton, Qt::NoModifier, centre(1));
    QTest::mouseMove(list->viewport(), centre(3));
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, Qt::NoModifier, centre(3));
    EXPECT_EQ(list.Selection(), Flags({1, 2, 3}));
    EXPECT_EQ(list->CurrentIndex(), 3);

    list->setFocus();
    QTest::keyClicks(list.list.get(), "5");
    EXPECT_EQ(list.Selection(), Flags({5}));
    EXPECT_EQ(list->CurrentFileName(), "5");
}

TEST(FileListSelection, ASingleSelectionListSelectsOneEntry) {
    SixFiles tmp;
    ShownList list(tmp.Path(), false);
    list.Click(1);
    list.Click(3, Qt::ControlModifier);
    EXPECT_EQ(list.Selection(), Flags({3}));
    list->setFocus();
    QTest::keyClick(list.list.get(), Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(list.Selection(), Flags({2}));
    QTest::keyClick(list.list.get(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(list.Selection(), Flags({2}));
}

TEST(FileListSelection, UserChangesFireOnClickThenOnChangeWhenTheFocusMoved) {
    SixFiles tmp;
    ShownList list(tmp.Path());
    std::vector<std::string> events;
    list->OnClick = [&](TFileListBox* sender) {
        EXPECT_EQ(sender, list.list.get());
        events.push_back("click");
    };
    list->OnChange = [&](TFileListBox* sender) {
        events.push_back("change " + std::to_string(sender->LastReportedIndex()));
    };
    list->OnDblClick = [&](TFileListBox*) { events.push_back("double"); };
    list.Click(2);
    list.Click(2, Qt::ControlModifier); // the selection changes, the focus does not
    list.Click(4, Qt::ShiftModifier);
    EXPECT_THAT(events, ElementsAre("click", "change 2", "click", "click", "change 4"));

    events.clear();
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                       list->visualRect(list->model()->index(1, 0)).center());
    EXPECT_THAT(events, ::testing::Contains("double"));
    EXPECT_EQ(events.back(), "double");
}

TEST(FileListSelection, TheFileEditShowsTheCurrentNameOrTheMask) {
    SixFiles tmp;
    ShownList list(tmp.Path());
    auto edit = std::make_unique<QLineEdit>();
    list->SetFileEdit(edit.get());
    EXPECT_EQ(edit->text(), "*.*");
    list.Click(3);
    EXPECT_EQ(edit->text(), "3");
    EXPECT_EQ(edit->selectedText(), "3");
    list.Click(3, Qt::ControlModifier); // unselected: no current file name; the focus stays
    EXPECT_EQ(list->CurrentFileName(), "");
    EXPECT_EQ(list->CurrentIndex(), 3);
    list->SetMask("*");
    EXPECT_EQ(edit->text(), "*");

    edit.reset();
    EXPECT_EQ(list->FileEdit(), nullptr);
    list.Click(2); // nothing left to write to
    EXPECT_EQ(list->CurrentFileName(), "2");
}

} // namespace
} // namespace nomilo
