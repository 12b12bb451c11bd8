#include "ui/ToolTipAbove.h"

#include <QChildEvent>
#include <QScreen>
#include <QWidget>

namespace nomilo {

namespace {

// The gap between a tooltip and the control it tells of.
constexpr int kGap = 2;

// Qt makes a control's tooltip a window of its own, a child of the control: each one is
// watched from the start, and placed above the control before it shows and whenever it moves
// or changes size.
class TToolTipAbove : public QObject {
public:
    explicit TToolTipAbove(QWidget& control) : QObject(&control), control_(control) {
        control.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &control_) {
            if (event->type() == QEvent::ChildPolished)
                if (QWidget* tip = ToolTipOf(static_cast<QChildEvent*>(event)->child()))
                    tip->installEventFilter(this);
        } else if (event->type() == QEvent::Show || event->type() == QEvent::Move ||
                   event->type() == QEvent::Resize) {
            Place(*static_cast<QWidget*>(watched));
        }
        return false;
    }

private:
    static QWidget* ToolTipOf(QObject* child) {
        if (!child->isWidgetType())
            return nullptr;
        auto* widget = static_cast<QWidget*>(child);
        return widget->windowType() == Qt::ToolTip ? widget : nullptr;
    }

    void Place(QWidget& tip) const {
        const QPoint wanted(tip.x(), control_.mapToGlobal(QPoint(0, 0)).y() - tip.height() - kGap);
        const QScreen* screen = control_.screen();
        if (tip.pos() != wanted && (!screen || wanted.y() >= screen->geometry().top()))
            tip.move(wanted);
    }

    QWidget& control_;
};

} // namespace

void OpenToolTipsAbove(QWidget& control) {
    new TToolTipAbove(control);
}

} // namespace nomilo
