#include "tests/support/Modal.h"
#include "ui/Unit2.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

namespace nomilo {
namespace {

TEST(AboutBox, ShowsTheProgramsNamesAndVersion) {
    TAboutBox box;
    EXPECT_EQ(box.windowTitle(), "About");
    EXPECT_EQ(box.size(), QSize(298, 213));
    EXPECT_EQ(box.ProductName->text(), "Nomilo");
    EXPECT_EQ(box.Label1->text(), "Velkaro");
    EXPECT_EQ(box.Version->text(), "2.0");
    EXPECT_EQ(box.Comments->text(), "This program is freeware.");
    EXPECT_FALSE(box.Copyright->text().isEmpty());
    EXPECT_FALSE(box.ProgramIcon->pixmap().isNull());
    EXPECT_TRUE(box.OKButton->isDefault());
    // Every label fits inside the panel.
    for (QLabel* label : box.Panel1->findChildren<QLabel*>())
        EXPECT_TRUE(box.Panel1->rect().contains(label->geometry())) << label->text().toStdString();
}

TEST(AboutBox, EnterClosesItAndItOpensWhereItWasLeft) {
    TAboutBox box;
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QPoint firstPosition;
    test::OnNextModal([&](QWidget* modal) {
        firstPosition = modal->pos();
        QTest::keyClick(modal, Qt::Key_Return);
    });
    EXPECT_EQ(box.exec(), QDialog::Accepted);
    EXPECT_NEAR(firstPosition.x() + box.width() / 2, screen.center().x(), 2);
    EXPECT_NEAR(firstPosition.y() + box.height() / 2, screen.center().y(), 2);

    box.move(10, 20);
    QPoint secondPosition;
    test::OnNextModal([&](QWidget* modal) {
        secondPosition = modal->pos();
        static_cast<TAboutBox*>(modal)->OKButton->click();
    });
    box.exec();
    EXPECT_EQ(secondPosition, QPoint(10, 20));
}

} // namespace
} // namespace nomilo
