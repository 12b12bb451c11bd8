#include "ui/WindowPlacement.h"

#include "tests/ui/FormTesting.h"

#include <QFrame>
#include <QGuiApplication>
#include <QScreen>

namespace nomilo {
namespace {

TEST(WindowPlacement, BoundsGoOntoTheScreenTheyMostlyLieOnAndShrinkOnlyWhereTheyDoNotFit) {
    // A 1280x1024 primary screen with a panel at the top, and a 1920x1080 one to its right.
    const std::vector<QRect> screens = {QRect(0, 24, 1280, 1000), QRect(1280, 0, 1920, 1080)};
    // Within the screen: as it stands.
    EXPECT_EQ(FittedOntoScreens(QRect(241, 102, 361, 422), screens), QRect(241, 102, 361, 422));
    // The designed first place at twice the scale: the bottom went off the smaller screen.
    EXPECT_EQ(FittedOntoScreens(QRect(241, 102, 361, 422), {QRect(0, 0, 640, 512)}),
              QRect(241, 90, 361, 422));
    // Mostly on the second screen: moved onto it, not back onto the first.
    EXPECT_EQ(FittedOntoScreens(QRect(1200, 900, 400, 300), screens), QRect(1280, 780, 400, 300));
    // From a monitor that is gone: onto the primary screen.
    EXPECT_EQ(FittedOntoScreens(QRect(5000, -900, 400, 300), screens), QRect(880, 24, 400, 300));
    // Taller than the screen: only the height shrinks.
    EXPECT_EQ(FittedOntoScreens(QRect(-50, 100, 600, 1500), screens), QRect(0, 24, 600, 1000));
    EXPECT_EQ(FittedOntoScreens(QRect(-50, 100, 600, 1500), {}), QRect(-50, 100, 600, 1500));
}

using StoredPlace = test::FormTest;

TEST_F(StoredPlace, AWindowFromAnotherMonitorOpensOnTheScreenWithItsStoredSizeAndPanes) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    PutText("Left", std::to_string(screen.right() + 500));
    PutText("Top", "-200");
    PutText("Width", "500");
    PutText("Height", std::to_string(screen.height() + 100));
    PutText("Panel2.Width", "150");
    TForm1& f = Create();
    EXPECT_EQ(QRect(f.Left(), f.Top(), f.Width(), f.Height()),
              QRect(screen.right() + 1 - 500, screen.top(), 500, screen.height()));
    EXPECT_EQ(f.Panel2->width(), 150);
}

} // namespace
} // namespace nomilo
