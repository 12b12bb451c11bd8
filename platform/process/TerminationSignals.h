#pragma once

namespace nomilo {

// Catches SIGTERM, SIGINT and SIGHUP and, instead of ending the process on the spot, writes the
// signal's number to a pipe whose reading end this returns, so that the program can close its
// window the normal way when the pipe becomes readable. Returns -1 when the pipe cannot be made.
int CatchTerminationSignals();

// Reads one pending signal number from the pipe (0 when none).
int TakeTerminationSignal(int fd);

} // namespace nomilo
