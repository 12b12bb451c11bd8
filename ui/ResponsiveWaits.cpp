#include "ui/ResponsiveWaits.h"

#include "browse/Hourglass.h"
#include "platform/drives/Drives.h"
#include "platform/files/CurrentDir.h"
#include "platform/files/EInOutError.h"
#include "platform/files/FileAttributes.h"
#include "platform/files/ResponsiveCalls.h"
#include "ui/ProgramEnd.h"

#include <QEventLoop>
#include <QTimer>

namespace nomilo {

namespace {

// How often the waiter looks whether the call is done.
constexpr int kPollMs = 10;

// How long a look at a folder of the machine's own may take before it counts as not answering.
constexpr std::chrono::seconds kLocalPatience{5};

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

bool AnswersWithin(const std::string& path, std::chrono::milliseconds patience) {
    std::string absolute = path;
    if (!path.starts_with('/'))
        try {
            absolute = GetCurrentDir() + '/' + path;
        } catch (const EInOutError&) {
        }
    const bool mayWait = IsOnNetworkMount(absolute, RemoteMountPoints());
    return PathAnswers(path, mayWait ? patience : kLocalPatience);
}

bool AnswersAtOnce(const std::string& path) {
    return AnswersWithin(path, std::chrono::milliseconds(100));
}

} // namespace nomilo
