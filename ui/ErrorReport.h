#pragma once

#include "platform/files/ResponsiveCalls.h"

#include <QApplication>
#include <QString>
#include <exception>
#include <string>

namespace nomilo {

// The application title: the caption of error reports and the name of the program on the
// desktop. "Tarvolen" at start; the language tables make it follow the window caption.
extern QString ApplicationTitle;

// The text of an error report: the message, with "." appended when its last byte sorts after
// "." (so "File not found" becomes "File not found." and "Failed." stays as it is).
QString ErrorReportText(const std::string& message);

// Shows the application error report for `message`: a message box with an error icon and an OK
// button, captioned with the application title. Returns when the user closes it, or when the
// program is closed (CloseProgram). From then until the exit begins (BeginExit) the text goes to
// standard error instead, so that the start-up cannot hold a close up twice.
void ShowErrorReport(const std::string& message);

// Runs `handler`; an error that leaves it is shown in the error report and goes no further.
// Every event handler of the program runs inside this guard. A wait on the file system given
// up because the program ends is no error: it ends the handler silently.
template <typename Handler> void Guarded(Handler&& handler) {
    try {
        handler();
    } catch (const EAbandonedCall&) {
    } catch (const std::exception& e) {
        ShowErrorReport(e.what());
    } catch (...) {
        ShowErrorReport("Unknown error");
    }
}

// The application object: its event delivery is the last guard, so no exception ever crosses
// the Qt event loop.
class TNomiloApplication : public QApplication {
public:
    TNomiloApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace nomilo
