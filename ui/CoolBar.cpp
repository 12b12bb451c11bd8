#include "ui/CoolBar.h"

#include <algorithm>

namespace nomilo {

TCoolBar::TCoolBar(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::NoFrame);
}

void TCoolBar::SetBand(QWidget* control, int minHeight) {
    control_ = control;
    minHeight_ = minHeight;
    control->setParent(this);
    const int bandHeight = std::max(minHeight, control->height());
    resize(width(), bandHeight + 2 * kBorder);
    control->setGeometry(kBorder, kBorder, std::max(width() - 2 * kBorder, 0), bandHeight);
}

void TCoolBar::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    if (control_)
        control_->setGeometry(kBorder, kBorder, std::max(width() - 2 * kBorder, 0),
                              std::max(height() - 2 * kBorder, 0));
}

} // namespace nomilo
