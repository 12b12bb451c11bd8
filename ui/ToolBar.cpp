#include "ui/ToolBar.h"

#include "ui/AlignLayout.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QEvent>
#include <QPushButton>
#include <QStyle>
#include <algorithm>

namespace nomilo {

namespace {

// The room between two rows of controls.
constexpr int kRowGap = 2;

} // namespace

TToolBar::TToolBar(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::NoFrame);
}

void TToolBar::SetHeights(int minHeight, int buttonHeight) {
    minHeight_ = minHeight;
    buttonHeight_ = buttonHeight;
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
    if (repacking_)
        return;
    repacking_ = true;
    // Rows first: a control goes on to a new row when the row it would end has no room left.
    struct Place {
        QWidget* control;
        int row;
        int left;
        int width;
    };
    QList<Place> places;
    int row = 0;
    int left = 0;
    for (const Item& item : items_) {
        if (item.control->isHidden())
            continue;
        const int caption = CaptionWidth(item.control);
        const int width = std::max(item.width, caption);
        // What must be seen is the caption; the rest of a wide control may run off the end.
        const int needed = caption > 0 ? caption : width;
        if (left > 0 && left + needed > this->width()) {
            ++row;
            left = 0;
        }
        places.append({item.control, row, left, width});
        left += width;
    }
    rowCount_ = row + 1;
    const int rowsHeight = rowCount_ * buttonHeight_ + row * kRowGap;
    const int height = std::max(minHeight_, rowsHeight + (minHeight_ - buttonHeight_));
    if (height != this->height()) {
        resize(this->width(), height);
        // The rows above and the lists make room.
        if (QWidget* parent = parentWidget())
            if (auto* layout = dynamic_cast<TAlignLayout*>(parent->layout()))
                layout->Realign();
    }
    const int top = std::max((this->height() - rowsHeight) / 2, 0);
    for (const Place& place : places)
        place.control->setGeometry(place.left, top + place.row * (buttonHeight_ + kRowGap),
                                   place.width, buttonHeight_);
    repacking_ = false;
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
