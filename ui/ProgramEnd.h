#pragma once

namespace nomilo {

// Ends the program the normal way, as closing its window does: every window closes (an open
// modal box first, so that the code that opened it goes on), and the message loop ends, or is
// not entered when it has not run yet. From then on error reports go to standard error instead
// of a box, so that nothing holds the end up.
void CloseProgram();

// True once CloseProgram has run.
bool ProgramClosing();

// Runs CloseProgram when a signal arrives in `signalPipe` (from CatchTerminationSignals; -1 for
// none), from the first event loop on: also while an error report of the start-up is open.
void CloseProgramOnSignal(int signalPipe);

} // namespace nomilo
