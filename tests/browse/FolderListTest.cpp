#include "browse/DirectoryListBox.h"
#include "browse/FileListBox.h"
#include "browse/PathText.h"
#include "platform/CurrentDir.h"
#include "platform/DriveFolders.h"
#include "platform/EInOutError.h"
#include "resources/Glyphs.h"
#include "tests/support/DriveTables.h"
#include "tests/browse/FileListTesting.h"
#include "tests/support/TempFolder.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

namespace nomilo {
namespace {

using test::TempFolder;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

std::vector<std::string> Texts(const TDirectoryListBox& list) {
    std::vector<std::string> texts;
    for (int i = 0; i < list.EntryCount(); ++i)
        texts.push_back(list.Entry(i).text);
    return texts;
}

// The path entries of `folder`: "/", then each of its names.
std::vector<std::string> PathEntries(const std::string& folder) {
    std::vector<std::string> entries{"/"};
    std::string_view rest = std::string_view(folder).substr(1);
    while (!rest.empty()) {
        const std::size_t separator = rest.find('/');
        entries.emplace_back(rest.substr(0, separator));
        rest = separator == std::string_view::npos ? "" : rest.substr(separator + 1);
    }
    return entries;
}

// A temporary tree with a drive of its own, "stick" (a FAT stick, as far as the prepared mount
// table tells), and a folder list and file list linked and started on "a".
class FolderList : public ::testing::Test {
protected:
    void SetUp() override {
        ForgetEnteredFolders();
        for (const char* folder : {"a/b/Alpha", "a/b/beta", "a/b/Gamma", "a/b/.git", "a/other",
                                   "stick/in", "stick/Photos"})
            tmp.AddFolder(folder);
        tmp.AddFile("a/b/file.txt");
        tmp.AddFile("a/b/Alpha/x.txt");
        tmp.AddFile("a/top.txt");
        tmp.AddFile("stick/in/photo.jpg");
        SetCurrentDir(tmp / "a");
        list = std::make_unique<TDirectoryListBox>();
        list->SetDriveSources(
            test::PreparedDrives(test::MountLine(tmp / "stick", "vfat", "/dev/sdb1")));
        files = std::make_unique<TFileListBox>();
        list->SetFileList(files.get());
        label = std::make_unique<QLabel>();
        label->setFixedWidth(2000);
        list->SetDirLabel(label.get());
        list->OnChange = [this](TDirectoryListBox*) { ++changes; };
        list->OnClick = [this](TDirectoryListBox*) { ++clicks; };
        list->resize(200, 400);
        files->show();
        list->show();
    }
    void TearDown() override { ForgetEnteredFolders(); }

    // Nothing of the list, the file list, the label or the current directory has changed
    // since `before` was taken.
    struct Snapshot {
        std::string folder, cwd, fileFolder, label;
        std::vector<std::string> entries, fileEntries;
        int changes;
    };
    Snapshot Take() const {
        return {list->FolderPath(),
                GetCurrentDir(),
                files->FolderPath(),
                label->text().toStdString(),
                Texts(*list),
                test::TextsOf(*files),
                changes};
    }
    void ExpectUnchanged(const Snapshot& before) const {
        const Snapshot now = Take();
        EXPECT_EQ(now.folder, before.folder);
        EXPECT_EQ(now.cwd, before.cwd);
        EXPECT_EQ(now.fileFolder, before.fileFolder);
        EXPECT_EQ(now.label, before.label);
        EXPECT_EQ(now.entries, before.entries);
        EXPECT_EQ(now.fileEntries, before.fileEntries);
        EXPECT_EQ(now.changes, before.changes);
    }
    // The folder list, the file list, the label and the current directory are all at `folder`.
    void ExpectAt(const std::string& folder) const {
        EXPECT_EQ(list->FolderPath(), folder);
        EXPECT_EQ(GetCurrentDir(), folder);
        EXPECT_EQ(files->FolderPath(), folder);
        EXPECT_EQ(label->text(), QString::fromUtf8(folder.data(), std::ssize(folder)));
        ASSERT_GE(list->CurrentIndex(), 0);
        EXPECT_EQ(list->Entry(list->CurrentIndex()).kind, fkCurrent);
    }
    int RowOf(const std::string& text) const {
        const auto texts = Texts(*list);
        const auto found = std::find(texts.begin(), texts.end(), text);
        return found == texts.end() ? -1 : static_cast<int>(found - texts.begin());
    }

