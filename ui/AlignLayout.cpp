#include "ui/AlignLayout.h"

#include <QWidget>
#include <algorithm>

namespace nomilo {

TAlignLayout::TAlignLayout(QWidget* parent) : QLayout(parent) {
    setContentsMargins(0, 0, 0, 0);
    setSpacing(0);
}

TAlignLayout::~TAlignLayout() {
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

void TAlignLayout::AddControl(QWidget* control, TAlign align) {
    addChildWidget(control);
    entries_.append({new QWidgetItem(control), align});
    invalidate();
}

TAlign TAlignLayout::AlignOf(const QWidget* control) const {
    for (const Entry& entry : entries_)
        if (entry.item->widget() == control)
            return entry.align;
    return alNone;
}

void TAlignLayout::Realign() {
    if (placing_) {
        placeAgain_ = true;
        return;
    }
    if (QWidget* parent = parentWidget())
        setGeometry(parent->contentsRect());
}

void TAlignLayout::addItem(QLayoutItem* item) {
    entries_.append({item, alNone});
}

QLayoutItem* TAlignLayout::itemAt(int index) const {
    return index >= 0 && index < entries_.size() ? entries_[index].item : nullptr;
}

QLayoutItem* TAlignLayout::takeAt(int index) {
    if (index < 0 || index >= entries_.size())
        return nullptr;
    return entries_.takeAt(index).item;
}

int TAlignLayout::count() const {
    return static_cast<int>(entries_.size());
}

QSize TAlignLayout::sizeHint() const {
    const QWidget* parent = parentWidget();
    return parent ? parent->size() : QSize();
}

QSize TAlignLayout::minimumSize() const {
    // The controls are laid out in whatever room there is, as the original form was.
    return QSize(0, 0);
}

void TAlignLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    if (placing_) {
        placeAgain_ = true;
        return;
    }
    placing_ = true;
    // A control that changes its own size as it is placed (a tool bar taking another row)
    // makes the pass run again; sizes settle after a pass or two.
    for (int pass = 0; pass < 4; ++pass) {
        placeAgain_ = false;
        Place(rect);
        if (!placeAgain_)
            break;
    }
    placing_ = false;
}

void TAlignLayout::Place(const QRect& rect) {
    int left = rect.left();
    int top = rect.top();
    int right = rect.left() + rect.width(); // one past the last column
    int bottom = rect.top() + rect.height();
    auto place = [](QWidget* control, int x, int y, int width, int height) {
        control->setGeometry(x, y, std::max(width, 0), std::max(height, 0));
    };
    for (const TAlign align : {alTop, alBottom, alLeft, alRight, alClient}) {
        for (const Entry& entry : entries_) {
            QWidget* control = entry.item->widget();
            if (entry.align != align || !control || control->isHidden())
                continue;
            const int roomWide = std::max(right - left, 0);
            const int roomHigh = std::max(bottom - top, 0);
            switch (align) {
            case alTop: {
                const int height = std::min(control->height(), roomHigh);
                place(control, left, top, roomWide, control->height());
                top += height;
                break;
            }
            case alBottom: {
                const int height = std::min(control->height(), roomHigh);
                place(control, left, bottom - control->height(), roomWide, control->height());
                bottom -= height;
                break;
            }
            case alLeft: {
                const int width = std::min(control->width(), roomWide);
                place(control, left, top, control->width(), roomHigh);
                left += width;
                break;
            }
            case alRight: {
                const int width = std::min(control->width(), roomWide);
                place(control, right - control->width(), top, control->width(), roomHigh);
                right -= width;
                break;
            }
            default:
                place(control, left, top, roomWide, roomHigh);
                break;
            }
        }
    }
}

} // namespace nomilo
