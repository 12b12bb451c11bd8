#include "ui/ErrorReport.h"

#include "tests/support/Modal.h"

#include <QMessageBox>
#include <gtest/gtest.h>
#include <stdexcept>

namespace nomilo {
namespace {

TEST(ErrorReport, AppendsAFullStopOnlyAfterCharactersSortingAfterIt) {
    EXPECT_EQ(ErrorReportText("File not found"), "File not found.");
    EXPECT_EQ(ErrorReportText("Invalid data type for 'Width'"), "Invalid data type for 'Width'");
    EXPECT_EQ(ErrorReportText("Done."), "Done.");
    EXPECT_EQ(ErrorReportText("Really!"), "Really!");
    EXPECT_EQ(ErrorReportText("a/"), "a/.");
    EXPECT_EQ(ErrorReportText("I/O error 1005"), "I/O error 1005.");
    EXPECT_EQ(ErrorReportText("č"), "č.");
    EXPECT_EQ(ErrorReportText(""), "");
}

TEST(ErrorReport, AnErrorLeavingAHandlerIsShownAndGoesNoFurther) {
    ApplicationTitle = "Tarvolen";
    bool after = false;
    const auto shown = test::CaptureMessageBoxes([&] {
        Guarded([] { throw std::runtime_error("File not found"); });
        after = true;
    });
    EXPECT_TRUE(after);
    EXPECT_EQ(shown.count, 1);
    EXPECT_EQ(shown.title, "Tarvolen");
    EXPECT_EQ(shown.text, "File not found.");
    EXPECT_EQ(shown.icon, QMessageBox::Critical);
}

// An object whose event handling fails, standing in for any widget's handler.
class Failing : public QObject {
public:
    bool event(QEvent*) override { throw std::runtime_error("Failed to set data for ''"); }
};

TEST(ErrorReport, TheApplicationIsTheLastGuard) {
    auto* app = dynamic_cast<TNomiloApplication*>(QCoreApplication::instance());
    ASSERT_NE(app, nullptr);
    ApplicationTitle = "Nomilo";
    Failing failing;
    QEvent event(QEvent::User);
    const auto shown = test::CaptureMessageBoxes(
        [&] { EXPECT_FALSE(QCoreApplication::sendEvent(&failing, &event)); });
    EXPECT_EQ(shown.count, 1);
    EXPECT_EQ(shown.title, "Nomilo");
    EXPECT_EQ(shown.text, "Failed to set data for ''");
}

} // namespace
} // namespace nomilo
