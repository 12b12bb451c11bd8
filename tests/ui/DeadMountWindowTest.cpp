// The window against servers that never answer: GNOME's network shares (fuse.gvfsd-fuse) and
// plain FUSE mounts, made in a mount namespace of the test's own. Each case runs in a process of
// its own, which is ended if it waits.
#include "browse/DirectoryListBox.h"
#include "browse/FileListBox.h"
#include "platform/files/FileIO.h"
#include "tests/support/Modal.h"
#include "tests/support/MountNamespace.h"
#include "tests/ui/FormTesting.h"
#include "ui/ErrorReport.h"
#include "ui/ProgramEnd.h"
#include "ui/ResponsiveWaits.h"
#include "ui/StartFolders.h"

#include <QAction>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QWindow>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace nomilo {
namespace {

// The servers that never answer, and a link to each from the folder the window opens on.
std::string MountDeadShares(const test::TempFolder& tmp) {
    for (const auto& [mount, type] :
         {std::pair("gvfs", "fuse.gvfsd-fuse"), std::pair("plain", "fuse")})
        if (std::string why = test::MountDeadServer(tmp / mount, type); !why.empty())
            return why;
    return {};
}

void LinkToDeadShares(test::TempFolder& tmp) {
    tmp.AddFolder("gvfs");
    tmp.AddFolder("plain");
    symlink((tmp / "gvfs/smb-share:server=nas,share=photos").c_str(),
            (tmp / "files/share").c_str());
    symlink((tmp / "plain/file.txt").c_str(), (tmp / "files/plain-file").c_str());
}

void SkipOrCheck(const test::ChildOutcome& outcome) {
    if (!outcome.skipped.empty())
        GTEST_SKIP() << "no FUSE mount whose server never answers can be made here: "
                     << outcome.skipped;
    ASSERT_FALSE(outcome.timedOut) << "the window waited on a dead server: " << outcome.report;
}

class DeadMountWindow : public test::FormTest {};

// The window comes up on a folder holding links into the dead shares, which count as folders.
// Opening a dead share on purpose waits, but the window goes on being drawn meanwhile, and
// closing it ends the wait and the program, with the settings saved.
TEST_F(DeadMountWindow, ComesUpAndClosesWhileLinksLeadIntoIt) {
    tmp.AddFile("files/notes.txt");
    LinkToDeadShares(tmp);
    const test::ChildOutcome outcome = test::RunWithOwnMounts([&](std::string& report) {
        if (std::string why = MountDeadShares(tmp); !why.empty())
            return why;
        WaitResponsivelyOnFileSystem();
        TForm1& window = CreateShown();
        report += window.isVisible() ? "shown:" : "hidden:";
        for (int i = 0; i < window.DirectoryListBox1->EntryCount(); ++i)
            if (window.DirectoryListBox1->Entry(i).kind == fkSubfolder)
                report += std::string(window.DirectoryListBox1->EntryText(i)) + "/";
        for (const std::string& name : Entries())
            report += name + ";";

        int ticks = 0; // the window's events while the wait goes on
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
        tick.start(20);
        QTimer::singleShot(500, &window, [&] { window.close(); }); // as the window system does
        Guarded([&] { window.DirectoryListBox1->SetFolderPath(tmp / "gvfs"); });
        report += " ticks:" + std::string(ticks > 5 ? "many" : std::to_string(ticks));
        report += ProgramClosing() ? " closing" : " open";
        report += window.DirectoryListBox1->FolderPath() == files ? " stayed" : " moved";
        Destroy();
        report += " width:" + Stored("Width");
        return std::string();
    });
    SkipOrCheck(outcome);
    EXPECT_EQ(outcome.report, "shown:plain-file/share/notes.txt; ticks:many closing stayed "
                              "width:1:361");
}

// Started on a folder whose server does not answer (the mount root, the folder of a selection,
// or the current directory itself), the window is built at once on a folder that answers and
// shows; then it says that the folder does not answer, and waits for it as for a folder the
// user opened: drawn, until the user closes it.
TEST_F(DeadMountWindow, AStartFolderThatDoesNotAnswerLetsTheWindowShowAtOnceAndSaysSo) {
    for (const char* mountPoint : {"gvfs", "plain", "dying"})
        tmp.AddFolder(mountPoint);
    const std::string home = std::getenv("HOME");
    struct TStart {
        std::string folder; // the folder that does not answer
        std::function<std::unique_ptr<TForm1>()> make;
    };
    const std::vector<TStart> starts{
        {tmp / "gvfs", [&] { return std::make_unique<TForm1>(store, tmp / "gvfs"); }},
        {tmp / "gvfs",
         [&] {
             const std::vector<std::string> paths{tmp / "gvfs/a.jpg", tmp / "gvfs/b.jpg"};
             return std::make_unique<TForm1>(store, StartSelectionOf(paths));
         }},
        {tmp / "dying", [&] { return std::make_unique<TForm1>(store); }},
    };
    for (const TStart& start : starts) {
        const test::ChildOutcome outcome = test::RunWithOwnMounts([&](std::string& report) {
            if (std::string why = MountDeadShares(tmp); !why.empty())
                return why;
            const auto dead = std::make_shared<std::atomic<bool>>(false);
            if (std::string why = test::MountServerThatDies(tmp / "dying", "fuse.sshfs", dead);
                !why.empty())
                return why;
            if (chdir(start.folder == tmp / "dying" ? start.folder.c_str() : files.c_str()) != 0)
                return std::string("the current directory cannot be set");
            *dead = true;
            WaitResponsivelyOnFileSystem();

            using Clock = std::chrono::steady_clock;
            const auto began = Clock::now();
            form = start.make();
            report += Clock::now() - began < std::chrono::seconds(3) ? "built" : "slow";
            const std::string& on = form->DirectoryListBox1->FolderPath();
            report += on == files ? " files" : on == home ? " home" : " " + on;
            std::string told = " untold", shown = " hidden";
            test::OnNextModal([&](QWidget* modal) {
                if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                    told = box->text().toStdString() ==
                                   "The folder " + start.folder + " does not answer. It opens as "
                                   "soon as it answers; close the window to give up."
                               ? " told"
                               : " told: " + box->text().toStdString();
                    box->done(QMessageBox::Ok);
                }
                // While it waits for the folder, the window is there to be seen and closed.
                QTimer::singleShot(300, form.get(), [&] {
                    if (form->windowHandle() && form->windowHandle()->isExposed())
                        shown = " shown";
                    form->close();
                });
            });
            form->show();
            const auto deadline = Clock::now() + std::chrono::seconds(10);
            while (!ProgramClosing() && Clock::now() < deadline)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            report += shown + told + (ProgramClosing() ? " closing" : " open");
            return std::string();
        });
        if (!outcome.skipped.empty())
            GTEST_SKIP() << "no FUSE mount whose server never answers can be made here: "
                         << outcome.skipped;
        ASSERT_FALSE(outcome.timedOut) << start.folder << ": " << outcome.report;
        EXPECT_EQ(outcome.report, start.folder == tmp / "dying" ? "built home shown told closing"
                                                                : "built files shown told closing")
            << start.folder;
    }
}

