#pragma once

#include <QStyledItemDelegate>

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

} // namespace nomilo
