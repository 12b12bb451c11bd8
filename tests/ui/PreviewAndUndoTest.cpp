#include "browse/DirectoryListBox.h"
#include "browse/FileListBox.h"
#include "platform/files/CurrentDir.h"
#include "tests/support/Modal.h"
#include "tests/ui/FormTesting.h"
#include "ui/FailureDetails.h"
#include "ui/UndoMessages.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

namespace nomilo {
namespace {

class PreviewAndUndo : public test::FormTest {
protected:
    // The window on the folder `files` holding `names`, every listed entry renamed by a batch.
    TForm1& Shown(std::initializer_list<const char*> names) {
        for (const char* name : names)
            tmp.AddFile(std::string("files/") + name, name);
        TForm1& f = CreateShown();
        f.RenameSel->trigger();
        return f;
    }
    // Entry `name`'s tooltip, once the preview has caught up.
    std::string Tip(const std::string& name) const {
        QApplication::processEvents();
        const auto entries = Entries();
        const auto row = std::find(entries.begin(), entries.end(), name) - entries.begin();
        const QModelIndex index = form->FileListBox1->model()->index(static_cast<int>(row), 0);
        return index.data(Qt::ToolTipRole).toString().toStdString();
    }
};

TEST_F(PreviewAndUndo, TheListShowsTheNewNamesAsTheUserTypesWhileTheItemIsOn) {
    TForm1& f = Shown({"IMG_1.jpg", "IMG_2.jpg", "Holiday_2.jpg"});
    f.eFind->setText("IMG_");
    f.eReplace->setText("Holiday_");
    EXPECT_EQ(Tip("IMG_1.jpg"), "IMG_1.jpg"); // off by default: the designed look

    f.ShowNewNames1->trigger();
    EXPECT_TRUE(f.ShowNewNames1->isChecked());
    EXPECT_EQ(Tip("IMG_1.jpg"), "IMG_1.jpg -> Holiday_1.jpg");
    EXPECT_EQ(Tip("IMG_2.jpg"), "IMG_2.jpg -> Holiday_2.jpg: the name is taken");
    EXPECT_EQ(Tip("Holiday_2.jpg"), "Holiday_2.jpg");
    f.eReplace->setText("Trip_");
    f.Hrvatski1->trigger();
    EXPECT_EQ(Tip("IMG_2.jpg"), "IMG_2.jpg -> Trip_2.jpg");
    f.CheckBox1->click(); // prefix mode
    EXPECT_EQ(Tip("Holiday_2.jpg"), "Holiday_2.jpg -> Trip_Holiday_2.jpg");
    f.RenameSel->trigger(); // only the selected, and none is
    EXPECT_EQ(Tip("IMG_1.jpg"), "IMG_1.jpg");
    f.RenameSel->trigger();
    f.eMask->setText("H*");
    EXPECT_EQ(Tip("Holiday_2.jpg"), "Holiday_2.jpg -> Trip_Holiday_2.jpg");

    f.ShowNewNames1->trigger();
    EXPECT_EQ(Tip("Holiday_2.jpg"), "Holiday_2.jpg");
    EXPECT_EQ(f.ShowNewNames1->text(), "Prikaži nova imena");
}

TEST_F(PreviewAndUndo, CtrlZInTheListTakesTheLastBatchBackAndTheItemFollowsTheJournal) {
    TForm1& f = Shown({"a.txt", "b.txt"});
    EXPECT_FALSE(f.UndoLastRename1->isEnabled());
    f.eFind->setText("txt");
    f.eReplace->setText("md");
    f.Button2->click();
    EXPECT_EQ(Entries(), (std::vector<std::string>{"a.md", "b.md"}));
    EXPECT_TRUE(f.UndoLastRename1->isEnabled());
    // Ctrl+Z in an edit field is the field's own.
    f.eFind->setFocus();
    QTest::keyClick(f.eFind, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(tmp.Read("files/a.md"), "a.txt");
    EXPECT_EQ(Entries(), (std::vector<std::string>{"a.md", "b.md"}));

    f.FileListBox1->setFocus();
    QTest::keyClick(f.FileListBox1, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Entries(), (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_EQ(tmp.Read("files/a.txt"), "a.txt");
    EXPECT_FALSE(f.UndoLastRename1->isEnabled());

    // A journal left by an earlier run is taken back from the menu on the next start.
    f.Button2->click();
    Destroy();
    TForm1& again = CreateShown();
    EXPECT_TRUE(again.UndoLastRename1->isEnabled());
    again.UndoLastRename1->trigger();
    EXPECT_EQ(Entries(), (std::vector<std::string>{"a.txt", "b.txt"}));
}

TEST_F(PreviewAndUndo, UndoForAnotherFolderLeavesTheListAndListsWhatItCouldNotDo) {
    TForm1& f = Shown({"a.txt", "b.txt"});
    tmp.AddFolder("other");
    tmp.AddFile("other/x.txt");
    f.eFind->setText(".txt");
    f.eReplace->setText(".bak");
    f.Button2->click();
    f.DirectoryListBox1->SetFolderPath(tmp / "other");
    tmp.AddFile("files/a.txt", "made meanwhile");

    QString details, text;
    test::OnNextModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_TRUE(box);
        text = box->text();
        details = box->detailedText();
        box->button(QMessageBox::Ok)->click();
    });
    f.UndoLastRename1->trigger();
    EXPECT_EQ(text, "Some files could not be renamed.");
    EXPECT_EQ(details, "a.bak -> a.txt: the name is taken");
    EXPECT_EQ(tmp.Read("files/a.txt"), "made meanwhile");
    EXPECT_EQ(tmp.Read("files/b.txt"), "b.txt");
    EXPECT_EQ(Entries(), std::vector<std::string>{"x.txt"});
    EXPECT_EQ(GetCurrentDir(), tmp / "other");
    EXPECT_TRUE(f.UndoLastRename1->isEnabled()); // a.bak can still go back later
}

TEST_F(PreviewAndUndo, UndoThatCannotBeDoneSaysWhyOnceAndIsNoLongerOffered) {
    TForm1& f = Shown({"a.txt"});
    f.eFind->setText(".txt");
    f.eReplace->setText(".bak");
    f.Button2->click();
    const std::string journalBytes = tmp.Read("state/nomilo/last-rename.journal");
    // The folder moved away, and another one in its place.
    f.DirectoryListBox1->SetFolderPath(tmp.Path());
    ASSERT_EQ(rename(files.c_str(), (tmp / "moved").c_str()), 0);
    tmp.AddFolder("files");
    tmp.AddFile("files/a.bak", "another");
    ASSERT_TRUE(f.UndoLastRename1->isEnabled());
    const test::ShownMessage shown =
        test::CaptureMessageBoxes([&] { f.UndoLastRename1->trigger(); });
    EXPECT_EQ(shown.count, 1);
    // Its drive is here without it: the undo is given up.
    EXPECT_EQ(shown.text, QString::fromStdString("Nothing was renamed back: the folder " + files +
                                                 " is not the one the last rename took place in "
                                                 "(it was moved, removed or replaced). Its drive "
                                                 "is there without it, so this rename can no "
                                                 "longer be undone."));
    EXPECT_EQ(tmp.Read("files/a.bak"), "another");
    EXPECT_FALSE(f.UndoLastRename1->isEnabled());

    // A damaged journal: told once, in the current language, nothing renamed.
    const std::string journal = tmp / "state/nomilo/last-rename.journal";
    std::string bytes = journalBytes;
    bytes.back() = 'x';
    tmp.AddFile("state/nomilo/last-rename.journal", bytes);
    f.PopupMenu1Popup();
    ASSERT_TRUE(f.UndoLastRename1->isEnabled());
    f.Deutsch1->trigger();
    EXPECT_EQ(test::CaptureMessageBoxes([&] { f.UndoLastRename1->trigger(); }).text,
              QString::fromStdString("Nichts wurde zurückbenannt: das Rückgängig-Protokoll " +
                                     journal + " ist beschädigt."));
    EXPECT_FALSE(f.UndoLastRename1->isEnabled());
}

TEST_F(PreviewAndUndo, ABatchThatCannotBeUndoneSaysSoAndTheBatchBeforeIsNotOffered) {
    TForm1& f = Shown({"a.txt", "b.txt"});
    f.RenameSel->trigger(); // only the selected
    f.FileListBox1->SetEntrySelected(0, true);
    f.eFind->setText(".txt");
    f.eReplace->setText(".bak");
    f.Button2->click();
    // Another process holds the journal while the next batch runs.
    const std::string journal = tmp / "state/nomilo/last-rename.journal";
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t holder = fork();
    if (holder == 0) {
        flock(open((journal + ".lock").c_str(), O_RDWR), LOCK_EX);
        [[maybe_unused]] const auto told = write(ready[1], "x", 1);
        pause();
        _exit(0);
    }
    char byte;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    f.FileListBox1->SetEntrySelected(1, true);
    const test::ShownMessage shown = test::CaptureMessageBoxes([&] { f.Button2->click(); });
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    EXPECT_EQ(tmp.Read("files/b.bak"), "b.txt");
    EXPECT_EQ(shown.count, 1);
    EXPECT_EQ(shown.text,
              QString::fromStdString("This rename cannot be undone: another window of this "
                                     "program is using the undo journal " +
                                     journal + "."));
    f.PopupMenu1Popup();
    EXPECT_FALSE(f.UndoLastRename1->isEnabled());
}

TEST_F(PreviewAndUndo, TheStartSweepsWhatAKilledJournalWritingLeft) {
    tmp.AddFolder("state/nomilo");
    tmp.AddFile("state/nomilo/.last-rename.journal.Ab12Cd", "half");
    TForm1& f = CreateShown();
    EXPECT_FALSE(f.UndoLastRename1->isEnabled());
    EXPECT_FALSE(std::filesystem::exists(tmp / "state/nomilo/.last-rename.journal.Ab12Cd"));
}

TEST(UndoMessages, EveryLanguageTellsEveryReasonWithItsPlaceholders) {
    for (const TLanguageTable& table : kLanguageTables) {
        FeatureTexts = table.features;
        for (const auto problem :
             {JournalProblem::NotWritten, JournalProblem::Busy, JournalProblem::LockUnusable,
              JournalProblem::Damaged, JournalProblem::NotRegular, JournalProblem::NotOwned,
              JournalProblem::WritableByOthers, JournalProblem::Unreadable,
              JournalProblem::NoAnswer}) {
            const QString text =
                NotUndoableText({problem, std::make_error_code(std::errc::io_error)}, "/j");
            EXPECT_TRUE(text.contains(QStringLiteral("/j"))) << table.name << text.toStdString();
            EXPECT_FALSE(text.contains(QLatin1Char('%'))) << table.name << text.toStdString();
        }
        for (const bool givenUp : {false, true}) {
            const QString text = FolderReplacedText("/f", givenUp);
            EXPECT_TRUE(text.contains(QStringLiteral("/f"))) << table.name;
            EXPECT_TRUE(text.endsWith(QString::fromUtf8(givenUp ? table.features.folderGoneForGood
                                                                : table.features.folderMayComeBack)))
                << table.name;
        }
        EXPECT_FALSE(RefusalText(TRefusal::Replaced).isEmpty());
    }
    FeatureTexts = kLanguageTables[1].features;
}

// The terminal command, run to its end in `folder`; answers its exit status.
int RunCommand(const QStringList& arguments, const std::string& folder) {
    QProcess command;
    command.setWorkingDirectory(QString::fromStdString(folder));
    command.start(NOMILO_RENAME_PROGRAM, arguments);
    if (!command.waitForFinished(30000))
        return -1;
    return command.exitStatus() == QProcess::NormalExit ? command.exitCode() : -1;
}

TEST_F(PreviewAndUndo, TheWindowAndTheTerminalCommandTakeBackEachOthersBatches) {
    TForm1& f = Shown({"a.txt", "b.txt"});
    ASSERT_EQ(RunCommand({"-q", "txt", "md"}, files), 0);
    f.PopupMenu1->aboutToShow(); // the menu opening looks at the journal
    EXPECT_TRUE(f.UndoLastRename1->isEnabled());
    f.UndoLastRename1->trigger();
    EXPECT_EQ(tmp.Read("files/a.txt"), "a.txt");
    EXPECT_EQ(tmp.Read("files/b.txt"), "b.txt");
    EXPECT_FALSE(f.UndoLastRename1->isEnabled());

    f.eFind->setText(".txt");
    f.eReplace->setText(".bak");
    f.Button2->click();
    EXPECT_EQ(tmp.Read("files/a.bak"), "a.txt");
    ASSERT_EQ(RunCommand({"--undo", "-q"}, tmp.Path()), 0);
    EXPECT_EQ(tmp.Read("files/a.txt"), "a.txt");
    EXPECT_EQ(tmp.Read("files/b.txt"), "b.txt");
    f.PopupMenu1->aboutToShow();
    EXPECT_FALSE(f.UndoLastRename1->isEnabled());
}

TEST(FailureDetails, ListTheFirstThousandRefusalsWithTheirReasonsThenCountTheRest) {
    FeatureTexts = kLanguageTables[2].features; // German
    std::vector<TRefusedRename> refused(1002,
                                        {"a", "b", std::make_error_code(std::errc::io_error)});
    refused[0] = {"\xC8"
                  "a.txt",
                  "x", std::make_error_code(std::errc::file_exists)};
    refused[1].error = std::make_error_code(std::errc::no_such_file_or_directory);
    const QStringList lines = FailureDetails(refused).split('\n');
    ASSERT_EQ(lines.size(), 1001);
    EXPECT_EQ(lines[0], QString::fromUtf8("\uFFFDa.txt -> x: der Name ist vergeben"));
    EXPECT_EQ(lines[1], QString::fromUtf8("a -> b: die Datei ist nicht mehr da"));
    EXPECT_EQ(lines[2], "a -> b: Input/output error");
    EXPECT_EQ(lines[1000], "... und 2 weitere");
    FeatureTexts = kLanguageTables[1].features;
}

} // namespace
} // namespace nomilo
