#include "browse/EListError.h"
#include "browse/FileListBox.h"
#include "browse/FontLineHeight.h"
#include "browse/InsertionWatch.h"
#include "platform/files/CurrentDir.h"
#include "platform/files/EInOutError.h"
#include "platform/files/MoveFile.h"
#include "rename/RenameBatch.h"
#include "tests/browse/FileListTesting.h"

#include <QApplication>
#include <QCursor>
#include <QImage>
#include <QLineEdit>
#include <QSignalSpy>
#include <algorithm>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace nomilo {
namespace {

using test::ShownList;
using test::TempFolder;
using ::testing::ElementsAre;
using Texts = std::vector<std::string>;

TEST(FileListRead, NothingIsReadUntilTheListIsFirstShownAndEveryReadEntersTheFolder) {
    TempFolder tmp({"a.txt", "b.doc", "c.txt"});
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
    EXPECT_THAT(test::TextsOf(list), ElementsAre("a.txt", "c.txt"));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(GetCurrentDir(), tmp.Path());

    // A read clears the selection; a read of a folder that vanished fails and keeps the entries.
    list.SetMultiSelect(true);
    list.SetEntrySelected(1, true);
    SetCurrentDir("/");
    list.SetMask("*.TXT");
    EXPECT_EQ(GetCurrentDir(), tmp.Path());
    EXPECT_FALSE(list.IsEntrySelected(1));
    EXPECT_EQ(list.CurrentIndex(), -1);
    list.SetEntrySelected(1, true);
    const int changesBefore = changes;
    std::filesystem::remove_all(tmp.Path());
    try {
        list.SetMask("*");
        FAIL() << "the read went through";
    } catch (const EInOutError& e) {
        EXPECT_STREQ(e.what(), "File not found");
    }
    EXPECT_THAT(test::TextsOf(list), ElementsAre("a.txt", "c.txt"));
    EXPECT_TRUE(list.IsEntrySelected(1));
    EXPECT_EQ(changes, changesBefore);
}

TEST(FileListRead, SubMasksAreSearchedInTurnUntrimmedAndDuplicatesStay) {
    TempFolder tmp({"a.txt", "b.TXT", "c.doc", "d.jpg", " e.doc"});
    ShownList list(tmp.Path());
    const std::pair<const char*, Texts> cases[] = {
        {"*.txt;*.doc", {" e.doc", "a.txt", "b.TXT", "c.doc"}},
        {"*.txt;*.TXT", {"a.txt", "a.txt", "b.TXT", "b.TXT"}},
        {"*.jpg; *.doc", {" e.doc", "d.jpg"}}, // the space belongs to the second pattern
        {"*.txt;", {"a.txt", "b.TXT"}},
        {";;", {}},
    };
    for (const auto& [mask, texts] : cases) {
        list->SetMask(mask);
        EXPECT_EQ(list.Texts(), texts) << mask;
    }
    EXPECT_EQ(list.changes, 5); // an empty result is still a complete read
    tmp.AddFile("f.txt");
    list->SetMask(";;"); // the same mask does nothing
    EXPECT_EQ(list.changes, 5);
}

TEST(FileListRead, SortsWithoutRegardToCaseKeepingNamesAsBytes) {
    TempFolder tmp({"b", "A", "c", "B2", "a_", "\xff.bin", "Zeta"});
    ShownList list(tmp.Path());
    EXPECT_THAT(list.Texts(), ElementsAre("A", "a_", "b", "B2", "c", "Zeta", "\xff.bin"));
    EXPECT_EQ(list->model()->index(6, 0).data().toString(), QString::fromUtf8("\xff.bin"));
}

TEST(FileListRead, AdmitsItemsByFileType) {
    TempFolder tmp({"plain", ".hidden", "sub/", ".git/"});
    ASSERT_EQ(mkfifo((tmp / "pipe").c_str(), 0600), 0);
    ASSERT_EQ(symlink("gone", (tmp / "dangling").c_str()), 0);
    ShownList list(tmp.Path());
    // The default [ftNormal]: no hidden or system items, no folders.
    EXPECT_THAT(list.Texts(), ElementsAre("dangling", "plain"));
    const std::pair<TFileType, Texts> cases[] = {
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
    TempFolder tmp({"a.exe", "b.EXE", "c.Com", "d.bat", "e.PIF", "f.txt.exe", "g", "h.",
                    "i.exe.txt", "exe", "j.\xC3\x89XE", "k.exe/"});
    ShownList list(tmp.Path());
    list->SetFileType({ftNormal, ftDirectory});
    auto glyphs = [&] { // none, executable, folder, unknown file
        std::string glyphs;
        for (int i = 0; i < list->EntryCount(); ++i)
            glyphs += "-x.u"[list->Model().Entry(i).glyph];
        return glyphs;
    };
    // [..] [.] [k.exe] a.exe b.EXE c.Com d.bat e.PIF exe f.txt.exe g h. i.exe.txt j.ÉXE
    EXPECT_EQ(glyphs(), "---xxxxxuxuuuu"); // folders get their glyph only while glyphs show
    list->SetShowGlyphs(true);
    EXPECT_EQ(glyphs(), "---xxxxxuxuuuu"); // not read again
    list->SetMask("*");
    EXPECT_EQ(glyphs(), "...xxxxxuxuuuu");
}

TEST(FolderChange, RelativePathsAreTakenFromTheFolderShownAndMissingFoldersRaise) {
    TempFolder tmp({"a/b/inner.txt", "a/outer.txt"});
    ShownList list(tmp / "a");
    SetCurrentDir("/"); // someone else moved the process's current directory
    list->SetFolderPath("b");
    EXPECT_EQ(list->FolderPath(), tmp / "a/b");
    EXPECT_EQ(GetCurrentDir(), tmp / "a/b");
    EXPECT_THAT(list.Texts(), ElementsAre("inner.txt"));
    list->SetFolderPath("..");
    EXPECT_EQ(list->FolderPath(), tmp / "a");
    EXPECT_THAT(list.Texts(), ElementsAre("outer.txt"));

    list->SetEntrySelected(0, true);
    SetCurrentDir("/");
    for (const std::string& path : {tmp / "missing", std::string("missing"), std::string()}) {
        try {
            list->SetFolderPath(path);
            ADD_FAILURE() << "entered " << path;
        } catch (const EInOutError& e) {
            EXPECT_STREQ(e.what(), "File not found");
        }
        EXPECT_EQ(list->FolderPath(), tmp / "a");
        EXPECT_EQ(GetCurrentDir(), tmp / "a"); // the old folder was entered first
    }
    EXPECT_THAT(list.Selection(), ElementsAre(true));
    EXPECT_EQ(list.changes, 2);
}

// Also by a spelling in other letter case that names no folder on disk.
TEST(FolderChange, TheFolderShownAgainDoesNothing) {
    TempFolder tmp({"Photos/a.jpg"});
    ASSERT_EQ(symlink("Photos", (tmp / "photos").c_str()), 0); // same folder, other case
    ShownList list(tmp / "Photos");
    tmp.AddFile("Photos/b.jpg");
    SetCurrentDir("/");
    for (const std::string& path : {tmp / "Photos", tmp / "photos", tmp / "PHOTOS"}) {
        list->SetFolderPath(path);
        EXPECT_EQ(list->FolderPath(), tmp / "Photos");
        EXPECT_EQ(GetCurrentDir(), "/") << path;                 // no change of directory
        EXPECT_THAT(list.Texts(), ElementsAre("a.jpg")) << path; // and no read
    }
    EXPECT_EQ(list.changes, 0);
}

// Equal texts by the locale are not enough on Linux: on a case-sensitive file system, or with
// names that are not UTF-8, two different folders can compare equal. The list must follow the
// change, or the next rename batch would work on the names of one folder inside another.
TEST(FolderChange, FoldersThatOnlyCompareEqualByTheLocaleAreChangedTo) {
    TempFolder tmp({"Photos/in Photos", "photos/in photos", "\xff/in \xff", "\xfe/in \xfe"});
    ShownList list(tmp / "Photos");
    list->SetFolderPath(tmp / "photos");
    EXPECT_EQ(list->FolderPath(), tmp / "photos");
    EXPECT_EQ(GetCurrentDir(), tmp / "photos");
    EXPECT_THAT(list.Texts(), ElementsAre("in photos"));
    list->SetFolderPath(tmp / "\xff");
    list->SetFolderPath(tmp / "\xfe");
    EXPECT_EQ(list->FolderPath(), tmp / "\xfe");
    EXPECT_THAT(list.Texts(), ElementsAre("in \xfe"));
    EXPECT_EQ(list.changes, 3);

    // From a folder that vanished, the new path is still entered.
    SetCurrentDir(tmp.Path());
    std::filesystem::remove_all(tmp / "\xfe");
    list->SetFolderPath(tmp / "Photos");
    EXPECT_THAT(list.Texts(), ElementsAre("in Photos"));
}

TEST(FileListModel, ABadIndexFailsAndChangesNothing) {
    TempFolder tmp({"a", "b", "c"});
    ShownList list(tmp.Path()), single(tmp.Path(), false);
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
    EXPECT_THAT(list.Texts(), ElementsAre("a", "b", "c"));
    EXPECT_THAT(single.Selection(), ElementsAre(false, false, false));
}

TEST(FileListModel, ReplaceEntryTextChangesOneRowQuietly) {
    TempFolder tmp({"a", "b", "c"});
    ShownList list(tmp.Path());
    list.Click(1);
    list.changes = list.clicks = 0;
    list->SetEntrySelected(0, true); // raises no notification
    QSignalSpy resets(list->model(), &QAbstractItemModel::modelReset);
    QSignalSpy changed(list->model(), &QAbstractItemModel::dataChanged);
    list->ReplaceEntryText(0, "zz");
    EXPECT_EQ(list->model()->index(0, 0).data().toString(), "zz");
    EXPECT_THAT(list.Selection(), ElementsAre(false, true, false));
    EXPECT_EQ(list->CurrentIndex(), 1);
    EXPECT_EQ(resets.count(), 0);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].value<QModelIndex>().row(), 0);
    EXPECT_EQ(list.changes + list.clicks, 0);
}

