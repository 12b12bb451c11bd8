#include "tests/support/Modal.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <memory>

namespace nomilo::test {

namespace {

void PollForModal(const std::shared_ptr<std::function<void(QWidget*)>>& inspect, int triesLeft) {
    if (QWidget* modal = QApplication::activeModalWidget()) {
        (*inspect)(modal);
        return;
    }
    if (triesLeft > 0)
        QTimer::singleShot(5, [inspect, triesLeft] { PollForModal(inspect, triesLeft - 1); });
}

} // namespace

void OnNextModal(std::function<void(QWidget*)> inspect) {
    auto shared = std::make_shared<std::function<void(QWidget*)>>(std::move(inspect));
    QTimer::singleShot(0, [shared] { PollForModal(shared, 2000); });
}

namespace {

// What one CaptureMessageBoxes saw. The watcher it leaves armed after the last box outlives the
// call; once the call is over that watcher does nothing.
struct Capture {
    ShownMessage shown;
    bool active = true;
};

void CloseNextBox(const std::shared_ptr<Capture>& capture) {
    OnNextModal([capture](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!capture->active)
            return;
        // Another modal window (a progress dialog) is left to its work: the watch goes on.
        if (!box) {
            QTimer::singleShot(5, [capture] { CloseNextBox(capture); });
            return;
        }
        ++capture->shown.count;
        capture->shown.title = box->windowTitle();
        capture->shown.text = box->text();
        capture->shown.icon = box->icon();
        // Each box shown re-arms the watcher for the next one.
        CloseNextBox(capture);
        box->done(QMessageBox::Ok);
    });
}

} // namespace

ShownMessage CaptureMessageBoxes(const std::function<void()>& work) {
    const auto capture = std::make_shared<Capture>();
    CloseNextBox(capture);
    work();
    QApplication::processEvents();
    capture->active = false;
    return capture->shown;
}

} // namespace nomilo::test
