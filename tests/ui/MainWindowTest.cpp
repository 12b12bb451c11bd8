#include "browse/DirectoryListBox.h"
#include "browse/DriveComboBox.h"
#include "browse/FileListBox.h"
#include "browse/FontLineHeight.h"
#include "tests/support/Modal.h"
#include "tests/ui/FormTesting.h"
#include "ui/CoolBar.h"
#include "ui/ErrorReport.h"
#include "ui/RuleSwitches.h"
#include "ui/Splitter.h"
#include "ui/ToolBar.h"
#include "ui/Unit2.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <climits>
#include <filesystem>

namespace nomilo {
namespace {

using MainWindow = test::FormTest;

std::string ParentName(const QWidget* widget) {
    return widget->parentWidget()->objectName().toStdString();
}

TEST_F(MainWindow, HasEveryControlOfTheLayoutInItsPlace) {
    TForm1& f = CreateShown();
    const std::pair<QWidget*, const char*> parents[] = {
        {f.DirectoryListBox1, "Form1"},
        {f.Splitter1, "Form1"},
        {f.FileListBox1, "Form1"},
        {f.Panel5, "Form1"},
        {f.Panel6, "Panel5"},
        {f.CoolBar3, "Panel6"},
        {f.DriveComboBox1, "CoolBar3"},
        {f.Splitter3, "Panel5"},
        {f.Panel7, "Panel5"},
        {f.CoolBar4, "Panel7"},
        {f.eMask, "CoolBar4"},
        {f.Panel1, "Form1"},
        {f.Panel2, "Panel1"},
        {f.CoolBar1, "Panel2"},
        {f.eFind, "CoolBar1"},
        {f.Splitter2, "Panel1"},
        {f.Panel3, "Panel1"},
        {f.CoolBar2, "Panel3"},
        {f.eReplace, "CoolBar2"},
        {f.ToolBar1, "Form1"},
        {f.Button1, "ToolBar1"},
        {f.Button2, "ToolBar1"},
        {f.Panel4, "ToolBar1"},
        {f.CheckBox1, "ToolBar1"},
        {f.CI, "ToolBar1"},
    };
    for (const auto& [control, parent] : parents)
        EXPECT_EQ(ParentName(control), parent) << control->objectName().toStdString();

    // The window at its layout place and size.
    EXPECT_EQ(f.objectName(), "Form1");
    EXPECT_EQ(QRect(f.Left(), f.Top(), f.Width(), f.Height()), QRect(241, 102, 361, 422));

    // Three rows along the bottom, the tool bar lowest, the lists above them.
    EXPECT_EQ(f.ToolBar1->geometry().bottom(), f.height() - 1);
    EXPECT_EQ(f.Panel1->geometry().bottom() + 1, f.ToolBar1->y());
    EXPECT_EQ(f.Panel5->geometry().bottom() + 1, f.Panel1->y());
    EXPECT_EQ(f.FileListBox1->geometry().bottom() + 1, f.Panel5->y());
    EXPECT_EQ(f.DirectoryListBox1->geometry(), QRect(0, 0, 145, f.Panel5->y()));
    EXPECT_EQ(f.Splitter1->geometry(), QRect(145, 0, 4, f.Panel5->y()));
    EXPECT_EQ(f.FileListBox1->geometry(), QRect(149, 0, f.width() - 149, f.Panel5->y()));
    EXPECT_EQ(f.Panel6->width(), 145);
    EXPECT_EQ(f.Splitter3->x(), 145);
    EXPECT_EQ(f.Panel7->geometry(), QRect(149, 0, f.width() - 149, f.Panel5->height()));
    EXPECT_EQ(f.Panel2->width(), 176);
    EXPECT_EQ(f.Splitter2->x(), 176);
    EXPECT_EQ(f.Panel3->geometry(), QRect(180, 0, f.width() - 180, f.Panel1->height()));
    EXPECT_EQ(f.Splitter1->MinSize(), 5);
    EXPECT_EQ(f.Splitter2->MinSize(), 30);
    EXPECT_EQ(f.Splitter3->MinSize(), 5);

    // Every field fills its band, and the bands are at least their minimum height.
    for (TCoolBar* band : {f.CoolBar1, f.CoolBar2, f.CoolBar3, f.CoolBar4}) {
        EXPECT_GE(band->BandControl()->height(), band->BandMinHeight());
        EXPECT_EQ(band->width(), band->parentWidget()->width());
    }
    EXPECT_EQ(f.eMask->text(), "*.*");
    EXPECT_TRUE(f.eFind->text().isEmpty());
    EXPECT_TRUE(f.eReplace->text().isEmpty());
    EXPECT_FALSE(f.CheckBox1->isChecked());
    EXPECT_TRUE(f.CI->isChecked());
    EXPECT_TRUE(f.FileListBox1->MultiSelect());

    // The tool bar's controls side by side from the left, none narrower than the layout's
    // nor than its caption.
    int left = 0;
    const std::pair<QWidget*, int> tools[] = {
        {f.Button1, 60}, {f.Button2, 64}, {f.Panel4, 16}, {f.CheckBox1, 67}, {f.CI, 166}};
    for (const auto& [control, width] : tools) {
        EXPECT_EQ(control->x(), left) << control->objectName().toStdString();
        EXPECT_GE(control->width(), std::max(width, TToolBar::CaptionWidth(control)));
        left += control->width();
    }
}

TEST_F(MainWindow, NoToolBarCaptionIsCutOffByANarrowWindow) {
    TForm1& f = CreateShown();
    const int oneRow = f.ToolBar1->height();
    EXPECT_EQ(f.ToolBar1->RowCount(), 1); // English fits
    f.Hrvatski1->trigger();
    // The Croatian captions need more than the window's width: the last one takes a new row.
    ASSERT_EQ(f.ToolBar1->RowCount(), 2);
    EXPECT_EQ(f.CI->x(), 0);
    EXPECT_GT(f.CI->y(), f.CheckBox1->y());
    EXPECT_LE(f.CI->y() + f.CI->height(), f.ToolBar1->height());
    // The rows above move up to make room.
    EXPECT_EQ(f.ToolBar1->geometry().bottom(), f.height() - 1);
    EXPECT_EQ(f.Panel1->geometry().bottom() + 1, f.ToolBar1->y());
    EXPECT_EQ(f.FileListBox1->geometry().bottom() + 1, f.Panel5->y());
    for (QWidget* control :
         std::initializer_list<QWidget*>{f.Button1, f.Button2, f.CheckBox1, f.CI})
        EXPECT_LE(f.ToolBar1->x() + control->x() + TToolBar::CaptionWidth(control), f.width())
            << control->objectName().toStdString();

    f.SetWidth(600);
    EXPECT_EQ(f.ToolBar1->RowCount(), 1);
    EXPECT_EQ(f.ToolBar1->height(), oneRow);
    EXPECT_EQ(f.Panel1->geometry().bottom() + 1, f.ToolBar1->y());
}

// The layout's item height stands until the list's font first changes; a desktop font taller
// than it is never cut.
TEST_F(MainWindow, FileListRowsAreTheLayoutsHeightUntilTheFontChanges) {
    tmp.AddFile("files/a.txt");
    TForm1& f = CreateShown();
    const QModelIndex first = f.FileListBox1->model()->index(0, 0);
    EXPECT_EQ(f.FileListBox1->ItemHeight(), 16);
    EXPECT_EQ(f.FileListBox1->visualRect(first).height(), 16);
    f.RenameSel->trigger(); // a new font colour
    EXPECT_EQ(f.FileListBox1->ItemHeight(), FontLineHeight(f.FileListBox1->font()));
    Destroy();

    const QFont desktopFont = QApplication::font();
    QFont tall = desktopFont;
    tall.setPixelSize(30);
    QApplication::setFont(tall);
    Create();
    const int tallHeight = FontLineHeight(form->FileListBox1->font());
    QApplication::setFont(desktopFont);
    ASSERT_GT(tallHeight, 16);
    EXPECT_EQ(form->FileListBox1->ItemHeight(), tallHeight);
}

TEST_F(MainWindow, TabGoesRoundTheControlsInTheLayoutsOrder) {
    TForm1& f = CreateShown();
    QApplication::setActiveWindow(&f);
    f.FileListBox1->setFocus();
    const QWidget* const order[] = {
        f.FileListBox1,   f.eFind, f.eReplace,          f.Button2,     f.Button1, f.CheckBox1, f.CI,
        f.DriveComboBox1, f.eMask, f.DirectoryListBox1, f.FileListBox1};
    for (const QWidget* expected : order) {
        ASSERT_EQ(QApplication::focusWidget(), expected)
            << "focus on " << QApplication::focusWidget()->objectName().toStdString();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
}

TEST_F(MainWindow, TheContextMenuHasItsTenItemsThenTheNewOnesAndOpensAnywhere) {
    TForm1& f = CreateShown();
    const QList<QAction*> items = f.PopupMenu1->actions();
    const char* const names[] = {"Hrvatski1", "English1",          "Deutsch1",
                                 "N1",        "ShellIntegration1", "RemoveShellIntegration1",
                                 "Options1",  "RenameSel",         "N2",
                                 "About1",    "N3",                "ShowNewNames1",
                                 "UndoLastRename1", "N4", "RegularExpression1",
                                 "EveryOccurrence1", "Numbering1", "Fields1",
                                 "IncludeSubfolders1"};
    ASSERT_EQ(items.size(), 19);
    for (int i = 0; i < 19; ++i)
        EXPECT_EQ(items[i]->objectName(), names[i]);
    for (QAction* separator : {f.N1, f.Options1, f.N2, f.N3, f.RuleSwitches1->N4})
        EXPECT_TRUE(separator->isSeparator());
    const TRuleSwitches& rule = *f.RuleSwitches1;
    for (QAction* off : {f.ShowNewNames1, rule.RegularExpression1, rule.EveryOccurrence1,
                         rule.Numbering1, rule.Fields1, rule.IncludeSubfolders1})
        EXPECT_FALSE(off->isChecked());
    EXPECT_FALSE(f.UndoLastRename1->isEnabled());
    EXPECT_FALSE(f.Deutsch1->isVisible());
    EXPECT_FALSE(f.RemoveShellIntegration1->isEnabled());
    EXPECT_TRUE(f.ShellIntegration1->isEnabled());

    // A right click on any control but the edit fields opens it.
    for (QWidget* target :
         std::initializer_list<QWidget*>{f.FileListBox1, f.DirectoryListBox1, f.DriveComboBox1,
                                         f.Splitter1, f.ToolBar1, f.Button2, f.CI}) {
        const QPoint at = target->mapTo(&f, target->rect().center());
        QTest::mouseClick(f.windowHandle(), Qt::RightButton, Qt::NoModifier, at);
        EXPECT_TRUE(f.PopupMenu1->isVisible()) << target->objectName().toStdString();
        f.PopupMenu1->hide();
    }
}

TEST_F(MainWindow, LanguageItemsAreCheckedByTheCurrentLanguageWhenTheMenuOpens) {
    TForm1& f = Create();
    auto marks = [&] {
        f.PopupMenu1->popup(QPoint(0, 0)); // PopupMenu1Popup runs before it shows
        f.PopupMenu1->hide();
        return std::vector<bool>{f.Hrvatski1->isChecked(), f.English1->isChecked(),
                                 f.Deutsch1->isChecked()};
    };
    EXPECT_EQ(marks(), (std::vector<bool>{false, true, false})); // the first run's English
    f.Hrvatski1->trigger();
    EXPECT_EQ(marks(), (std::vector<bool>{true, false, false}));
    CurrentLanguage = "Deutsch";
    EXPECT_EQ(marks(), (std::vector<bool>{false, false, true}));
    CurrentLanguage = "english"; // compared byte for byte
    EXPECT_EQ(marks(), (std::vector<bool>{false, false, false}));
}

TEST(ResizeRule, ScalesInSigned32BitArithmeticWithoutUndefinedBehaviour) {
    EXPECT_EQ(ScaledPaneWidth(176, 722, 361), 352);
    EXPECT_EQ(ScaledPaneWidth(100, 399, 400), 99);
    EXPECT_EQ(ScaledPaneWidth(99, 400, 399), 99);
    EXPECT_EQ(ScaledPaneWidth(-7, 2, 4), -3); // truncated toward zero
    // The product wraps as 32-bit arithmetic does, and so does the one overflowing quotient.
    EXPECT_EQ(ScaledPaneWidth(65536, 65536, 1), 0);
    EXPECT_EQ(ScaledPaneWidth(46341, 46341, 1), -2147479015);
    EXPECT_EQ(ScaledPaneWidth(INT32_MIN, 1, -1), INT32_MIN);
}

TEST_F(MainWindow, ResizingScalesTheFindPaneAndNothingElse) {
    TForm1& f = CreateShown();
    ASSERT_EQ(f.Width(), 361);
    f.SetWidth(722);
    EXPECT_EQ(f.Width(), 722);
    EXPECT_EQ(f.Panel2->width(), 352);
    EXPECT_EQ(f.DirectoryListBox1->width(), 145);
    EXPECT_EQ(f.Panel6->width(), 145);
    EXPECT_EQ(f.Splitter2->x(), 352);
    EXPECT_EQ(f.Panel3->width(), f.width() - 356);

    f.SetWidth(400);
    SetPaneWidth(f.Panel2, 100);
    f.SetWidth(399);
    EXPECT_EQ(f.Panel2->width(), 99);
    f.SetWidth(400);
    EXPECT_EQ(f.Panel2->width(), 99); // the pane does not recover
    EXPECT_EQ(PreviousWidth, 400);

    // Without a previous width the pane stays and the width is recorded.
    PreviousWidth = 0;
    f.SetWidth(500);
    EXPECT_EQ(f.Panel2->width(), 99);
    EXPECT_EQ(PreviousWidth, 500);
}

TEST_F(MainWindow, SplittersSizeTheirLeftPaneAndKeepBothSidesAtLeastMinSize) {
    TForm1& f = CreateShown();
    const int rowWidth = f.width();
    auto drag = [](TSplitter* splitter, int dx) {
        const QPoint grip(2, splitter->height() / 2);
        QTest::mousePress(splitter, Qt::LeftButton, Qt::NoModifier, grip);
        QMouseEvent move(QEvent::MouseMove, QPointF(grip + QPoint(dx, 0)),
                         QPointF(splitter->mapToGlobal(grip + QPoint(dx, 0))), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(splitter, &move);
        QTest::mouseRelease(splitter, Qt::LeftButton, Qt::NoModifier, grip + QPoint(dx, 0));
    };
    drag(f.Splitter2, 50);
    EXPECT_EQ(f.Panel2->width(), 226);
    EXPECT_EQ(f.Splitter2->x(), 226);
    EXPECT_EQ(f.Panel3->x(), 230);
    drag(f.Splitter2, -1000);
    EXPECT_EQ(f.Panel2->width(), 30);
    drag(f.Splitter2, 1000);
    EXPECT_EQ(f.Panel3->width(), 30);

    drag(f.Splitter1, -1000);
    EXPECT_EQ(f.DirectoryListBox1->width(), 5);
    EXPECT_EQ(f.FileListBox1->x(), 9);
    drag(f.Splitter3, 1000);
    EXPECT_EQ(f.Panel7->width(), 5);

    // A pane left of a splitter keeps its width when the window is resized.
    f.SetWidth(600);
    EXPECT_EQ(f.DirectoryListBox1->width(), 5);
    EXPECT_EQ(f.Panel6->width(), rowWidth - 4 - 5);
}

TEST_F(MainWindow, PrefixModeGreysTheFindFieldAndTheSwapButtonStillSwaps) {
    TForm1& f = CreateShown();
    const QPalette system = QApplication::palette(f.eFind);
    f.eFind->setText("old");
    f.eReplace->setText("new");
    QTest::mouseClick(f.CheckBox1, Qt::LeftButton);
    EXPECT_FALSE(f.eFind->isEnabled());
    EXPECT_EQ(f.eFind->palette().color(QPalette::Base), system.color(QPalette::Button));
    EXPECT_EQ(f.eFind->text(), "old");

    QTest::mouseClick(f.Button1, Qt::LeftButton);
    EXPECT_EQ(f.eFind->text(), "new");
    EXPECT_EQ(f.eReplace->text(), "old");

    QTest::mouseClick(f.CheckBox1, Qt::LeftButton);
    EXPECT_TRUE(f.eFind->isEnabled());
    EXPECT_EQ(f.eFind->palette().color(QPalette::Base), system.color(QPalette::Base));
    EXPECT_EQ(f.eFind->text(), "new");
}

TEST_F(MainWindow, TheMaskFieldReadsTheListAgainOnEveryChange) {
    tmp.AddFile("files/a.txt");
    tmp.AddFile("files/b.jpg");
    tmp.AddFile("files/c.txt");
    TForm1& f = CreateShown();
    EXPECT_EQ(Entries(), (std::vector<std::string>{"a.txt", "b.jpg", "c.txt"}));
    f.eMask->clear();
    QTest::keyClicks(f.eMask, "*.t");
    EXPECT_EQ(f.FileListBox1->Mask(), "*.t");
    EXPECT_TRUE(Entries().empty());
    QTest::keyClicks(f.eMask, "xt");
    EXPECT_EQ(Entries(), (std::vector<std::string>{"a.txt", "c.txt"}));
}

TEST_F(MainWindow, SelectedOnlyModeColoursTheList) {
    tmp.AddFile("files/a.txt");
    tmp.AddFile("files/b.txt");
    TForm1& f = CreateShown();
    f.FileListBox1->SetEntrySelected(1, true);
    const QPalette system = QApplication::palette(f.FileListBox1);
    ASSERT_TRUE(f.RenameSel->isChecked()); // the first run's default
    EXPECT_EQ(f.FileListBox1->Color(), system.color(QPalette::Base));
    EXPECT_EQ(f.FileListBox1->FontColor(), system.color(QPalette::Text));

    f.RenameSel->trigger(); // toggles once
    EXPECT_FALSE(f.RenameSel->isChecked());
    EXPECT_EQ(f.FileListBox1->Color(), system.color(QPalette::Highlight));
    EXPECT_EQ(f.FileListBox1->FontColor(), system.color(QPalette::HighlightedText));

    f.RenameSel->trigger();
    EXPECT_TRUE(f.RenameSel->isChecked());
    EXPECT_EQ(f.FileListBox1->Color(), system.color(QPalette::Base));
    // Recolouring neither reads the list again nor loses the user's selection.
    EXPECT_FALSE(f.FileListBox1->IsEntrySelected(0));
    EXPECT_TRUE(f.FileListBox1->IsEntrySelected(1));
}

TEST_F(MainWindow, AnErrorLeavingAHandlerIsReportedAndTheWindowGoesOn) {
    TForm1& f = CreateShown();
    std::filesystem::remove(files);
    const auto shown = test::CaptureMessageBoxes([&] { QTest::keyClick(f.eMask, 'x'); });
    EXPECT_EQ(shown.count, 1);
    EXPECT_EQ(shown.title, "Nomilo");
    EXPECT_EQ(shown.text, "File not found.");
    EXPECT_EQ(shown.icon, QMessageBox::Critical);
    EXPECT_EQ(f.eMask->text(), "*.*x");
}

TEST_F(MainWindow, TheAboutItemShowsTheAboutBoxModally) {
    TForm1& f = Create();
    TAboutBox box(&f);
    AboutBox = &box;
    QWidget* shown = nullptr;
    test::OnNextModal([&](QWidget* modal) {
        shown = modal;
        static_cast<TAboutBox*>(modal)->OKButton->click();
    });
    f.About1->trigger();
    AboutBox = nullptr;
    EXPECT_EQ(shown, &box);
}

} // namespace
} // namespace nomilo
