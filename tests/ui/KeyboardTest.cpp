#include "browse/DirectoryListBox.h"
#include "browse/DriveComboBox.h"
#include "browse/FileListBox.h"
#include "tests/ui/FormTesting.h"

#include <QAction>
#include <QCheckBox>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <optional>
#include <string>

namespace nomilo {
namespace {

using Keyboard = test::FormTest;

// A key as the keyboard sends it: to the window, which hands it to the control with the focus.
void Press(TForm1& f, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(f.windowHandle(), key, modifiers);
}

TEST_F(Keyboard, TheFocusStartsOnTheFileListSoTheArrowKeysActOnIt) {
    tmp.AddFile("files/a.txt");
    tmp.AddFile("files/b.txt");
    TForm1& f = CreateShown();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    EXPECT_EQ(QApplication::focusWidget(), f.FileListBox1);
    Press(f, Qt::Key_End);
    EXPECT_EQ(f.FileListBox1->CurrentIndex(), 1);
}

TEST_F(Keyboard, ReturnAndKeypadEnterPressTheFocusedButtonAndNothingElse) {
    tmp.AddFile("files/a.txt");
    TForm1& f = CreateShown();
    f.RenameSel->trigger(); // every listed file
    f.eFind->setText("a");
    f.eReplace->setText("b");
    auto pressBoth = [&] {
        Press(f, Qt::Key_Return);
        Press(f, Qt::Key_Enter, Qt::KeypadModifier);
    };
    for (QLineEdit* field : {f.eFind, f.eReplace}) {
        field->setFocus();
        pressBoth();
    }
    EXPECT_EQ(Entries(), std::vector<std::string>{"a.txt"});

    f.Button2->setFocus();
    Press(f, Qt::Key_Return);
    EXPECT_EQ(Entries(), std::vector<std::string>{"b.txt"});

    f.Button1->setFocus();
    Press(f, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(f.eFind->text(), "b");
    EXPECT_EQ(f.eReplace->text(), "a");
    Press(f, Qt::Key_Return);
    EXPECT_EQ(f.eFind->text(), "a");
}

TEST_F(Keyboard, ShiftF10OpensTheContextMenuAtTheFocusedControlAsTheMenuKeyDoes) {
    for (int i = 0; i < 40; ++i)
        tmp.AddFile("files/f" + std::to_string(100 + i) + ".txt");
    TForm1& f = CreateShown();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    // The menu opens where its top-left corner is asked to, unless the screen's edge is near.
    auto openedAt = [&](QWidget* control) -> std::optional<QPoint> {
        control->setFocus();
        Press(f, Qt::Key_F10, Qt::ShiftModifier);
        QWidget* popup = QApplication::activePopupWidget();
        if (popup != f.PopupMenu1)
            return std::nullopt;
        const QPoint at = f.PopupMenu1->pos();
        f.PopupMenu1->hide();
        return at;
    };

    // The focused entry of the file list, scrolled down: the menu points into that entry.
    f.FileListBox1->setFocus();
    Press(f, Qt::Key_End);
    Press(f, Qt::Key_Up);
    const int row = f.FileListBox1->CurrentIndex();
    QRect entry = f.FileListBox1->visualRect(f.FileListBox1->model()->index(row, 0));
    entry.moveTopLeft(f.FileListBox1->viewport()->mapToGlobal(entry.topLeft()));
    const auto inList = openedAt(f.FileListBox1);
    ASSERT_TRUE(inList);
    EXPECT_TRUE(entry.contains(*inList)) << inList->x() << "," << inList->y();

    // Controls without a menu of their own pass the key up to the window's menu, at the control.
    for (QWidget* control : std::initializer_list<QWidget*>{
             f.DirectoryListBox1, f.DriveComboBox1, f.Button2, f.Button1, f.CheckBox1, f.CI}) {
        const auto at = openedAt(control);
        ASSERT_TRUE(at) << control->objectName().toStdString();
        const QRect bounds(control->mapToGlobal(QPoint(0, 0)), control->size());
        EXPECT_TRUE(bounds.contains(*at)) << control->objectName().toStdString();
    }

    // The fields keep their own Cut/Copy/Paste menu, as with the Menu key.
    f.eFind->setFocus();
    Press(f, Qt::Key_F10, Qt::ShiftModifier);
    auto* own = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(own, nullptr);
    EXPECT_NE(own, f.PopupMenu1);
    own->close();
}

} // namespace
} // namespace nomilo
