#include "platform/process/TerminationSignals.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <initializer_list>
#include <unistd.h>

namespace nomilo {

namespace {

int writeEnd = -1;

void OnTerminationSignal(int signal) {
    const int savedErrno = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const auto ignored = write(writeEnd, &number, 1);
    errno = savedErrno;
}

} // namespace

int CatchTerminationSignals() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return -1;
    writeEnd = fds[1];
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
    return fds[0];
}

int TakeTerminationSignal(int fd) {
    unsigned char number = 0;
    return read(fd, &number, 1) == 1 ? number : 0;
}

} // namespace nomilo
