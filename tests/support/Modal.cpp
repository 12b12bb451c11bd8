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

ShownMessage CaptureMessageBoxes(const std::function<void()>& work) {
    ShownMessage shown;
    // Each box shown re-arms the watcher for the next one.
    std::function<void(QWidget*)> close = [&](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            ++shown.count;
            shown.title = box->windowTitle();
            shown.text = box->text();
            shown.icon = box->icon();
            OnNextModal(close);
            box->done(QMessageBox::Ok);
        }
    };
    OnNextModal(close);
    work();
    QApplication::processEvents();
    return shown;
}

} // namespace nomilo::test
