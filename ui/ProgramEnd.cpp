#include "ui/ProgramEnd.h"

#include "platform/process/TerminationSignals.h"

#include <QApplication>
#include <QSocketNotifier>

namespace nomilo {

namespace {

bool closing = false;

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
    auto* watch = new QSocketNotifier(signalPipe, QSocketNotifier::Read, qApp);
    QObject::connect(watch, &QSocketNotifier::activated, [signalPipe] {
        while (TakeTerminationSignal(signalPipe) != 0) {
        }
        CloseProgram();
    });
}

} // namespace nomilo
