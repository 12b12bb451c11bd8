// Include subfolders in the window: the list of a whole tree, the batch, the preview and undo
// across its folders, the folders left out, and a selection of the files verb that holds folders.
#include "browse/FileListBox.h"
#include "settings/StartFolder.h"
#include "settings/StartSelection.h"
#include "tests/support/Modal.h"
#include "tests/support/MountNamespace.h"
#include "tests/ui/FormTesting.h"
#include "ui/LeftOutPaths.h"
#include "ui/RuleSwitches.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cerrno>
#include <chrono>
#include <filesystem>

namespace nomilo {
namespace {

class Subfolders : public test::FormTest {
protected:
    // Makes the file `path` below the temporary folder, and the folders above it.
    void Add(const std::string& path, const std::string& content = {}) {
        tmp.AddFolder(std::filesystem::path(path).parent_path().string());
        tmp.AddFile(path, content);
    }
    // The window on the folder `files` holding `paths`, each file holding its own path, with the
    // switch turned on by the user.
    TForm1& Shown(std::initializer_list<const char*> paths) {
        for (const char* path : paths)
            Add(std::string("files/") + path, path);
        TForm1& f = CreateShown();
        f.RuleSwitches1->IncludeSubfolders1->trigger();
        return f;
    }
    // What the list shows of each entry (its path), the selected ones marked with "*".
    std::vector<std::string> Shown() const {
        std::vector<std::string> shown;
        const QAbstractItemModel* model = form->FileListBox1->model();
        for (int i = 0; i < model->rowCount(); ++i)
            shown.push_back(model->index(i, 0).data().toString().toStdString() +
                            (form->FileListBox1->IsEntrySelected(i) ? "*" : ""));
        return shown;
    }
    std::string Tip(int row) const {
        QApplication::processEvents();
        const QModelIndex index = form->FileListBox1->model()->index(row, 0);
        return index.data(Qt::ToolTipRole).toString().toStdString();
    }
};

TEST_F(Subfolders, TheSwitchListsTheTreeAndRenameAndUndoWorkInEachFolder) {
    TForm1& f = Shown({"IMG_1.jpg", "2024-05-01/IMG_1.jpg", "2024-05-01/IMG_2.jpg",
                       "2024-05-02/deep/IMG_1.jpg", ".thumbs/IMG_1.jpg"});
    EXPECT_TRUE(f.FileListBox1->IncludeSubfolders());
    EXPECT_EQ(Shown(), (std::vector<std::string>{"IMG_1.jpg", "2024-05-01/IMG_1.jpg",
                                                 "2024-05-01/IMG_2.jpg",
                                                 "2024-05-02/deep/IMG_1.jpg"}));
    f.RenameSel->trigger(); // every listed file
    f.ShowNewNames1->trigger();
    f.eFind->setText("IMG_");
    f.eReplace->setText("Holiday_");
    EXPECT_EQ(Tip(1), "2024-05-01/IMG_1.jpg -> 2024-05-01/Holiday_1.jpg");
    f.Button2->click();
    for (const char* path :
         {"Holiday_1.jpg", "2024-05-01/Holiday_1.jpg", "2024-05-02/deep/Holiday_1.jpg"})
        EXPECT_EQ(tmp.Read(std::string("files/") + path),
                  std::string(path).replace(std::string(path).find("Holiday_"), 8, "IMG_"));
    EXPECT_EQ(Shown()[3], "2024-05-02/deep/Holiday_1.jpg");
    EXPECT_EQ(tmp.Read("files/.thumbs/IMG_1.jpg"), ".thumbs/IMG_1.jpg");

    f.UndoLastRename1->trigger();
    EXPECT_EQ(Shown()[2], "2024-05-01/IMG_2.jpg");
    EXPECT_EQ(tmp.Read("files/2024-05-02/deep/IMG_1.jpg"), "2024-05-02/deep/IMG_1.jpg");
    // Switched off, the list shows its own folder's files again; the setting is kept.
    f.RuleSwitches1->IncludeSubfolders1->trigger();
    EXPECT_EQ(Shown(), (std::vector<std::string>{"IMG_1.jpg"}));
    f.RuleSwitches1->IncludeSubfolders1->trigger();
    Destroy();
    EXPECT_EQ(Stored("IncludeSubfolders"), "1:1");
}

TEST_F(Subfolders, ASelectionThatHoldsFoldersRenamesTheirFilesForThatRunOnly) {
    for (const char* path : {"a.jpg", "b.jpg", "trip/c.jpg", "trip/day/d.jpg", "other/e.jpg"})
        Add(std::string("files/") + path);
    const auto shown = test::CaptureMessageBoxes([&] {
        form = std::make_unique<TForm1>(
            store, GroupSelection({files + "/trip", files + "/b.jpg", files + "/nothing-in-it"}));
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    });
    EXPECT_EQ(Shown(), (std::vector<std::string>{"a.jpg", "b.jpg*", "other/e.jpg", "trip/c.jpg*",
                                                 "trip/day/d.jpg*"}));
    EXPECT_TRUE(form->RuleSwitches1->IncludeSubfolders1->isChecked());
    EXPECT_EQ(shown.count, 1); // the missing path
    Destroy();
    EXPECT_EQ(Stored("IncludeSubfolders"), "1:0");
}

TEST(LeftOutFolders, EachFolderIsNamedOnceWithWhyAndTheRestCounted) {
    TTreeLeftOut leftOut;
    leftOut.folders = {{"mnt/card", EXDEV}, {"private", EACCES}};
    const QString text = LeftOutFoldersText(leftOut);
    EXPECT_EQ(text.toStdString(), "These folders were left out:\nmnt/card: it is on another file "
                                  "system\nprivate: it cannot be read (Permission denied)");
    TLeftOutFolders told;
    QWidget owner;
    const auto first = test::CaptureMessageBoxes([&] {
        told.Tell(&owner, "Nomilo", "/home", leftOut);
        QApplication::processEvents();
    });
    EXPECT_EQ(first.count, 1);
    leftOut.folders.push_back({"new", EIO});
    const auto second = test::CaptureMessageBoxes([&] {
        told.Tell(&owner, "Nomilo", "/home", leftOut);
        told.Tell(&owner, "Nomilo", "/home", leftOut);
        QApplication::processEvents();
    });
    EXPECT_EQ(second.count, 1);
    EXPECT_EQ(second.text.toStdString(),
              "These folders were left out:\nnew: it cannot be read (Input/output error)");
}

// A server mounted inside the tree that never answers: the window lists the rest at once and
// names the mount among the folders left out.
TEST_F(Subfolders, AServerMountedInsideTheTreeNeverMakesTheWindowWait) {
    Add("files/a.txt");
    Add("files/sub/b.txt");
    tmp.AddFolder("files/share");
    PutText("IncludeSubfolders", "1");
    const test::ChildOutcome outcome = test::RunWithOwnMounts([&](std::string& report) {
        if (std::string why = test::MountDeadServer(files + "/share", "fuse.sshfs"); !why.empty())
            return why;
        const auto start = std::chrono::steady_clock::now();
        const auto shown = test::CaptureMessageBoxes([&] {
            CreateShown();
            QApplication::processEvents();
        });
        const auto took = std::chrono::steady_clock::now() - start;
        for (const std::string& entry : Shown())
            report += entry + ";";
        report += shown.text.toStdString();
        if (took > std::chrono::seconds(5))
            report += " (waited)";
        return std::string();
    });
    if (!outcome.skipped.empty())
        GTEST_SKIP() << "no FUSE mount whose server never answers can be made here: "
                     << outcome.skipped;
    ASSERT_FALSE(outcome.timedOut) << "the window waited on the dead server";
    EXPECT_EQ(outcome.report, "a.txt;sub/b.txt;These folders were left out:\nshare: it is on "
                              "another file system");
}

} // namespace
} // namespace nomilo
