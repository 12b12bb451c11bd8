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

class Program : public test::FormTest {
protected:
    // Starts the program on the test's settings store, without a display.
    void Start() {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", QString::fromStdString(tmp / "config"));
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(QString::fromStdString(files));
        program.start(NOMILO_PROGRAM, {});
        ASSERT_TRUE(program.waitForStarted(10000));
    }
    void Signal(int signal) { ::kill(static_cast<pid_t>(program.processId()), signal); }
    // Whether the program ended by itself, the normal way, within `seconds`.
    bool EndsNormally(int seconds) {
        return program.waitForFinished(seconds * 1000) &&
               program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0;
    }

    QProcess program;
};

// The program ends the normal way on a termination signal: its window closes and the settings
// are written as at any exit.
TEST_F(Program, ATerminationSignalClosesTheWindowAndTheSettingsAreSaved) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        std::filesystem::remove_all(tmp / "config");
        Start();
        // The window is being created once its settings key exists.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!std::filesystem::exists(store.Path()) &&
               std::chrono::steady_clock::now() < deadline)
            QThread::msleep(20);
        ASSERT_TRUE(std::filesystem::exists(store.Path()));
        ASSERT_TRUE(StoredNames().empty());

        Signal(signal);
        ASSERT_TRUE(EndsNormally(30)) << "signal " << signal;
        EXPECT_EQ(Stored("Width"), "1:361") << "signal " << signal;
        EXPECT_EQ(Stored("RenameSel"), "1:1");
    }
}

// A start held up by its error report (a stored value of another kind) still ends on a
// signal, the orderly way: the settings are written, the bad value replaced.
TEST_F(Program, ASignalEndsAStartThatWaitsOnItsErrorReport) {
    Put("Width", REG_DWORD, std::string_view("\x00\x02\x00\x00", 4));
    Start();
    QThread::msleep(1500); // the report is up by now, or the signal comes before it: both end
    Signal(SIGTERM);
    ASSERT_TRUE(EndsNormally(30));
    EXPECT_EQ(Stored("Width"), "1:361");
}

// A store that cannot be written is reported at exit also when a signal closed the program,
// and the report waits for the user, whatever signal comes while it is open.
TEST_F(Program, TheExitReportWaitsAfterASignalClose) {
    PutText("Jezik", "English");
    std::filesystem::remove(store.Path() + ".lock");
    std::filesystem::create_directory(store.Path() + ".lock"); // every write is refused
    Start();
    QThread::msleep(1500);
    Signal(SIGTERM);
    QThread::msleep(300);
    Signal(SIGTERM); // the same close, told twice
    EXPECT_FALSE(program.waitForFinished(3000)) << "no report waited";
    program.kill();
    program.waitForFinished(10000);
}

} // namespace
} // namespace nomilo
