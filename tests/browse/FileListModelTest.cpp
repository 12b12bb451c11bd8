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
        AddFile("a.exe");
        AddFile("b.txt");
        AddFile("c.txt");
    }
};

void ExpectOutOfBounds(const std::function<void()>& call, int index) {
    try {
        call();
        ADD_FAILURE() << "no error for index " << index;
    } catch (const EListError& e) {
        EXPECT_EQ(e.what(), "List index out of bounds (" + std::to_string(index) + ")");
    }
}

TEST(FileListModel, ABadIndexFailsAndChangesNothing) {
    ThreeFiles tmp;
    ShownList list(tmp.Path());
    for (int bad : {-1, 3, 1000}) {
        ExpectOutOfBounds([&] { list->EntryText(bad); }, bad);
        ExpectOutOfBounds([&] { list->IsEntrySelected(bad); }, bad);
        ExpectOutOfBounds([&] { list->SetEntrySelected(bad, true); }, bad);
        ExpectOutOfBounds([&] { list->ReplaceEntryText(bad, "x"); }, bad);
    }
    EXPECT_THAT(list.Texts(), ElementsAre("a.exe", "b.txt", "c.txt"));
    EXPECT_THAT(list.Selection(), ElementsAre(false, false, false));

    // A single-selection list refuses to set selected flags one by one.
    ShownList single(tmp.Path(), false);
    ExpectOutOfBounds([&] { single->SetEntrySelected(1, true); }, 1);
    EXPECT_THAT(single.Selection(), ElementsAre(false, false, false));
}

TEST(FileListModel, ReplaceEntryTextReplacesInPlace) {
    ThreeFiles tmp;
    ShownList list(tmp.Path());
    list.Click(1);
    list.changes = list.clicks = 0;
    for (int i = 0; i < 3; ++i)
        list->SetEntrySelected(i, true); // raises no notification
    QSignalSpy resets(list->model(), &QAbstractItemModel::modelReset);
    QSignalSpy changed(list->model(), &QAbstractItemModel::dataChanged);

    list->ReplaceEntryText(0, "zz.txt");
    EXPECT_THAT(list.Texts(), ElementsAre("zz.txt", "b.txt", "c.txt")); // out of order
    EXPECT_EQ(list->Model().Entry(0).glyph, egExecutable);              // glyph kept
    EXPECT_THAT(list.Selection(), ElementsAre(false, true, true));
    EXPECT_EQ(list->CurrentIndex(), 1);
    EXPECT_EQ(resets.count(), 0);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].value<QModelIndex>().row(), 0);
    EXPECT_EQ(list.changes + list.clicks, 0);
    EXPECT_EQ(tmp.Names(), (std::set<std::string>{"a.exe", "b.txt", "c.txt"}));
    EXPECT_EQ(list->model()->index(0, 0).data().toString(), "zz.txt");
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
    EXPECT_THAT(list.Texts(), ElementsAre("a.exe", "b.txt", "c.txt"));
    EXPECT_THAT(list.Selection(), ElementsAre(true, false, true));
    EXPECT_EQ(list->CurrentIndex(), 2);
    EXPECT_EQ(list.changes, 0);
    QApplication::processEvents();
    EXPECT_EQ(list->visualRect(list->model()->index(1, 0)).top(), fontHeight);
    EXPECT_EQ(list->visualRect(list->model()->index(1, 0)).height(), fontHeight);

    QFont bigger = list->font();
    bigger.setPixelSize(40);
    list->setFont(bigger);
    EXPECT_EQ(list->ItemHeight(), FontLineHeight(bigger));
    EXPECT_THAT(list.Selection(), ElementsAre(true, false, true));
    QApplication::processEvents();
    EXPECT_EQ(list->visualRect(list->model()->index(2, 0)).top(), 2 * FontLineHeight(bigger));
}

TEST(FileListModel, GlyphsRaiseTheItemHeight) {
    ThreeFiles tmp;
    ShownList list(tmp.Path());
    QFont small = list->font();
    small.setPixelSize(6);
    list->setFont(small);
    ASSERT_LT(FontLineHeight(small), 16);
    EXPECT_EQ(list->ItemHeight(), FontLineHeight(small));
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
    auto background = [&](int row) {
        const QRect rect = list->visualRect(list->model()->index(row, 0));
        return image.pixelColor(rect.right() - 2, rect.center().y());
    };
    EXPECT_EQ(background(0), QColor(250, 250, 240));
    EXPECT_EQ(background(1), QColor(10, 20, 200));
    EXPECT_EQ(background(2), QColor(250, 250, 240));
    EXPECT_EQ(list->Color(), QColor(250, 250, 240));
}

} // namespace
} // namespace nomilo
