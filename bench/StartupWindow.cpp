// The program's start as nomilo_bench_startup times it: the application, the main window on the
// folder given, the About box, the window shown. When every event that came of it is handled
// (everything shown and idle) it writes "ready NANOSECONDS ENTRIES RESIDENT PEAK" (the monotonic
// clock, the file list's entries, and the memory of the process then and at its most, in bytes)
// and ends at once.
// With --show-new-names the window starts with Show new names on.
//   nomilo_startup_window FOLDER [--show-new-names]
#include "bench/BenchFolder.h"
#include "browse/FileListBox.h"
#include "resources/Glyphs.h"
#include "ui/ErrorReport.h"
#include "ui/Unit1.h"
#include "ui/Unit2.h"

#include <QAction>
#include <cstdio>
#include <string>
#include <ctime>
#include <unistd.h>

using namespace nomilo;

int main(int argc, char** argv) {
    TNomiloApplication application(argc, argv);
    QApplication::setWindowIcon(ProgramIcon());
    ApplicationTitle = QStringLiteral("Tarvolen");
    Form1 = new TForm1(RegistryStore::Default(), argc > 1 ? argv[1] : "");
    AboutBox = new TAboutBox(Form1);
    if (argc > 2 && std::string(argv[2]) == "--show-new-names" && !Form1->ShowNewNames1->isChecked())
        Form1->ShowNewNames1->trigger();
    Form1->show();
    nomilo::bench::ProcessEventsUntilIdle();
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const nomilo::bench::Memory memory = nomilo::bench::ProcessMemory();
    std::printf("ready %lld %d %ld %ld\n",
                static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec,
                Form1->FileListBox1->EntryCount(), memory.resident, memory.peak);
    std::fflush(stdout);
    _exit(0);
}
