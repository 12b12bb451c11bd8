#pragma once

#include <QCursor>
#include <QGuiApplication>

namespace nomilo {

// The hourglass over the whole application from Show() until the object goes; the cursor in
// force before comes back then, however the work ends.
class THourglass {
public:
    THourglass() = default;
    THourglass(const THourglass&) = delete;
    THourglass& operator=(const THourglass&) = delete;
    ~THourglass() {
        if (shown_)
            QGuiApplication::restoreOverrideCursor();
    }
    bool Shown() const { return shown_; }
    void Show() {
        if (!shown_) {
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
            shown_ = true;
        }
    }

private:
    bool shown_ = false;
};

} // namespace nomilo
