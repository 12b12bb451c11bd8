#include "ui/ResponsiveWaits.h"

#include "browse/Hourglass.h"
#include "platform/files/ResponsiveCalls.h"
#include "ui/ProgramEnd.h"

#include <QEventLoop>
#include <QTimer>

namespace nomilo {

namespace {

// How often the waiter looks whether the call is done.
constexpr int kPollMs = 10;

// Runs the window's events but its input until `done` says so or the program is closing.
void WaitDrawingTheWindow(const std::function<bool()>& done) {
    THourglass hourglass;
    hourglass.Show();
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(kPollMs);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || ProgramClosing())
            loop.quit();
    });
    poll.start();
    if (!done() && !ProgramClosing())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!done())
        throw EAbandonedCall();
}

} // namespace

void WaitResponsivelyOnFileSystem() {
    SetCallWaiter(WaitDrawingTheWindow);
}

bool WaitingOnFileSystem() {
    return CallWaitsOnThisThread();
}

bool AnswersAtOnce(const std::string& path) {
    return PathAnswers(path, std::chrono::milliseconds(100));
}

} // namespace nomilo
