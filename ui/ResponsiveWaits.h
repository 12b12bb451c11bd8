#pragma once

#include <chrono>
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

// Whether the folder at `path`, which the window looks at without the user asking (the start
// folder, the undo journal's), answers a look (PathAnswers) within `patience` where it lies on a
// mount that may wait (RemoteMountPoints). Elsewhere it is given a few seconds, which only a
// link onto such a mount can take: a busy machine never makes a local folder seem dead.
bool AnswersWithin(const std::string& path, std::chrono::milliseconds patience);

// The same for the undo journal's folder, within a tenth of a second.
bool AnswersAtOnce(const std::string& path);

} // namespace nomilo
