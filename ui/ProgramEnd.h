#pragma once

namespace nomilo {

// Ends the program the normal way, as closing its window does: every window closes (an open
// modal box first, so that the code that opened it goes on), and the message loop ends, or is
// not entered when it has not run yet. Until the exit begins (BeginExit), error reports go to
// standard error instead of a box, so that nothing holds the end up.
void CloseProgram();

// True once CloseProgram has run.
bool ProgramClosing();

// Runs CloseProgram when a signal arrives in `signalPipe` (from CatchTerminationSignals; -1 for
// none), from the first event loop on: also while an error report of the start-up is open.
void CloseProgramOnSignal(int signalPipe);

// Runs CloseProgram when a signal came while no event loop ran (the window being built), so
// that the window is not shown.
void CloseProgramIfSignalled();

// The message loop is over and the window is about to go: a signal asks for nothing more (the
// close is under way), a quit still posted is dropped so that it cannot close the error report
// of the exit, and error reports are boxes again, as the exit's report must be.
void BeginExit();

// Whether an error report goes to standard error: after CloseProgram, until BeginExit.
bool ReportsGoToStandardError();

} // namespace nomilo
