#pragma once

#include <QFrame>
#include <QList>

namespace nomilo {

// A tool bar: its controls stand side by side from the left in the order they were added, each
// as wide as the layout gave it or as its caption needs, whichever is more, and `ButtonHeight`
// high, centred in the bar's height.
class TToolBar : public QFrame {
public:
    explicit TToolBar(QWidget* parent);

    void SetButtonHeight(int height);
    int ButtonHeight() const { return buttonHeight_; }

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
    int buttonHeight_ = 19;
};

} // namespace nomilo
