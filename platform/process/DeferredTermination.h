#pragma once

namespace nomilo {

// While an object of this class lives, SIGINT, SIGTERM and SIGHUP do not end the process on the
// spot: the first one is noted, so that the work can stop at a point where nothing is half done
// and then end the process by that signal (EndBySignal). Before and after, the signals have the
// action they had. One at a time.
class TDeferredTermination {
public:
    TDeferredTermination();
    ~TDeferredTermination();
    TDeferredTermination(const TDeferredTermination&) = delete;
    TDeferredTermination& operator=(const TDeferredTermination&) = delete;

    // The signal that came, 0 while none did. A plain load: cheap enough to ask at every step.
    static int Pending();

    // Ends the process by `signal` as its default action does, so that the shell that started
    // it sees how it ended (and, for SIGINT, stops a loop it runs the command in).
    [[noreturn]] static void EndBySignal(int signal);
};

// A write to a pipe nobody reads any more fails with EPIPE instead of ending the process, so
// that work whose output is cut short still runs to its end.
void IgnoreBrokenPipe();

// Whether the file descriptor `fd` of the process (1 for standard output, 2 for standard error)
// is a terminal.
bool IsTerminal(int fd);

} // namespace nomilo
