#include "browse/InsertionWatch.h"

#include "browse/FileListBox.h"
#include "tests/support/TempFolder.h"

#include <QCursor>
#include <QGuiApplication>
#include <algorithm>
#include <gtest/gtest.h>
#include <random>

namespace nomilo {
namespace {

// The watch against a sorted list that puts each text after its equals.
TEST(InsertionWatch, AgreesWithSortedInsertion) {
    std::mt19937 random(20240611);
    const char* letters[] = {"a", "B", "b", "c", "C", "d"};
    const auto less = [](const std::string& a, const std::string& b) { return EntryLess(a, b); };
    for (std::size_t watched : {0u, 1u, 3u, 100u}) {
        for (int trial = 0; trial < 40; ++trial) {
            std::vector<std::string> texts(random() % 300);
            for (std::string& text : texts)
                for (int k = static_cast<int>(random() % 3); k >= 0; --k)
                    text += letters[random() % 6]; // short texts, so many are equal
            if (trial % 4 == 0)
                std::sort(texts.begin(), texts.end()); // in order: each lands at the end
            std::vector<std::string> sorted;
            TInsertionWatch watch(watched);
            for (const std::string& text : texts) {
                const auto at = std::upper_bound(sorted.begin(), sorted.end(), text, less);
                ASSERT_EQ(watch.Add(text), std::size_t(at - sorted.begin()) == watched)
                    << "watched " << watched << ", trial " << trial << ", text " << sorted.size();
                sorted.insert(at, text);
            }
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
        const QCursor* cursor = QGuiApplication::overrideCursor();
        sawHourglass = sawHourglass || (cursor && cursor->shape() == Qt::WaitCursor);
        if (++items == failAtItem)
            throw std::runtime_error("read broken off");
    }
};

TEST(Hourglass, ShowsFromTheEntryInsertedAtIndex100AndRestoresTheCursor) {
    test::TempFolder folder;
    for (int i = 100; i < 200; ++i)
        folder.AddFile("a" + std::to_string(i));
    folder.AddFile("z");
    CursorWatchingList list;
    list.SetFolderPath(folder.Path());
    list.SetMask("z;a*"); // "z" first: the a-files all go in front of it, nothing lands at 100
    QGuiApplication::setOverrideCursor(Qt::CrossCursor);
    list.show();
    EXPECT_FALSE(list.sawHourglass);
    EXPECT_EQ(list.EntryCount(), 101);

    list.SetMask("a*;z"); // the a-files first: "z" lands at index 100
    EXPECT_TRUE(list.sawHourglass);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::CrossCursor);
    QGuiApplication::restoreOverrideCursor();

    // A broken read restores the cursor, keeps its entries and does not notify.
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