// Changing the item height (the first change of the font colour, for one) used to rebuild the
// list's window, which read the folder again and threw away the user's selection.
// Replaced texts go to the end of the list's buffer of texts, which is written anew once half of
// it is left unused: batch after batch, every entry keeps its own text and glyph.
TEST(FileListModel, TextsStayRightThroughManyReplacements) {
    TFileListModel model;
    std::vector<TFileEntry> entries;
    std::vector<std::string> expected;
    QByteArray texts;
    for (int row = 0; row < 200; ++row) {
        expected.push_back("file" + std::to_string(row));
        entries.push_back({TFileListModel::AppendText(texts, expected.back()),
                           row % 2 ? egExecutable : egUnknownFile, false});
    }
    model.Assign(std::move(entries), std::move(texts));
    for (int batch = 0; batch < 30; ++batch) {
        for (int row = batch % 5; row < model.Count(); row += 1 + batch % 5) {
            expected[static_cast<std::size_t>(row)] =
                std::string(static_cast<std::size_t>(batch % 7), '-') + std::to_string(batch);
            model.ReplaceText(row, expected[static_cast<std::size_t>(row)]);
        }
        for (int row = 0; row < model.Count(); ++row) {
            ASSERT_EQ(model.Text(row), expected[static_cast<std::size_t>(row)]) << batch;
            ASSERT_EQ(model.Entry(row).glyph, row % 2 ? egExecutable : egUnknownFile);
        }
    }
}

