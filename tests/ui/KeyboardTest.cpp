#include "browse/FileListBox.h"
#include "tests/ui/FormTesting.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

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

} // namespace
} // namespace nomilo
