#include "platform/process/DeferredTermination.h"

#include <csignal>
#include <unistd.h>

namespace nomilo {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

volatile std::sig_atomic_t pendingSignal = 0;
struct sigaction previous[3];

void NoteSignal(int signal) {
    if (pendingSignal == 0)
        pendingSignal = signal;
}

} // namespace

TDeferredTermination::TDeferredTermination() {
    pendingSignal = 0;
    struct sigaction action {};
    action.sa_handler = NoteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i)
        sigaction(kSignals[i], &action, &previous[i]);
}

TDeferredTermination::~TDeferredTermination() {
    for (int i = 0; i < 3; ++i)
        sigaction(kSignals[i], &previous[i], nullptr);
}

int TDeferredTermination::Pending() {
    return pendingSignal;
}

void TDeferredTermination::EndBySignal(int signal) {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    sigset_t unblocked;
    sigemptyset(&unblocked);
    sigaddset(&unblocked, signal);
    sigprocmask(SIG_UNBLOCK, &unblocked, nullptr);
    raise(signal);
    _exit(128 + signal); // only if the signal's default action did not end the process
}

void IgnoreBrokenPipe() {
    signal(SIGPIPE, SIG_IGN);
}

bool IsTerminal(int fd) {
    return isatty(fd) == 1;
}

} // namespace nomilo
