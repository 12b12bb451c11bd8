#include "platform/files/EInOutError.h"
#include "tests/browse/FolderListTesting.h"

#include <QCoreApplication>
#include <QTest>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <unistd.h>

namespace nomilo {
namespace {

using test::FolderList;
using test::Texts;
using test::TextsOf;
using ::testing::ElementsAre;

TEST_F(FolderList, ShowsThePathDownToTheFolderThenItsVisibleSubfolders) {
    EXPECT_EQ(list->FolderPath(), tmp / "a");
    list->SetFolderPath(tmp / "a/b");
    ExpectAt(tmp / "a/b");
    EXPECT_THAT(test::TextsOf(*files), ElementsAre("file.txt"));
    EXPECT_EQ(changes, 1);

    // "/", each folder down to the current one, then the subfolders without ".git", sorted
    // ignoring case.
    Texts expected{"/"};
    for (const std::string& name : {tmp.Path().substr(1), std::string("a"), std::string("b")})
        for (std::size_t start = 0, end = 0; end != std::string::npos; start = end + 1) {
            end = name.find('/', start);
            expected.push_back(name.substr(start, end - start));
        }
    const int current = static_cast<int>(expected.size()) - 1;
    expected.insert(expected.end(), {"Alpha", "beta", "Gamma"});
    ASSERT_EQ(TextsOf(*list), expected);
    EXPECT_EQ(list->CurrentIndex(), current);
    for (int i = 0; i < list->EntryCount(); ++i) {
        EXPECT_EQ(list->Entry(i).kind, i < current    ? fkAncestor
                                       : i == current ? fkCurrent
                                                      : fkSubfolder);
        EXPECT_EQ(list->EntryIndent(i), i <= current ? 4 * i + 2 : 4 * current + 6) << i;
    }
    // Each entry opens its own path.
    EXPECT_EQ(list->EntryPath(0), "/");
    EXPECT_EQ(list->EntryPath(current - 1), tmp / "a");
    EXPECT_EQ(list->EntryPath(current), tmp / "a/b");
    EXPECT_EQ(list->EntryPath(current + 2), tmp / "a/b/beta");
    EXPECT_EQ(list->EntryPath(list->EntryCount()), "");

    list->SetFolderPath("/");
    ExpectAt("/");
    EXPECT_EQ(list->CurrentIndex(), 0);
    EXPECT_EQ(list->EntryIndent(0), 2);
    for (int i = 1; i < list->EntryCount(); ++i) {
        EXPECT_FALSE(list->EntryText(i).starts_with('.')) << list->EntryText(i);
        EXPECT_EQ(list->EntryIndent(i), 10);
        EXPECT_EQ(list->EntryPath(i), "/" + std::string(list->EntryText(i)));
    }
    EXPECT_NE(RowOf(expected[1]), -1);
}

TEST_F(FolderList, EveryKindOfTargetOpensItsFolder) {
    const std::pair<std::string, std::string> cases[] = {
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
    for (const auto& [target, folder] : cases) {
        list->SetFolderPath(target);
        ExpectAt(folder);
        EXPECT_EQ(changes, ++expectedChanges) << target;
    }
    EXPECT_THAT(test::TextsOf(*files), ElementsAre("top.txt"));
}

TEST_F(FolderList, AFolderThatCannotBeEnteredOrIsShownAlreadyChangesNothing) {
    list->SetFolderPath(tmp / "a/b");
    files->SetMultiSelect(true);
    files->SetEntrySelected(0, true);
    const auto before = State();
    for (const std::string& target : {tmp / "a/b/Missing", std::string("Missing"),
                                      tmp / "a/missing/b", std::string("[Missing]")}) {
        try {
            list->SetFolderPath(target);
            ADD_FAILURE() << "opened " << target;
        } catch (const EInOutError& e) {
            EXPECT_EQ(e.Code(), 2) << target;
            EXPECT_STREQ(e.what(), "File not found");
        }
        EXPECT_EQ(State(), before);
    }
    // The current folder again, by its path, by nothing, by Enter on its entry or with no
    // entry selected.
    list->SetFolderPath(tmp / "a/b");
    list->SetFolderPath("");
    QTest::keyClick(list.get(), Qt::Key_Return);
    list->selectionModel()->clearCurrentIndex();
    list->OpenSelectedEntry();
    list->SwitchDrive("/");
    EXPECT_EQ(State(), before);
    EXPECT_TRUE(files->IsEntrySelected(0));

    // The current directory comes back to where it was, even when that is not the folder.
    SetCurrentDir(tmp.Path());
    EXPECT_THROW(list->SetFolderPath(tmp / "a/b/Missing"), EInOutError);
    EXPECT_EQ(GetCurrentDir(), tmp.Path());
}

// "stick" is a FAT stick: it keeps letter case but ignores it. The same folder in other letter
// case is the current folder; the folders above its mount point are not on it.
TEST_F(FolderList, LetterCaseCountsAsTheVolumeOfTheFolderSays) {
    ASSERT_EQ(symlink("Photos", (tmp / "stick/PHOTOS").c_str()), 0); // a FAT name, other case
    EXPECT_TRUE(list->VolumeCaseSensitive());
    EXPECT_THROW(list->SetFolderPath(tmp / "A"), EInOutError); // "a" in other case: no folder

    list->SetFolderPath(tmp / "stick/Photos");
    EXPECT_TRUE(list->VolumeKeepsCase());
    EXPECT_FALSE(list->VolumeCaseSensitive());
    EXPECT_EQ(list->CompareFolderNames("PHOTOS", "photos"), 0);
    const auto before = State();
    list->SetFolderPath(tmp / "stick/PHOTOS");
    EXPECT_EQ(State(), before);

    std::string upper = tmp / "stick/Photos";
    for (std::size_t i = 0; i < upper.find("/stick"); ++i)
        upper[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(upper[i])));
    ASSERT_NE(upper, tmp / "stick/Photos");
    EXPECT_THROW(list->SetFolderPath(upper), EInOutError);
    EXPECT_EQ(State(), before);
}

// Names that are not UTF-8 decode to the same replacement character; they are still two
// folders, both listed and each one opened.
TEST_F(FolderList, FolderNamesThatAreNotUtf8StayApart) {
    for (const char* folder : {"a/\xff", "a/\xfe", "a/A\xff"})
        tmp.AddFolder(folder);
    list->SetFolderPath(tmp / "a/\xff");
    EXPECT_NE(list->CompareFolderNames(tmp / "a/\xff", tmp / "a/\xfe"), 0);
    list->SetFolderPath("../\xfe");
    ExpectAt(tmp / "a/\xfe");
    list->SetFolderPath("..");
    for (const char* name : {"\xff", "\xfe", "A\xff"})
        EXPECT_NE(RowOf(name), -1) << name;
    EXPECT_EQ(changes, 3);
}

TEST_F(FolderList, DoubleClickAndEnterOpenWhileClicksAndArrowsOnlySelect) {
    list->SetFolderPath(tmp / "a/b");
    changes = 0;
    QTest::keyClick(list.get(), Qt::Key_Down);
    QTest::keyClick(list.get(), Qt::Key_Down);
    EXPECT_EQ(list->EntryText(list->CurrentIndex()), "beta");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, Centre("Gamma"));
    EXPECT_EQ(list->EntryText(list->CurrentIndex()), "Gamma");
    EXPECT_EQ(clicks, 3);
    EXPECT_EQ(changes, 0);
    QTest::keyClick(list.get(), Qt::Key_Up);
    QTest::keyClick(list.get(), Qt::Key_Return);
    ExpectAt(tmp / "a/b/beta");
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, Centre("a"));
    ExpectAt(tmp / "a");
    EXPECT_EQ(changes, 2);
}

