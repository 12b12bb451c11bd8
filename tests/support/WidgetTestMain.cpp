#include <QApplication>
#include <gtest/gtest.h>

// Widget tests need one application object for the whole run; the offscreen platform is the
// default so that no display is needed.
int main(int argc, char** argv) {
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
