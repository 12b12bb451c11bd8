#include "browse/InsertionWatch.h"

#include "browse/FileListBox.h"
#include "tests/support/TempFolder.h"

#include <QCursor>
#include <QGuiApplication>
#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>
#include <random>

namespace nomilo {
namespace {

// Where a sorted list that puts each text after its equals would insert each text.
std::vector<std::size_t> SortedInsertionIndexes(const std::vector<std::string>& texts) {
    std::vector<std::string> sorted;
    std::vector<std::size_t> indexes;
    for (const auto& text : texts) {
        const auto at = std::upper_bound(
            sorted.begin(), sorted.end(), text,
            [](const std::string& a, const std::string& b) { return EntryLess(a, b); });
        indexes.push_back(static_cast<std::size_t>(at - sorted.begin()));
        sorted.insert(at, text);
    }
    return indexes;
}

TEST(InsertionWatch, AgreesWithSortedInsertion) {
    std::mt19937 random(20240611);
    const char* letters[] = {"a", "B", "b", "c", "C", "d"};
    for (std::size_t watched : {0u, 1u, 3u, 100u}) {
        for (int trial = 0; trial < 40; ++trial) {
            std::vector<std::string> texts;
            const int n = static_cast<int>(random() % 300);
            for (int i = 0; i < n; ++i) {
                std::string text;
                for (int k = static_cast<int>(random() % 3); k >= 0; --k)
                    text += letters[random() % 6]; // short texts, so many are equal
                texts.push_back(text);
            }
            if (trial % 4 == 0)
                std::sort(texts.begin(), texts.end()); // in order: each lands at the end
            const auto expected = SortedInsertionIndexes(texts);
            TInsertionWatch watch(watched);
            for (std::size_t i = 0; i < texts.size(); ++i)
                ASSERT_EQ(watch.Add(texts[i]), expected[i] == watched)
                    << "watched " << watched << ", trial " << trial << ", text " << i;
        }
    }
}

// A file list that looks at the screen cursor after each item of a read.
class CursorWatchingList : public TFileListBox {
public:
    bool sawHourglass = false;
    int items = 0;
    int failAtItem = -1;

protected:
    void ItemSearched() override {
        ++items;
        const QCursor* cursor = QGuiApplication::overrideCursor();
        if (cursor && cursor->shape() == Qt::WaitCursor)
            sawHourglass = true;
        if (items == failAtItem)
            throw std::runtime_error("read broken off");
    }
};

struct HourglassFolder : test::TempFolder {
    HourglassFolder() {
        for (int i = 0; i < 100; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "a%03d", i);
            AddFile(name);
        }
        AddFile("z");
    }
};

TEST(Hourglass, ShowsFromTheEntryInsertedAtIndex100AndRestoresTheCursor) {
    HourglassFolder folder;
    CursorWatchingList list;
    list.SetFolderPath(folder.Path());
    list.SetMask("z;a*"); // "z" first: the a-files all go in front of it, nothing lands at 100
    QGuiApplication::setOverrideCursor(Qt::CrossCursor);
    list.show();
    EXPECT_FALSE(list.sawHourglass);
    EXPECT_EQ(list.EntryCount(), 101);

    list.sawHourglass = false;
    list.SetMask("a*;z"); // the a-files first: "z" lands at index 100
    EXPECT_TRUE(list.sawHourglass);
    EXPECT_EQ(list.EntryText(100), "z");
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::CrossCursor);
    QGuiApplication::restoreOverrideCursor();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(Hourglass, ABrokenReadRestoresTheCursorKeepsItsEntriesAndDoesNotNotify) {
    HourglassFolder folder;
    CursorWatchingList list;
    list.SetFolderPath(folder.Path());
    list.SetMask("a*;z");
    list.show();
    int changes = 0;
    list.OnChange = [&](TFileListBox*) { ++changes; };
    list.items = 0;
    list.sawHourglass = false;
    list.failAtItem = 101; // the "z" item, after the hourglass went on
    EXPECT_THROW(list.SetMask("a*;z;*"), std::runtime_error);
    EXPECT_TRUE(list.sawHourglass);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(list.EntryCount(), 101);
    EXPECT_EQ(list.EntryText(100), "z");
}

} // namespace
} // namespace nomilo
