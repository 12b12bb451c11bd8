#include "facts/ReaderProcess.h"
#include "ui/ErrorReport.h"

#include <gtest/gtest.h>

// The window tests run inside the program's own application object, whose event delivery
// guards against errors as the program's does.
int main(int argc, char** argv) {
    // The window starts its own program as its reader of files' data: here, this one.
    if (argc == 2 && std::string(argv[1]) == nomilo::kReadFactsArgument)
        return nomilo::RunReaderProcess();
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    nomilo::TNomiloApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
