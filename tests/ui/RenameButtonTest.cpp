#include "browse/FileListBox.h"
#include "tests/support/Modal.h"
#include "tests/ui/FormTesting.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

namespace nomilo {
namespace {

using RenameButton = test::FormTest;

TEST_F(RenameButton, SelectedOnlyModeRenamesTheSelectionAndPrefixesWithTheReplaceText) {
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        tmp.AddFile(std::string("files/") + name);
    TForm1& f = CreateShown();
    ASSERT_TRUE(f.RenameSel->isChecked());
    f.FileListBox1->SetEntrySelected(1, true);
    QTest::mouseClick(f.CheckBox1, Qt::LeftButton); // prefix mode
    f.eFind->setText("ignored");
    f.eReplace->setText("2024_");
    f.Button2->click();
    EXPECT_EQ(Entries(), (std::vector<std::string>{"a.txt", "2024_b.txt", "c.txt"}));
    EXPECT_TRUE(f.FileListBox1->IsEntrySelected(1));
}

TEST_F(RenameButton, ReportsRefusedRenamesOnceUnderTheWindowCaption) {
    for (const char* name : {"A.txt", "B.txt", "c.txt"})
        tmp.AddFile(std::string("files/") + name);
    TForm1& f = CreateShown();
    f.RenameSel->trigger();
    f.CI->click(); // case-insensitive
    f.eFind->setText("a");
    f.eReplace->setText("c");
    f.Hrvatski1->trigger();
    QMessageBox* box = nullptr;
    QString title, text, details, detailsButton;
    QMessageBox::StandardButtons buttons;
    QMessageBox::Icon icon = QMessageBox::Critical;
    test::OnNextModal([&](QWidget* modal) {
        box = qobject_cast<QMessageBox*>(modal);
        if (!box)
            return;
        title = box->windowTitle();
        text = box->text();
        buttons = box->standardButtons();
        details = box->detailedText();
        for (QAbstractButton* button : box->buttons())
            if (box->buttonRole(button) == QMessageBox::ActionRole)
                detailsButton = button->text();
        icon = box->icon();
        EXPECT_EQ(box->parentWidget(), &f);
        box->button(QMessageBox::Ok)->click();
    });
    f.Button2->click();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(title, "Velkaro");
    EXPECT_EQ(text, QString::fromUtf8("Neke datoteke nije bilo moguće preimenovati."));
    EXPECT_EQ(buttons, QMessageBox::Ok); // and the box's own details button
    EXPECT_EQ(icon, QMessageBox::NoIcon);
    EXPECT_EQ(details, "A.txt -> c.txt: ime je zauzeto");
    EXPECT_EQ(detailsButton, QString::fromUtf8("Prikaži detalje..."));
    // "A.txt" could not become "c.txt"; nothing was replaced.
    EXPECT_EQ(Entries(), (std::vector<std::string>{"A.txt", "B.txt", "c.txt"}));
}

} // namespace
} // namespace nomilo
