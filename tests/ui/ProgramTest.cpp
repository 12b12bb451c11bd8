#include "tests/ui/FormTesting.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace nomilo {
namespace {

using Program = test::FormTest;

// The program ends the normal way on a termination signal: its window closes and the settings
// are written as at any exit.
TEST_F(Program, ATerminationSignalClosesTheWindowAndTheSettingsAreSaved) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        std::filesystem::remove_all(tmp / "config");
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", QString::fromStdString(tmp / "config"));
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(QString::fromStdString(files));
        program.start(NOMILO_PROGRAM, {});
        ASSERT_TRUE(program.waitForStarted(10000));

        // The window is being created once its settings key exists.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!std::filesystem::exists(store.Path()) &&
               std::chrono::steady_clock::now() < deadline)
            QThread::msleep(20);
        ASSERT_TRUE(std::filesystem::exists(store.Path()));
        ASSERT_TRUE(StoredNames().empty());

        ::kill(static_cast<pid_t>(program.processId()), signal);
        ASSERT_TRUE(program.waitForFinished(30000)) << "signal " << signal;
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << "signal " << signal;
        EXPECT_EQ(program.exitCode(), 0);
        EXPECT_EQ(Stored("Width"), "1:361") << "signal " << signal;
        EXPECT_EQ(Stored("RenameSel"), "1:1");
    }
}

} // namespace
} // namespace nomilo
