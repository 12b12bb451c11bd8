#pragma once

#include <QColor>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QStyledItemDelegate>
#include <QWidget>

namespace nomilo {

// Hands the painting of every row to the list that owns it (`TList::DrawItem`), at the list's
// one fixed item height: the lists draw their entries themselves.
template <typename TList> class TOwnerDrawDelegate : public QStyledItemDelegate {
public:
    explicit TOwnerDrawDelegate(TList* list) : QStyledItemDelegate(list), list_(list) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        list_->DrawItem(*painter, option, index.row());
    }
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return QSize(1, list_->ItemHeight());
    }

private:
    TList* list_;
};

// Draws the platform's focus rectangle over an entry's `rect` when `option` says the entry has
// the focus, for an entry painted on `background`.
inline void DrawFocusFrame(QPainter& painter, const QWidget& widget,
                           const QStyleOptionViewItem& option, const QRect& rect,
                           const QColor& background) {
    if (!(option.state & QStyle::State_HasFocus))
        return;
    QStyleOptionFocusRect focus;
    focus.QStyleOption::operator=(option);
    focus.rect = rect;
    focus.backgroundColor = background;
    widget.style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, &widget);
}

} // namespace nomilo
