#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace nomilo::test {

// Arranges for the next modal window (a message box or dialog) to be handed to `inspect` as soon
// as it is open; `inspect` then closes it (e.g. by clicking its button). Call it right before the
// code that opens the modal window.
void OnNextModal(std::function<void(QWidget*)> inspect);

// What a message box showed, and a way to close it with its default button.
struct ShownMessage {
    QString title;
    QString text;
    int icon = -1; // QMessageBox::Icon
    int count = 0; // how many message boxes were shown
};
// Closes every message box shown while `work` runs, recording the last one; other modal windows
// (a progress dialog) are left alone.
ShownMessage CaptureMessageBoxes(const std::function<void()>& work);

} // namespace nomilo::test
