#pragma once

#include <QFrame>
#include <QList>

namespace nomilo {

// A tool bar: its controls stand side by side from the left in the order they were added, each
// as wide as the layout gave it or as its caption needs, whichever is more, and `ButtonHeight`
// high, centred in the bar's height. A control whose caption does not fit in the bar's width
// any more goes on to a new row, and the bar grows to hold its rows (it is never lower than its
// minimum height), so that no caption is cut off by a narrow window.
class TToolBar : public QFrame {
public:
    explicit TToolBar(QWidget* parent);

    // The bar's height with one row; the controls' height.
    void SetHeights(int minHeight, int buttonHeight);
    int ButtonHeight() const { return buttonHeight_; }
    int RowCount() const { return rowCount_; }

    // Adds `control` (made a child of the bar) at the right end, with its layout width.
    void AddControl(QWidget* control, int width);
    // Places the controls again, after a caption changed.
    void Repack();

    // The width a control's caption needs with the current font and style (0 for a control
    // without a caption).
    static int CaptionWidth(const QWidget* control);

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Item {
        QWidget* control;
        int width;
    };
    QList<Item> items_;
    int minHeight_ = 25;
    int buttonHeight_ = 19;
    int rowCount_ = 1;
    bool repacking_ = false;
};

} // namespace nomilo