// With the state folder ($XDG_STATE_HOME) on a server that does not answer, the undo journal is
// not waited for: the window comes up, its menu opens, Rename renames and says that the batch
// cannot be undone, and undo is not offered.
TEST_F(DeadMountWindow, AJournalOnADeadServerIsNotWaitedFor) {
    tmp.AddFolder("gvfs");
    tmp.AddFolder("plain");
    tmp.AddFile("files/a.txt");
    const test::ChildOutcome outcome = test::RunWithOwnMounts([&](std::string& report) {
        if (std::string why = MountDeadShares(tmp); !why.empty())
            return why;
        setenv("XDG_STATE_HOME", (tmp / "gvfs").c_str(), 1);
        WaitResponsivelyOnFileSystem();
        TForm1& window = CreateShown();
        report += "shown";
        window.PopupMenu1Popup();
        report += window.UndoLastRename1->isEnabled() ? " offered" : " not offered";
        window.FileListBox1->SetEntrySelected(0, true);
        window.eFind->setText("a");
        window.eReplace->setText("b");
        const test::ShownMessage told =
            test::CaptureMessageBoxes([&] { window.Button2->click(); });
        report += std::filesystem::exists(files + "/b.txt") ? " renamed" : " not renamed";
        report += told.text.contains(QStringLiteral("cannot be undone")) &&
                          told.text.contains(QStringLiteral("does not answer"))
                      ? " told"
                      : " told: " + told.text.toStdString();
        window.PopupMenu1Popup();
        report += window.UndoLastRename1->isEnabled() ? " offered" : " not offered";
        return std::string();
    });
    SkipOrCheck(outcome);
    EXPECT_EQ(outcome.report, "shown not offered renamed told not offered");
}

// Whether a thread of `process` waits on a FUSE server.
bool WaitsOnFuse(pid_t process) {
    const std::string tasks = "/proc/" + std::to_string(process) + "/task/";
    for (const std::filesystem::directory_entry& task :
         std::filesystem::directory_iterator(tasks)) {
        std::ifstream stack(task.path() / "stack");
        std::ifstream wchan(task.path() / "wchan");
        std::string text{std::istreambuf_iterator<char>(stack), {}};
        text += std::string{std::istreambuf_iterator<char>(wchan), {}};
        if (text.find("fuse") != std::string::npos)
            return true;
    }
    return false;
}