// The count of selected entries is kept as they change, so that assistive technologies hear it
// without a walk over the list: every way of selecting, a replaced text and a new read.
TEST(FileListModel, SelectedCountFollowsEveryChange) {
    TFileListModel model;
    auto assign = [&](int count, int selectedEvery) {
        std::vector<TFileEntry> entries;
        QByteArray texts;
        for (int row = 0; row < count; ++row)
            entries.push_back({TFileListModel::AppendText(texts, std::to_string(row)), egNone,
                               row % selectedEvery == 0});
        model.Assign(std::move(entries), std::move(texts));
    };
    auto counted = [&] {
        int selected = 0;
        for (int row = 0; row < model.Count(); ++row)
            selected += model.Entry(row).selected;
        return selected;
    };
    assign(40, 3);
    EXPECT_EQ(model.SelectedCount(), 14);
    std::mt19937 random(7);
    for (int step = 0; step < 400; ++step) {
        const int a = static_cast<int>(random() % 40), b = static_cast<int>(random() % 40);
        switch (random() % 5) {
        case 0:
            model.SetSelected(a, random() % 2);
            break;
        case 1:
            model.SelectOnly(a, b);
            break;
        case 2:
            model.SelectRange(a, b);
            break;
        case 3:
            model.ReplaceText(a, "x");
            break;
        default:
            if (step % 50 == 0)
                model.SelectAll();
        }
        ASSERT_EQ(model.SelectedCount(), counted()) << step;
    }
    assign(10, 1);
    EXPECT_EQ(model.SelectedCount(), 10);
    model.Clear();
    EXPECT_EQ(model.SelectedCount(), 0);
}

