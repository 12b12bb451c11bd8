// Nomilo: the program. Starts the main window and runs it until it is closed.
#include "platform/desktop/DesktopPublisher.h"
#include "platform/process/TerminationSignals.h"
#include "resources/Glyphs.h"
#include "settings/StartFolder.h"
#include "ui/ErrorReport.h"
#include "ui/Unit1.h"
#include "ui/Unit2.h"

#include <QSessionManager>
#include <QSocketNotifier>

using namespace nomilo;

namespace {

// Ends the program the normal way: every window closes (a modal box first), the message loop
// ends, and the main window is destroyed, so that what runs at exit runs.
void CloseEverything() {
    QApplication::closeAllWindows();
    QCoreApplication::quit();
}

} // namespace

int main(int argc, char** argv) {
    // First of all, so that a signal during start-up waits in the pipe for the message loop.
    const int signalPipe = CatchTerminationSignals();

    TNomiloApplication application(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("nomilo"));
    QApplication::setWindowIcon(ProgramIcon());
    ApplicationTitle = QStringLiteral("Tarvolen");

    // Watched before anything slow runs: a signal that comes while the start waits (on its
    // error report) closes what is open, and the window is not shown.
    bool closeAsked = false;
    QSocketNotifier signalWatch(QSocketNotifier::Read);
    if (signalPipe >= 0) {
        signalWatch.setSocket(signalPipe);
        signalWatch.setEnabled(true);
        QObject::connect(&signalWatch, &QSocketNotifier::activated, [&closeAsked, signalPipe] {
            while (TakeTerminationSignal(signalPipe) != 0) {
            }
            closeAsked = true;
            CloseEverything();
        });
    }
    // The end of the desktop session closes the window like the user would.
    QObject::connect(&application, &QGuiApplication::commitDataRequest,
                     [](QSessionManager&) { CloseEverything(); });

    // The file manager learns of every change of the shell verb.
    PublishFolderVerbsOnChange(RegistryStore::Default());

    // QApplication has taken its own options out of the arguments.
    Form1 = new TForm1(RegistryStore::Default(), StartFolder(argc, argv));
    AboutBox = new TAboutBox(Form1);

    // A signal that came while the window was built, with no event loop to hear it, ends the
    // start before the window shows.
    while (TakeTerminationSignal(signalPipe) != 0)
        closeAsked = true;
    int result = 0;
    if (!closeAsked) {
        Form1->show();
        result = QApplication::exec();
    }

    // The close is under way: a later signal asks for nothing more, and a quit still waiting
    // must not close the error report of the exit.
    signalWatch.setEnabled(false);
    QCoreApplication::removePostedEvents(nullptr, QEvent::Quit);
    delete Form1; // runs FormDestroy; the About box goes with the window
    Form1 = nullptr;
    AboutBox = nullptr;
    return result;
}