// The folder shown can go while it is shown; its parent still opens.
TEST_F(FolderList, FromAFolderThatWasRemovedTheOthersStillOpen) {
    list->SetFolderPath(tmp / "a/b/Alpha");
    ASSERT_EQ(rmdir((tmp / "a/b/Alpha").c_str()), 0);
    list->SelectEntry(RowOf("b"));
    list->OpenSelectedEntry();
    ExpectAt(tmp / "a/b");
    EXPECT_EQ(RowOf("Alpha"), -1);
}

TEST_F(FolderList, EntriesAreBuiltAtTheFirstShowOrAtOnceAndAgainForAFont) {
    SetCurrentDir(tmp / "a");
    TDirectoryListBox fresh;
    EXPECT_EQ(fresh.EntryCount(), 0);
    fresh.SetFolderPath("b");
    const Texts entries = TextsOf(fresh);
    EXPECT_EQ(entries.back(), "Gamma");
    fresh.SelectEntry(0);
    fresh.show();
    EXPECT_EQ(TextsOf(fresh), entries);
    EXPECT_EQ(fresh.EntryText(fresh.CurrentIndex()), "b");

    // A font change sets the item height, never below the glyphs', and selects the current
    // entry again.
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

TEST(DriveComboBox, ListsThePresentDrivesInOrderInEitherCase) {
    std::set<std::string> hidden; // mount points that are not folders
    TDriveComboBox combo;
    combo.SetDriveSources(test::PreparedDrives(
        test::kDesktopMounts, [&](const std::string& path) { return !hidden.contains(path); }));
    EXPECT_EQ(combo.EntryCount(), 0); // nothing before the first show
    combo.show();
    int changes = 0;
    combo.OnChange = [&](TDriveComboBox*) { ++changes; };
    EXPECT_THAT(TextsOf(combo),
                ElementsAre("/ [system]", "/media/cd []", "/media/stick", "/mnt/x //server/share"));
    EXPECT_THAT((std::vector{combo.EntryType(0), combo.EntryType(1), combo.EntryType(2),
                             combo.EntryType(3)}),
                ElementsAre(dtFixed, dtCdRom, dtRemovable, dtNetwork));
    EXPECT_EQ(combo.DriveLetter(), "/"); // the drive of the current directory

    combo.SetTextCase(tcUpperCase);
    EXPECT_THAT(TextsOf(combo),
                ElementsAre("/ [SYSTEM]", "/media/cd []", "/media/stick", "/mnt/x //SERVER/SHARE"));
    // Assigned its current value, TextCase still reads the drives again.
    hidden.insert("/media/cd"); // the CD is taken out
    combo.SetTextCase(tcUpperCase);
    EXPECT_THAT(TextsOf(combo), ElementsAre("/ [SYSTEM]", "/media/stick", "/mnt/x //SERVER/SHARE"));
    EXPECT_EQ(combo.currentIndex(), 0);
    EXPECT_EQ(changes, 2);

    // The entry height follows the font, never below the drive glyphs.
    QFont font = combo.font();
    font.setPixelSize(4);
    combo.setFont(font);
    EXPECT_EQ(combo.ItemHeight(), 11);
}

TEST_F(FolderList, PickingADriveGoesToItsOwnFolderAndBack) {
    ASSERT_THAT(TextsOf(*combo), ElementsAre("/ [system]", tmp / "gone [backup]", tmp / "stick"));
    EXPECT_EQ(combo->DriveLetter(), "/");
    combo->setCurrentIndex(stick); // the user's pick
    EXPECT_EQ(combo->DriveLetter(), tmp / "stick");
    ExpectAt(tmp / "stick"); // nothing entered on it yet: its mount point
    EXPECT_THAT(test::TextsOf(*files), ElementsAre("s.txt"));
    EXPECT_EQ(comboClicks, 1);
    EXPECT_EQ(comboChanges, 2); // once from the switch, once for the pick
    EXPECT_EQ(changes, 1);

    list->SetFolderPath("in");
    combo->setCurrentIndex(0);
    ExpectAt(tmp / "a"); // the folder last entered on "/"
    EXPECT_EQ(list->DriveLetter(), "/");
    combo->setCurrentIndex(stick);
    ExpectAt(tmp / "stick/in");
    EXPECT_EQ(comboChanges, 6);
    EXPECT_EQ(changes, 4);
}

TEST_F(FolderList, OpeningAFolderOnAnotherDriveMovesTheSelector) {
    list->SetFolderPath(tmp / "stick/in");
    ExpectAt(tmp / "stick/in");
    EXPECT_EQ(combo->DriveLetter(), tmp / "stick");
    EXPECT_EQ(combo->currentIndex(), stick);
    EXPECT_FALSE(list->InFolderChange());
    EXPECT_EQ(comboChanges, 1);
    EXPECT_EQ(changes, 1); // the drive switch on the way fires nothing of its own
    list->SetFolderPath(tmp / "a/other");
    EXPECT_EQ(combo->currentIndex(), 0);

    // A drive without an entry keeps the selection and still moves the folder list.
    combo->SetDriveLetter(tmp / "a/b");
    EXPECT_EQ(combo->DriveLetter(), tmp / "a/b");
    EXPECT_EQ(combo->currentIndex(), 0);
    ExpectAt(tmp / "a/b");
    EXPECT_EQ(comboChanges, 3);
}

// The error reaches the caller; the selector already shows the new drive while the lists stay
// where they were. The same drive again does nothing; another drive and then this one try again.
TEST_F(FolderList, ADriveThatCannotBeEnteredLeavesTheListsWhereTheyWere) {
    const auto before = State();
    EXPECT_THROW(combo->SetDriveLetter(tmp / "gone"), EInOutError);
    EXPECT_EQ(combo->DriveLetter(), tmp / "gone");
    EXPECT_EQ(combo->currentIndex(), gone);
    EXPECT_EQ(State(), before);
    EXPECT_EQ(list->DriveLetter(), "/");
    EXPECT_EQ(comboChanges, 0);

    combo->SetDriveLetter(tmp / "gone");
    EXPECT_EQ(comboChanges, 0);
    combo->SetDriveLetter("/");
    EXPECT_EQ(comboChanges, 1);
    EXPECT_THROW(combo->SetDriveLetter(tmp / "gone"), EInOutError);

    // From a user's pick the error goes on to the event loop (and so to the error report),
    // not through the combo box's own code.
    combo->SetDriveLetter("/");
    combo->setCurrentIndex(gone);
    EXPECT_EQ(combo->DriveLetter(), tmp / "gone");
    EXPECT_EQ(State(), before);
    EXPECT_THROW(QCoreApplication::sendPostedEvents(combo.get(), QEvent::MetaCall), EInOutError);
}

TEST_F(FolderList, LinksAreWeakAndTheLabelShowsThePathShortened) {
    TDirectoryListBox otherList;
    combo->SetDirList(&otherList);
    EXPECT_EQ(list->DriveComboLink(), nullptr);
    EXPECT_EQ(otherList.DriveComboLink(), combo.get());
    combo.reset();
    EXPECT_EQ(otherList.DriveComboLink(), nullptr);
    // Without a selector the folder list switches the drive itself.
    list->SetFolderPath(tmp / "stick/in");
    EXPECT_EQ(list->DriveLetter(), tmp / "stick");

    TFileListBox otherFiles;
    list->SetFileList(&otherFiles);
    EXPECT_EQ(files->FolderListLink(), nullptr);
    EXPECT_EQ(otherFiles.FolderListLink(), list.get());
    label->setFixedWidth(QFontMetrics(label->font()).horizontalAdvance("/.../in"));
    list->SetFolderPath(tmp / "stick/in/");
    EXPECT_EQ(label->text(), "/.../in");
    label.reset();
    list->SetFolderPath(tmp / "a"); // no label to update
    TDriveComboBox again;
    again.SetDirList(list.get());
    list.reset();
    EXPECT_EQ(otherFiles.FolderListLink(), nullptr);
    EXPECT_EQ(again.DirList(), nullptr);
}

} // namespace
} // namespace nomilo
