#include "browse/EListError.h"
#include "browse/FileListBox.h"
#include "browse/FontLineHeight.h"
#include "tests/browse/FileListTesting.h"

#include <QApplication>
#include <QImage>
#include <QSignalSpy>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace nomilo {
namespace {

using test::ShownList;
using test::TempFolder;
using ::testing::ElementsAre;

struct ThreeFiles : TempFolder {
    ThreeFiles() {
        for (const char* name : {"a.exe", "b.txt", "c.txt"})
            AddFile(name);
    }
};

TEST(FileListModel, ABadIndexFailsAndChangesNothing) {
    ThreeFiles tmp;
    ShownList list(tmp.Path());
    ShownList single(tmp.Path(), false);
    const std::pair<std::function<void()>, int> calls[] = {
        {[&] { list->EntryText(-1); }, -1},
        {[&] { list->IsEntrySelected(3); }, 3},
        {[&] { list->SetEntrySelected(1000, true); }, 1000},
        {[&] { list->ReplaceEntryText(3, "x"); }, 3},
        // A single-selection list refuses to set selected flags one by one.
        {[&] { single->SetEntrySelected(1, true); }, 1},
    };
    for (const auto& [call, index] : calls) {
        try {
            call();
            ADD_FAILURE() << "no error for index " << index;
        } catch (const EListError& e) {
            EXPECT_EQ(e.what(), "List index out of bounds (" + std::to_string(index) + ")");
        }
    }
    EXPECT_THAT(list.Texts(), ElementsAre("a.exe", "b.txt", "c.txt"));
    EXPECT_THAT(list.Selection(), ElementsAre(false, false, false));
    EXPECT_THAT(single.Selection(), ElementsAre(false, false, false));
}

TEST(FileListModel, ReplaceEntryTextChangesOneRowQuietly) {
    ThreeFiles tmp;
    ShownList list(tmp.Path());
    list.Click(1);
    list.changes = list.clicks = 0;
    list->SetEntrySelected(0, true); // raises no notification
    QSignalSpy resets(list->model(), &QAbstractItemModel::modelReset);
    QSignalSpy changed(list->model(), &QAbstractItemModel::dataChanged);

    list->ReplaceEntryText(0, "zz.txt");
    EXPECT_EQ(list->model()->index(0, 0).data().toString(), "zz.txt");
    EXPECT_THAT(list.Selection(), ElementsAre(false, true, false));
    EXPECT_EQ(list->CurrentIndex(), 1);
    EXPECT_EQ(resets.count(), 0);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].value<QModelIndex>().row(), 0);
    EXPECT_EQ(list.changes + list.clicks, 0);
}

// Changing the item height (the first change of the font colour, for one) used to rebuild the
// list's window, which read the folder again and threw away the user's selection.
TEST(FileListModel, AChangedItemHeightKeepsEntriesAndSelection) {
    ThreeFiles tmp;
    ShownList list(tmp.Path());
    const int fontHeight = FontLineHeight(list->font());
    list->SetItemHeight(fontHeight + 7); // as a saved layout may set it
    list.Click(0);
    list.Click(2, Qt::ControlModifier);
    tmp.AddFile("new.txt");
    list.changes = list.clicks = 0;

    list->SetFontColor(Qt::darkBlue);
    EXPECT_EQ(list->ItemHeight(), fontHeight);
    QFont bigger = list->font();
    bigger.setPixelSize(40);
    list->setFont(bigger);
    EXPECT_EQ(list->ItemHeight(), FontLineHeight(bigger));
    EXPECT_THAT(list.Texts(), ElementsAre("a.exe", "b.txt", "c.txt"));
    EXPECT_THAT(list.Selection(), ElementsAre(true, false, true));
    EXPECT_EQ(list->CurrentIndex(), 2);
    EXPECT_EQ(list.changes, 0);
    QApplication::processEvents();
    EXPECT_EQ(list->visualRect(list->model()->index(2, 0)).top(), 2 * FontLineHeight(bigger));

    // Glyphs raise a small font's item height to theirs.
    bigger.setPixelSize(6);
    list->setFont(bigger);
    ASSERT_LT(list->ItemHeight(), 16);
    list->SetShowGlyphs(true);
    EXPECT_EQ(list->ItemHeight(), 16);
}

TEST(FileListModel, SelectionIsPaintedFromTheEntriesFlags) {
    ThreeFiles tmp;
    ShownList list(tmp.Path());
    QPalette colours = list->palette();
    colours.setColor(QPalette::Highlight, QColor(10, 20, 200));
    list->setPalette(colours);
    list->SetColor(QColor(250, 250, 240));
    list->SetEntrySelected(1, true);
    QApplication::processEvents();
    const QImage image = list->viewport()->grab().toImage();
    for (int row = 0; row < 3; ++row) {
        const QRect rect = list->visualRect(list->model()->index(row, 0));
        EXPECT_EQ(image.pixelColor(rect.right() - 2, rect.center().y()),
                  row == 1 ? QColor(10, 20, 200) : QColor(250, 250, 240))
            << row;
    }
}

} // namespace
} // namespace nomilo
