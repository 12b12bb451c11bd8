// The program's start as nomilo_bench_startup times it: the application, the main window on the
// folder given, the About box, the window shown. When the message loop first waits for input
// (everything shown and idle) it writes "ready NANOSECONDS ENTRIES" (the monotonic clock, and
// the file list's entries) and ends at once.
//   nomilo_startup_window FOLDER
#include "browse/FileListBox.h"
#include "resources/Glyphs.h"
#include "ui/ErrorReport.h"
#include "ui/Unit1.h"
#include "ui/Unit2.h"

#include <QAbstractEventDispatcher>
#include <cstdio>
#include <ctime>
#include <unistd.h>

using namespace nomilo;

int main(int argc, char** argv) {
    TNomiloApplication application(argc, argv);
    QApplication::setWindowIcon(ProgramIcon());
    ApplicationTitle = QStringLiteral("Tarvolen");
    Form1 = new TForm1(RegistryStore::Default(), argc > 1 ? argv[1] : "");
    AboutBox = new TAboutBox(Form1);
    QObject::connect(
        QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, [] {
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            std::printf("ready %lld %d\n",
                        static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec,
                        Form1->FileListBox1->EntryCount());
            std::fflush(stdout);
            _exit(0);
        });
    Form1->show();
    return QApplication::exec();
}
