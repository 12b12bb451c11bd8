#pragma once

#include <string>

namespace nomilo {

// Makes the window's thread wait responsively on the file system: a call that may wait on a
// server (entering a folder, reading it; platform/files/ResponsiveCalls.h) runs on a thread of
// its own, and once it has taken longer than a moment the window shows the hourglass and goes
// on drawing itself and hearing of its close (and of termination signals), though not of keys
// and clicks. When the program is closed meanwhile, the call is given up (EAbandonedCall, which
// the error guard drops) and the program ends; the call's thread is left to the end of the
// process. For the thread that calls it.
void WaitResponsivelyOnFileSystem();

// Whether a call waits right now, the window meanwhile drawn by the waiter.
bool WaitingOnFileSystem();

// Whether the folder at `path`, which the user did not ask to enter (the undo journal's), answers
// a look at once: the window does not wait on it beyond a tenth of a second (PathAnswers).
bool AnswersAtOnce(const std::string& path);

} // namespace nomilo
