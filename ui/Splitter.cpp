#include "ui/Splitter.h"

#include "ui/AlignLayout.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace nomilo {

TSplitter::TSplitter(QWidget* parent, QWidget* pane, QWidget* rest, int minSize)
    : QWidget(parent), pane_(pane), rest_(rest), minSize_(minSize) {
    setCursor(Qt::SplitHCursor);
    setFocusPolicy(Qt::NoFocus);
}

int TSplitter::ClampedWidth(int wanted) const {
    // The pane and the room right of the splitter share what they have now.
    const int shared = pane_->width() + (rest_ ? rest_->width() : 0);
    if (shared < 2 * minSize_)
        return pane_->width();
    return std::clamp(wanted, minSize_, shared - minSize_);
}

void TSplitter::paintEvent(QPaintEvent*) {
    // Flat: the face of the row, no bevel.
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
}

void TSplitter::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pane_) {
        event->ignore();
        return;
    }
    dragging_ = true;
    pressX_ = static_cast<int>(event->globalPosition().x());
    paneAtPress_ = pane_->width();
    event->accept();
}

void TSplitter::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_)
        return;
    const int dx = static_cast<int>(event->globalPosition().x()) - pressX_;
    SetPaneWidth(pane_, ClampedWidth(paneAtPress_ + dx));
    event->accept();
}

void TSplitter::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        dragging_ = false;
    event->accept();
}

void SetPaneWidth(QWidget* pane, int width) {
    pane->resize(std::clamp(width, 0, kMaxPaneWidth), pane->height());
    if (QWidget* row = pane->parentWidget())
        if (auto* layout = dynamic_cast<TAlignLayout*>(row->layout()))
            layout->Realign();
}

} // namespace nomilo
