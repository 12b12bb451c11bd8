#include "ui/ToolBar.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QEvent>
#include <QPushButton>
#include <QStyle>
#include <algorithm>

namespace nomilo {

TToolBar::TToolBar(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::NoFrame);
}

void TToolBar::SetButtonHeight(int height) {
    buttonHeight_ = height;
    Repack();
}

void TToolBar::AddControl(QWidget* control, int width) {
    control->setParent(this);
    items_.append({control, width});
    Repack();
}

int TToolBar::CaptionWidth(const QWidget* control) {
    if (const auto* check = qobject_cast<const QCheckBox*>(control))
        return check->sizeHint().width();
    if (const auto* button = qobject_cast<const QPushButton*>(control)) {
        // The caption and the button's frame, without the minimum width some styles give
        // dialog buttons.
        const QStyle* style = button->style();
        return button->fontMetrics().horizontalAdvance(button->text()) +
               style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) +
               2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button) + 4;
    }
    return 0;
}

void TToolBar::Repack() {
    int left = 0;
    const int top = std::max((height() - buttonHeight_) / 2, 0);
    for (const Item& item : items_) {
        if (item.control->isHidden())
            continue;
        const int width = std::max(item.width, CaptionWidth(item.control));
        item.control->setGeometry(left, top, width, buttonHeight_);
        left += width;
    }
}

bool TToolBar::event(QEvent* event) {
    // A control whose caption changed asks its parent to lay it out again.
    if (event->type() == QEvent::LayoutRequest)
        Repack();
    return QFrame::event(event);
}

void TToolBar::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    Repack();
}

} // namespace nomilo
