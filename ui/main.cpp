// Nomilo: the program. Starts the main window and runs it until it is closed.
#include "facts/ReaderProcess.h"
#include "platform/desktop/DesktopPublisher.h"
#include "platform/files/LinkLooks.h"
#include "platform/files/ResponsiveCalls.h"
#include "platform/process/TerminationSignals.h"
#include "resources/Glyphs.h"
#include "settings/StartFolder.h"
#include "settings/StartSelection.h"
#include "ui/ErrorReport.h"
#include "ui/ProgramEnd.h"
#include "ui/ResponsiveWaits.h"
#include "ui/StartFolders.h"
#include "ui/Unit1.h"
#include "ui/Unit2.h"

#include <QSessionManager>
#include <cstdio>
#include <cstdlib>

using namespace nomilo;

int main(int argc, char** argv) {
    // Started by itself to read files' data where a parser's fault cannot reach the window.
    if (argc == 2 && std::string(argv[1]) == kReadFactsArgument)
        return RunReaderProcess();
    // First of all, so that a signal during start-up waits in the pipe for the message loop.
    const int signalPipe = CatchTerminationSignals();

    TNomiloApplication application(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("nomilo"));
    QApplication::setWindowIcon(ProgramIcon());
    ApplicationTitle = QStringLiteral("Tarvolen");

    // Watched before anything slow runs, so that a signal also ends an error report of the
    // window's creation.
    CloseProgramOnSignal(signalPipe);
    // No server the file system waits on freezes the window: it can still be closed.
    WaitResponsivelyOnFileSystem();

    // The file manager learns of every change of the shell verb.
    PublishFolderVerbsOnChange(RegistryStore::Default());
    // Entries an earlier version published take on this version's texts. Whatever fails is
    // tried again at the next start; the user hears of the publishing when changing the verb.
    Guarded([] { PublishIfEarlierVersion(RegistryStore::Default()); });

    // QApplication has taken its own options out of the arguments.
    const TCommandLine commandLine = ReadCommandLine(argc, argv);
    Form1 = commandLine.selection
                ? new TForm1(RegistryStore::Default(), StartSelectionOf(commandLine.paths))
                : new TForm1(RegistryStore::Default(), commandLine.StartFolder());
    AboutBox = new TAboutBox(Form1);

    // The end of the desktop session closes the window like the user would.
    QObject::connect(&application, &QGuiApplication::commitDataRequest,
                     [](QSessionManager&) { CloseProgram(); });

    // A signal during the start-up has closed the program already, or came while no event loop
    // ran to hear it: the window is not shown.
    CloseProgramIfSignalled();
    int result = 0;
    if (!ProgramClosing()) {
        Form1->show();
        result = QApplication::exec();
    }

    BeginExit(); // the error report of the exit shows whatever comes
    delete Form1; // runs FormDestroy; the About box goes with the window
    Form1 = nullptr;
    AboutBox = nullptr;
    // A call given up, or a look through another mount, may wait in the kernel for ever on a
    // server that does not answer: with the settings saved, the process ends without waiting
    // for its threads (nothing at exit may try to stop them).
    if (AbandonedCallsRemain() || LinkLooksUnderWay()) {
        std::fflush(nullptr);
        std::_Exit(result);
    }
    return result;
}