TEST(FileListModel, AChangedItemHeightKeepsEntriesAndSelection) {
    TempFolder tmp({"a", "b", "c"});
    ShownList list(tmp.Path());
    const int fontHeight = FontLineHeight(list->font());
    list->SetItemHeight(fontHeight + 7); // as a saved layout may set it
    list.Click(0);
    list.Click(2, Qt::ControlModifier);
    tmp.AddFile("new");
    list.changes = list.clicks = 0;
    list->SetFontColor(Qt::darkBlue);
    EXPECT_EQ(list->ItemHeight(), fontHeight);
    QFont font = list->font();
    font.setPixelSize(40);
    list->setFont(font);
    EXPECT_EQ(list->ItemHeight(), FontLineHeight(font));
    EXPECT_THAT(list.Texts(), ElementsAre("a", "b", "c"));
    EXPECT_THAT(list.Selection(), ElementsAre(true, false, true));
    EXPECT_EQ(list->CurrentIndex(), 2);
    EXPECT_EQ(list.changes, 0);
    QApplication::processEvents();
    EXPECT_EQ(list->visualRect(list->model()->index(2, 0)).top(), 2 * FontLineHeight(font));

    // Glyphs raise a small font's item height to theirs.
    font.setPixelSize(6);
    list->setFont(font);
    ASSERT_LT(list->ItemHeight(), 16);
    list->SetShowGlyphs(true);
    EXPECT_EQ(list->ItemHeight(), 16);
}

TEST(FileListModel, SelectionIsPaintedFromTheEntriesFlags) {
    TempFolder tmp({"a", "b", "c"});
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

// The selected entries of a list, as a text of their numbers.
std::string Selected(const ShownList& list) {
    std::string selected;
    for (int i = 0; i < list->EntryCount(); ++i)
        if (list->IsEntrySelected(i))
            selected += std::to_string(i);
    return selected;
}

TEST(FileListSelection, ClicksKeysAndDraggingSelectLikeADesktopListBox) {
    TempFolder tmp({"0", "1", "2", "3", "4", "5"});
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

    // A single-selection list selects one entry.
    ShownList single(tmp.Path(), false);
    single.Click(1);
    single.Click(3, ctrl);
    single->setFocus();
    QTest::keyClick(single.list.get(), Qt::Key_Up, shift);
    QTest::keyClick(single.list.get(), Qt::Key_A, ctrl);
    EXPECT_EQ(Selected(single), "2");
}

TEST(FileListSelection, UserChangesFireOnClickThenOnChangeAndFillTheFileEdit) {
    TempFolder tmp({"0", "1", "2", "3", "4"});
    ShownList list(tmp.Path());
    std::vector<std::string> events;
    list->OnClick = [&](TFileListBox*) { events.push_back("click"); };
    list->OnChange = [&](TFileListBox* sender) {
        events.push_back("change " + std::to_string(sender->LastReportedIndex()));
    };
    list->OnDblClick = [&](TFileListBox*) { events.push_back("double"); };
    auto edit = std::make_unique<QLineEdit>();
    list->SetFileEdit(edit.get());
    EXPECT_EQ(edit->text(), "*.*");
    list.Click(2);
    EXPECT_EQ(edit->selectedText(), "2");
    list.Click(2, Qt::ControlModifier);     // the selection changes, the focus does not
    EXPECT_EQ(list->CurrentFileName(), ""); // unselected: no current file name
    list.Click(4, Qt::ShiftModifier);
    EXPECT_THAT(events, ElementsAre("click", "change 2", "click", "click", "change 4"));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                       list->visualRect(list->model()->index(1, 0)).center());
    EXPECT_EQ(events.back(), "double");
    list->SetMask("*");
    EXPECT_EQ(edit->text(), "*");
    edit.reset();
    list.Click(3); // nothing left to write to
    EXPECT_EQ(list->CurrentFileName(), "3");
}

