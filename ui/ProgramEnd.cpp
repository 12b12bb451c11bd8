#include "ui/ProgramEnd.h"

#include "platform/process/TerminationSignals.h"

#include <QApplication>
#include <QPointer>
#include <QSocketNotifier>

namespace nomilo {

namespace {

bool closing = false;
bool exiting = false;
int watchedPipe = -1;
QPointer<QSocketNotifier> watch;

// Takes every signal waiting in the pipe; true when there was one.
bool TakeSignals() {
    bool any = false;
    while (watchedPipe >= 0 && TakeTerminationSignal(watchedPipe) != 0)
        any = true;
    return any;
}

} // namespace

void CloseProgram() {
    closing = true;
    QApplication::closeAllWindows();
    QCoreApplication::quit();
}

bool ProgramClosing() {
    return closing;
}

void CloseProgramOnSignal(int signalPipe) {
    if (signalPipe < 0)
        return;
    watchedPipe = signalPipe;
    watch = new QSocketNotifier(signalPipe, QSocketNotifier::Read, qApp);
    QObject::connect(watch, &QSocketNotifier::activated, [] {
        if (TakeSignals())
            CloseProgram();
    });
}

void CloseProgramIfSignalled() {
    if (TakeSignals())
        CloseProgram();
}

void BeginExit() {
    exiting = true;
    if (watch)
        watch->setEnabled(false);
    QCoreApplication::removePostedEvents(nullptr, QEvent::Quit);
}

bool ReportsGoToStandardError() {
    return closing && !exiting;
}

} // namespace nomilo