    TempFolder tmp;
    std::unique_ptr<TFileListBox> files;
    std::unique_ptr<QLabel> label;
    std::unique_ptr<TDirectoryListBox> list;
    int changes = 0;
    int clicks = 0;
};

TEST_F(FolderList, ShowsThePathDownToTheFolderThenItsVisibleSubfolders) {
    EXPECT_EQ(list->FolderPath(), tmp / "a");
    list->SetFolderPath(tmp / "a/b");
    ExpectAt(tmp / "a/b");
    EXPECT_THAT(test::TextsOf(*files), ElementsAre("file.txt"));

    std::vector<std::string> expected = PathEntries(tmp / "a/b");
    const int path = static_cast<int>(expected.size());
    for (const char* name : {"Alpha", "beta", "Gamma"}) // no ".git", sorted ignoring case
        expected.push_back(name);
    ASSERT_THAT(Texts(*list), ElementsAreArray(expected));
    EXPECT_EQ(list->CurrentIndex(), path - 1);

    const int separators = SeparatorCount(tmp / "a/b");
    for (int i = 0; i < list->EntryCount(); ++i) {
        const TFolderEntry& entry = list->Entry(i);
        if (i < path - 1) {
            EXPECT_EQ(entry.kind, fkAncestor) << i;
            EXPECT_EQ(list->EntryIndent(i), 4 * i + 2) << i;
        } else if (i == path - 1) {
            EXPECT_EQ(entry.kind, fkCurrent);
            EXPECT_EQ(list->EntryIndent(i), 4 * i + 2);
            EXPECT_EQ(list->EntryPath(i), tmp / "a/b");
        } else {
            EXPECT_EQ(entry.kind, fkSubfolder) << i;
            EXPECT_EQ(list->EntryIndent(i), 4 * separators + 6) << i;
            EXPECT_EQ(list->EntryPath(i), tmp / "a/b/" + entry.text) << i;
        }
    }
    // Each ancestor opens the path down to it.
    EXPECT_EQ(list->EntryPath(0), "/");
    EXPECT_EQ(list->EntryPath(path - 2), tmp / "a");
    EXPECT_EQ(list->EntryPath(path - 3), tmp.Path());
    EXPECT_EQ(list->EntryPath(list->EntryCount()), "");
    EXPECT_EQ(list->EntryPath(-1), "");
    EXPECT_EQ(changes, 1);
}

TEST_F(FolderList, AtTheRootTheRootIsTheCurrentEntry) {
    list->SetFolderPath("/");
    ExpectAt("/");
    ASSERT_GE(list->EntryCount(), 2);
    EXPECT_EQ(list->Entry(0).text, "/");
    EXPECT_EQ(list->Entry(0).kind, fkCurrent);
    EXPECT_EQ(list->EntryIndent(0), 2);
    EXPECT_EQ(list->EntryPath(0), "/");
    for (int i = 1; i < list->EntryCount(); ++i) {
        EXPECT_EQ(list->Entry(i).kind, fkSubfolder);
        EXPECT_FALSE(list->Entry(i).text.starts_with('.')) << list->Entry(i).text;
        EXPECT_EQ(list->EntryIndent(i), 10);
        EXPECT_EQ(list->EntryPath(i), "/" + list->Entry(i).text);
    }
    EXPECT_NE(RowOf(tmp.Path().substr(1, tmp.Path().find('/', 1) - 1)), -1);
}

TEST_F(FolderList, EveryKindOfTargetOpensItsFolder) {
    struct Case {
        std::string target, folder;
    };
    const Case cases[] = {
        {tmp / "a/b", tmp / "a/b"},
        {tmp / "a/b/file.txt", tmp / "a/b"}, // a file opens its folder
        {tmp / "a/b/Alpha/*.txt", tmp / "a/b/Alpha"},
        {"..", tmp / "a/b"},
        {"beta/", tmp / "a/b/beta"}, // relative, with a trailing separator
        {"[..]", tmp / "a/b"},
        {"[Gamma]", tmp / "a/b/Gamma"},
        {tmp / "a/other/", tmp / "a/other"},
        {"../b/Alpha", tmp / "a/b/Alpha"},
        {"/", "/"},
        {tmp / "a", tmp / "a"},
    };
    int expectedChanges = 0;
    for (const Case& c : cases) {
        list->SetFolderPath(c.target);
        ExpectAt(c.folder);
        EXPECT_EQ(changes, ++expectedChanges) << c.target;
    }
    EXPECT_THAT(test::TextsOf(*files), ElementsAre("top.txt"));
}

TEST_F(FolderList, AFolderThatCannotBeEnteredChangesNothing) {
    list->SetFolderPath(tmp / "a/b");
    files->SetMultiSelect(true);
    files->SetEntrySelected(0, true);
    const Snapshot before = Take();
    for (const std::string& target : {tmp / "a/b/Missing", std::string("Missing"),
                                      tmp / "a/missing/b", std::string("[Missing]")}) {
        try {
            list->SetFolderPath(target);
            ADD_FAILURE() << "opened " << target;
        } catch (const EInOutError& e) {
            EXPECT_EQ(e.Code(), 2) << target;
            EXPECT_STREQ(e.what(), "File not found");
        }
        ExpectUnchanged(before);
    }
    EXPECT_TRUE(files->IsEntrySelected(0));
    // The current directory comes back to where it was, even when that is not the folder.
    SetCurrentDir(tmp.Path());
    EXPECT_THROW(list->SetFolderPath(tmp / "a/b/Missing"), EInOutError);
    EXPECT_EQ(GetCurrentDir(), tmp.Path());
}

TEST_F(FolderList, TheCurrentFolderAgainChangesNothing) {
    list->SetFolderPath(tmp / "a/b");
    SetCurrentDir("/");
    const Snapshot before = Take();
    list->SetFolderPath(tmp / "a/b");
    list->SetFolderPath("");
    ExpectUnchanged(before);
    // Enter on the current entry, which is selected; then with no entry selected.
    QTest::keyClick(list.get(), Qt::Key_Return);
    list->selectionModel()->clearCurrentIndex();
    list->OpenSelectedEntry();
    ExpectUnchanged(before);
}

// "stick" is a FAT stick: it keeps letter case but ignores it. The same folder in other letter
// case is the current folder; the folders above its mount point are not on it.
TEST_F(FolderList, LetterCaseCountsAsTheVolumeOfTheFolderSays) {
    ASSERT_EQ(symlink("Photos", (tmp / "stick/PHOTOS").c_str()), 0); // a FAT name, other case
    EXPECT_TRUE(list->VolumeKeepsCase());
    EXPECT_TRUE(list->VolumeCaseSensitive());
    EXPECT_THROW(list->SetFolderPath(tmp / "A"), EInOutError); // "a" in other case: no folder

    list->SetFolderPath(tmp / "stick/Photos");
    EXPECT_TRUE(list->VolumeKeepsCase());
    EXPECT_FALSE(list->VolumeCaseSensitive());
    EXPECT_EQ(list->CompareFolderNames("PHOTOS", "photos"), 0);
    EXPECT_EQ(list->ShownName("Photos"), "Photos");
    const Snapshot before = Take();
    list->SetFolderPath(tmp / "stick/PHOTOS");
    ExpectUnchanged(before);

    std::string upper = tmp / "stick/Photos";
    for (std::size_t i = 0; i < upper.find("/stick"); ++i)
        upper[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(upper[i])));
    ASSERT_NE(upper, tmp / "stick/Photos");
    EXPECT_THROW(list->SetFolderPath(upper), EInOutError);
    ExpectUnchanged(before);
}

// Names that are not UTF-8 decode to the same replacement character; they are still two
// folders, both listed and each one opened.
TEST_F(FolderList, FolderNamesThatAreNotUtf8StayApart) {
    tmp.AddFolder("a/\xff");
    tmp.AddFolder("a/\xfe");
    tmp.AddFolder("a/A\xff");
    list->SetFolderPath(tmp / "a/\xff");
    EXPECT_EQ(list->CompareFolderNames(tmp / "a/\xff", tmp / "a/\xfe"), 1);
    list->SetFolderPath("../\xfe");
    ExpectAt(tmp / "a/\xfe");
    list->SetFolderPath("..");
    EXPECT_NE(RowOf("\xff"), -1);
    EXPECT_NE(RowOf("\xfe"), -1);
    EXPECT_NE(RowOf("A\xff"), -1);
    EXPECT_EQ(changes, 3);
}

TEST_F(FolderList, DoubleClickAndEnterOpenWhileClicksAndArrowsOnlySelect) {
    list->SetFolderPath(tmp / "a/b");
    changes = 0;
    const int current = list->CurrentIndex();
    const int alpha = RowOf("Alpha");
    ASSERT_EQ(alpha, current + 1);

    QTest::keyClick(list.get(), Qt::Key_Down);
    EXPECT_EQ(list->CurrentIndex(), alpha);
    EXPECT_EQ(clicks, 1);
    QTest::keyClick(list.get(), Qt::Key_Down);
    EXPECT_EQ(list->Entry(list->CurrentIndex()).text, "beta");
    const QPoint gamma = list->visualRect(list->model()->index(RowOf("Gamma"), 0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, gamma);
    EXPECT_EQ(list->Entry(list->CurrentIndex()).text, "Gamma");
    EXPECT_EQ(clicks, 3);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(list->FolderPath(), tmp / "a/b");

    QTest::keyClick(list.get(), Qt::Key_Up);
    QTest::keyClick(list.get(), Qt::Key_Return);
    ExpectAt(tmp / "a/b/beta");
    EXPECT_EQ(changes, 1);

    int doubleClicks = 0;
    list->OnDblClick = [&](TDirectoryListBox*) { ++doubleClicks; };
    const QPoint a = list->visualRect(list->model()->index(RowOf("a"), 0)).center();
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, a);
    ExpectAt(tmp / "a");
    EXPECT_EQ(doubleClicks, 1);
    EXPECT_EQ(changes, 2);
}

// The folder shown can go while it is shown; its parent still opens.
TEST_F(FolderList, FromAFolderThatWasRemovedTheOthersStillOpen) {
    list->SetFolderPath(tmp / "a/b/Alpha");
    ASSERT_EQ(unlink((tmp / "a/b/Alpha/x.txt").c_str()), 0);
    ASSERT_EQ(rmdir((tmp / "a/b/Alpha").c_str()), 0);
    list->SelectEntry(RowOf("b"));
    list->OpenSelectedEntry();
    ExpectAt(tmp / "a/b");
    EXPECT_EQ(RowOf("Alpha"), -1);
}

TEST_F(FolderList, OpeningAFolderBeforeTheFirstShowBuildsItsEntriesAtOnce) {
    SetCurrentDir(tmp / "a");
    TDirectoryListBox fresh;
    EXPECT_EQ(fresh.FolderPath(), tmp / "a");
    EXPECT_EQ(fresh.EntryCount(), 0);
    fresh.SetFolderPath("b");
    const auto entries = Texts(fresh);
    EXPECT_EQ(entries.back(), "Gamma");
    fresh.SelectEntry(0);
    fresh.show();
    EXPECT_EQ(Texts(fresh), entries);
    EXPECT_EQ(fresh.Entry(fresh.CurrentIndex()).text, "b");
}

TEST_F(FolderList, AFontChangeSetsTheItemHeightAndSelectsTheCurrentEntryAgain) {
    EXPECT_GE(list->ItemHeight(), 16); // never less than the glyphs and one pixel
    list->SelectEntry(0);
    QFont font = list->font();
    font.setPixelSize(40);
    list->setFont(font);
    EXPECT_GT(list->ItemHeight(), 40);
    EXPECT_EQ(list->Entry(list->CurrentIndex()).kind, fkCurrent);
    font.setPixelSize(4);
    list->setFont(font);
    EXPECT_EQ(list->ItemHeight(), 16);
}

// Without a drive selector the folder list switches the drive itself: to the drive's own
// folder, the one entered last on it.
TEST_F(FolderList, SwitchingDriveGoesToTheDrivesOwnFolder) {
    list->SetFolderPath(tmp / "stick/in");
    EXPECT_EQ(list->DriveLetter(), tmp / "stick");
    list->SetFolderPath(tmp / "a/b");
    EXPECT_EQ(list->DriveLetter(), "/");
    EXPECT_EQ(changes, 2);

    list->SwitchDrive(tmp / "stick");
    ExpectAt(tmp / "stick/in");
    EXPECT_THAT(test::TextsOf(*files), ElementsAre("photo.jpg"));
    EXPECT_EQ(changes, 3);
    list->SwitchDrive(tmp / "stick"); // the drive it is on
    EXPECT_EQ(changes, 3);
    list->SwitchDrive("/");
    ExpectAt(tmp / "a/b");

    // A drive that cannot be entered leaves everything as it was.
    const Snapshot before = Take();
    EXPECT_THROW(list->SwitchDrive(tmp / "gone"), EInOutError);
    ExpectUnchanged(before);
}

TEST_F(FolderList, LinksAreWeakAndTheLabelShowsThePathShortened) {
    EXPECT_EQ(files->FolderListLink(), list.get());
    TFileListBox other;
    list->SetFileList(&other);
    EXPECT_EQ(files->FolderListLink(), nullptr);
    EXPECT_EQ(other.FolderListLink(), list.get());
    list->SetFileList(files.get());

    label->setFixedWidth(QFontMetrics(label->font()).horizontalAdvance("/.../b"));
    list->SetFolderPath(tmp / "a/b");
    EXPECT_EQ(label->text(), "/.../b");
    label.reset();
    EXPECT_EQ(list->DirLabel(), nullptr);
    list->SetFolderPath(tmp / "a"); // no label to update

    list.reset();
    EXPECT_EQ(files->FolderListLink(), nullptr);
}

// Entries are drawn by the designed steps: the glyph at its indent, centred in the entry.
TEST_F(FolderList, GlyphsAreDrawnAtTheirIndentCentredInTheEntry) {
    list->SetFolderPath(tmp / "a/b");
    const QImage closed = LoadGlyph("CLOSEDFOLDER").toImage();
    const QImage open = LoadGlyph("OPENFOLDER").toImage();
    ASSERT_FALSE(closed.isNull());
    ASSERT_FALSE(open.isNull());
    const std::pair<int, const QImage*> cases[] = {{RowOf("beta"), &closed}, {RowOf("a"), &open}};
    for (const auto& [row, glyph] : cases) {
        QImage image(200, 21, QImage::Format_ARGB32);
        image.fill(Qt::black);
        QPainter painter(&image);
        QStyleOptionViewItem option;
        option.rect = QRect(0, 0, 200, 21);
        option.state = QStyle::State_Enabled;
        list->DrawItem(painter, option, row);
        painter.end();
        const int left = list->EntryIndent(row);
        const int top = (21 - glyph->height()) / 2;
        for (int y = 0; y < glyph->height(); ++y)
            for (int x = 0; x < glyph->width(); ++x)
                if (qAlpha(glyph->pixel(x, y)) == 255) {
                    ASSERT_EQ(image.pixel(left + x, top + y), glyph->pixel(x, y))
                        << "row " << row << " at " << x << "," << y;
                }
    }
}

} // namespace
} // namespace nomilo
