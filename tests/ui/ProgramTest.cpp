#include "tests/ui/FormTesting.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QThread>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string_view>

namespace nomilo {
namespace {

class Program : public test::FormTest {
protected:
    // Starts the program offscreen in the folder `files`, with the test's settings store.
    void Start(const QStringList& arguments = {}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", QString::fromStdString(tmp / "config"));
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(QString::fromStdString(files));
        program.start(NOMILO_PROGRAM, arguments);
        ASSERT_TRUE(program.waitForStarted(10000));
    }

    // Waits until the program catches SIGTERM: from then on a signal waits in its pipe for the
    // first event loop that runs.
    void WaitUntilSignalsAreCaught() const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!CatchesSigterm() && std::chrono::steady_clock::now() < deadline)
            QThread::msleep(10);
    }
    bool CatchesSigterm() const {
        std::ifstream status("/proc/" + std::to_string(program.processId()) + "/status");
        for (std::string line; std::getline(status, line);)
            if (line.starts_with("SigCgt:"))
                return (std::stoull(line.substr(7), nullptr, 16) >> (SIGTERM - 1)) & 1;
        return false;
    }

    // Sends `signal`; the program must end the normal way.
    void EndBySignal(int signal) {
        ::kill(static_cast<pid_t>(program.processId()), signal);
        ASSERT_TRUE(program.waitForFinished(20000)) << "signal " << signal;
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << "signal " << signal;
        EXPECT_EQ(program.exitCode(), 0);
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

        EndBySignal(signal);
        EXPECT_EQ(Stored("Width"), "1:361") << "signal " << signal;
        EXPECT_EQ(Stored("RenameSel"), "1:1");
    }
}

// A signal sent during the start-up is taken by the first event loop, that of the error report
// of the window's creation: the report closes, the rest of the start-up still reads the settings
// (a later error goes to standard error, not into another box), and they are saved.
TEST_F(Program, ASignalClosesAnErrorReportOfTheStartUpAndEndsTheProgram) {
    PutText("Width", "500");
    Put("Left", REG_DWORD, std::string_view("\x10\0\0\0", 4));
    Start({QString::fromStdString(tmp / "missing")}); // a start folder that is refused
    WaitUntilSignalsAreCaught();
    EndBySignal(SIGTERM);
    EXPECT_EQ(Stored("Width"), "1:500");
    EXPECT_EQ(Stored("RenameSel"), "1:1");
    EXPECT_TRUE(program.readAllStandardError().contains("Tarvolen: Invalid data type for 'Left'"));
}

// Started on a selection, the program renames only the selected entries in this run, while the
// stored switch stays as it was; the message naming a missing path is closed by the signal too.
TEST_F(Program, ASelectionLeavesTheStoredSwitchAsItWas) {
    PutText("RenameSel", "0");
    tmp.AddFile("files/a b.jpg");
    Start({"--select", QString::fromStdString("file://" + files + "/a%20b.jpg"),
           QString::fromStdString(files + "/gone.jpg")});
    WaitUntilSignalsAreCaught();
    QThread::msleep(1000); // the window and its message are up by now, or the signal comes before
    EndBySignal(SIGTERM);
    EXPECT_EQ(Stored("RenameSel"), "1:0");
    EXPECT_EQ(Stored("Width"), "1:361");
}

// A store that cannot be written is reported at exit also when a signal closed the program,
// and the report waits for the user, whatever signal comes while it is open.
TEST_F(Program, TheExitReportWaitsAfterASignalClose) {
    PutText("Jezik", "English");
    std::filesystem::remove(store.Path() + ".lock");
    std::filesystem::create_directory(store.Path() + ".lock"); // every write is refused
    Start();
    WaitUntilSignalsAreCaught();
    QThread::msleep(1000); // the window is up by now, or the signal comes before: both end
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    QThread::msleep(300);
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM); // the same close, told twice
    EXPECT_FALSE(program.waitForFinished(3000)) << "no report waited";
    program.kill();
    program.waitForFinished(10000);
}

} // namespace
} // namespace nomilo