// Whether `process` catches SIGTERM yet.
bool CatchesSigterm(pid_t process) {
    std::ifstream status("/proc/" + std::to_string(process) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("SigCgt:"))
            return (std::stoull(line.substr(7), nullptr, 16) >> (SIGTERM - 1)) & 1;
    return false;
}

// An X display of its own (Xvfb): its number, or -1 when there is none. The server is the
// process `server`.
int StartDisplay(pid_t& server) {
    int number[2];
    if (pipe(number) != 0)
        return -1;
    server = fork();
    if (server == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL); // gone with the test's process, however it ends
        close(number[0]);
        const std::string fd = std::to_string(number[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
               "tcp", nullptr);
        _exit(127);
    }
    close(number[1]);
    // The server writes the number and a line end, then closes its end: read to the end, so
    // that no write of it finds the pipe closed.
    const std::string text = ReadAll(number[0]).value_or(std::string());
    close(number[0]);
    return text.empty() ? -1 : std::atoi(text.c_str());
}

// What `command` prints.
std::string Output(const std::string& command) {
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t count; (count = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            text.append(buffer, count);
        pclose(pipe);
    }
    return text;
}

// The program itself, started on the folder with the links, on an X display of its own: its
// window comes up while it looks at the links on threads of its own, which the dead servers
// hold for ever, and it still ends the normal way on a termination signal, settings saved.
TEST_F(DeadMountWindow, TheProgramsWindowComesUpAndClosesWhileItsLooksWaitForEver) {
    LinkToDeadShares(tmp);
    const test::ChildOutcome outcome = test::RunWithOwnMounts(
        [&](std::string& report) {
            if (std::string why = MountDeadShares(tmp); !why.empty())
                return why;
            pid_t server = -1;
            const int display = StartDisplay(server);
            if (display < 0)
                return std::string("no X display (Xvfb) to show the window on");
            const std::string displayName = ":" + std::to_string(display);
            const pid_t program = fork();
            if (program == 0) {
                prctl(PR_SET_PDEATHSIG, SIGKILL);
                setenv("XDG_CONFIG_HOME", (tmp / "config").c_str(), 1);
                setenv("DISPLAY", displayName.c_str(), 1);
                setenv("QT_QPA_PLATFORM", "xcb", 1);
                // AddressSanitizer's check of strndup trips in libxkbcommon-x11 as Qt starts on
                // X, before any code of the program runs.
                const char* sanitizer = std::getenv("ASAN_OPTIONS");
                const std::string options =
                    std::string(sanitizer ? sanitizer : "") + ":intercept_strndup=0";
                setenv("ASAN_OPTIONS", options.c_str(), 1);
                execl(NOMILO_PROGRAM, NOMILO_PROGRAM, files.c_str(), nullptr);
                _exit(127);
            }
            using Clock = std::chrono::steady_clock;
            const auto until = [](auto check, std::chrono::seconds limit) {
                const auto deadline = Clock::now() + limit;
                while (!check() && Clock::now() < deadline)
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
                return check();
            };
            const bool shown = until(
                [&] {
                    return Output("xwininfo -root -tree -display " + displayName)
                               .find("\"Nomilo\"") != std::string::npos;
                },
                std::chrono::seconds(30));
            report +=
                shown ? "shown"
                      : "not shown (server " +
                            std::string(waitpid(server, nullptr, WNOHANG) == 0 ? "up" : "gone") +
                            ", program " +
                            (waitpid(program, nullptr, WNOHANG) == 0 ? "up" : "gone") + ")";
            report += WaitsOnFuse(program) ? " looking" : " no look";
            until([&] { return CatchesSigterm(program); }, std::chrono::seconds(5));
            kill(program, SIGTERM);
            int status = 0;
            bool reaped = false;
            const bool ended = until(
                [&] { return reaped = reaped || waitpid(program, &status, WNOHANG) == program; },
                std::chrono::seconds(15));
            if (!ended) {
                kill(program, SIGKILL);
                waitpid(program, &status, 0);
                report += " hung";
            } else {
                report += WIFEXITED(status) ? " exit " + std::to_string(WEXITSTATUS(status))
                                            : " signal " + std::to_string(WTERMSIG(status));
            }
            kill(server, SIGTERM);
            waitpid(server, nullptr, 0);
            report += " width:" + Stored("Width");
            return std::string();
        },
        90);
    SkipOrCheck(outcome);
    EXPECT_EQ(outcome.report, "shown looking exit 0 width:1:361");
}

} // namespace
} // namespace nomilo