// The batch over a real list, renaming on disk; answers how many failure messages it showed.
int Rename(TFileListBox& list, bool selectedOnly, bool prefix, std::string find,
           std::string replace) {
    int messages = 0;
    RenameBatch(list, {selectedOnly, prefix, true, std::move(find), std::move(replace)},
                MoveFileRefusal, [&](const auto&) { ++messages; });
    return messages;
}

TEST(RenameOverTheList, RenamedEntriesStayInPlaceWithTheirGlyphsUntilTheNextRead) {
    TempFolder tmp({"a1.txt", "b1.txt", "c1.exe", "d2.txt"});
    ShownList list(tmp.Path());
    SetCurrentDir("/");
    list->SetMask("*"); // a read enters the list's folder again
    list->SetEntrySelected(0, true);
    list->SetEntrySelected(2, true);
    EXPECT_EQ(Rename(*list, true, true, "", "z"), 0);
    EXPECT_THAT(list.Texts(), ElementsAre("za1.txt", "b1.txt", "zc1.exe", "d2.txt"));
    EXPECT_THAT(list.Selection(), ElementsAre(true, false, true, false));
    EXPECT_EQ(Rename(*list, false, false, ".exe", ".txt"), 0);
    EXPECT_EQ(list->EntryText(2), "zc1.txt");
    EXPECT_EQ(list->Model().Entry(2).glyph, egExecutable); // until the next read
    EXPECT_THAT(list.Selection(), ElementsAre(true, false, false, false));
    list->SetMask("*.txt");
    EXPECT_THAT(list.Texts(), ElementsAre("b1.txt", "d2.txt", "za1.txt", "zc1.txt"));
    EXPECT_EQ(list->Model().Entry(3).glyph, egUnknownFile);
}

TEST(RenameOverTheList, ThePatternListedTwiceRenamesAtTheFirstEntryAndFailsAtTheSecond) {
    TempFolder tmp({"x1.txt", "x2.txt"});
    ShownList list(tmp.Path());
    list->SetMask("*.txt;*.txt");
    ASSERT_THAT(list.Texts(), ElementsAre("x1.txt", "x1.txt", "x2.txt", "x2.txt"));
    EXPECT_EQ(Rename(*list, false, false, "x", "y"), 1);
    EXPECT_THAT(list.Texts(), ElementsAre("y1.txt", "x1.txt", "y2.txt", "x2.txt"));
    EXPECT_EQ(tmp.Names(), (std::set<std::string>{"y1.txt", "y2.txt"}));
}

// The watch against a sorted list that puts each name after its equals.
TEST(InsertionWatch, AgreesWithSortedInsertion) {
    std::mt19937 random(20240611);
    const char* letters[] = {"a", "B", "b", "c", "\xC4\x8C", "\xC4\x8D"};
    for (std::size_t watched : {0u, 1u, 3u, 100u}) {
        for (int trial = 0; trial < 40; ++trial) {
            std::vector<std::string> texts(random() % 300);
            for (std::string& text : texts)
                for (int k = static_cast<int>(random() % 3); k >= 0; --k)
                    text += letters[random() % 6]; // short texts, so many are equal
            if (trial % 4 == 0)
                std::sort(texts.begin(), texts.end()); // in byte order: mostly at the end
            TNameKeys keys;
            const auto less = [&](std::uint32_t a, std::uint32_t b) { return keys.Less(a, b); };
            std::vector<std::uint32_t> sorted;
            TInsertionWatch watch(keys, watched);
            for (const std::string& text : texts) {
                const std::uint32_t name = keys.Add(text);
                const auto at = std::upper_bound(sorted.begin(), sorted.end(), name, less);
                ASSERT_EQ(watch.Add(name), std::size_t(at - sorted.begin()) == watched)
                    << "watched " << watched << ", trial " << trial << ", text " << sorted.size();
                sorted.insert(at, name);
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
    TempFolder folder({"z"});
    for (int i = 100; i < 200; ++i)
        folder.AddFile("a" + std::to_string(i));
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
    EXPECT_EQ(list.EntryText(100), "z");
}

} // namespace
} // namespace nomilo
