#pragma once

#include <QLayout>
#include <QList>

namespace nomilo {

// Where a control sits in its parent: along an edge, taking the rest (client), or where it is put.
enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

// Lays out the controls of one parent by their alignment, the way a form of the original desktop
// did: first the top controls from the top down, then the bottom ones from the bottom up, then
// the left ones from the left, the right ones from the right, each in the order it was added; a
// client control takes what is left. An edge control keeps its own size across the edge (the
// width of a left control, the height of a bottom one): that size is a plain value of the
// control, set with QWidget::resize before or after the window is shown, and the layout only
// stretches it along the edge. Hidden controls take no room; when the parent is too small the
// last controls get nothing (never a negative size).
class TAlignLayout : public QLayout {
public:
    explicit TAlignLayout(QWidget* parent);
    ~TAlignLayout() override;

    // Adds `control` (a child of the parent) with its alignment.
    void AddControl(QWidget* control, TAlign align);
    TAlign AlignOf(const QWidget* control) const;

    // Lays the controls out again now, e.g. after one of them changed its size. Asked while a
    // layout pass runs (a control changed its size as it was placed), the pass runs again.
    void Realign();

    // QLayout
    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

private:
    struct Entry {
        QLayoutItem* item;
        TAlign align;
    };
    void Place(const QRect& rect);

    QList<Entry> entries_;
    bool placing_ = false;
    bool placeAgain_ = false;
};

} // namespace nomilo
