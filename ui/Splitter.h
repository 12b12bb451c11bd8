#pragma once

#include <QWidget>

namespace nomilo {

// A splitter between a pane on its left and the control that takes the rest of the row on its
// right. Dragging it with the mouse sets the width of the left pane, keeping that pane and the
// room to its right each at least `MinSize` pixels wide; the rest of the row follows.
class TSplitter : public QWidget {
public:
    // `pane` is the left-aligned control the splitter sizes, `rest` the client control right of
    // it; both are siblings of the splitter in a parent laid out by TAlignLayout.
    TSplitter(QWidget* parent, QWidget* pane, QWidget* rest, int minSize);

    int MinSize() const { return minSize_; }
    QWidget* Pane() const { return pane_; }

    // The width the pane gets when dragging asks for `wanted`: clamped so that the pane and
    // the room right of the splitter stay at least MinSize wide. When the two together are
    // narrower than that, the pane keeps its width.
    int ClampedWidth(int wanted) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QWidget* pane_;
    QWidget* rest_;
    int minSize_;
    bool dragging_ = false;
    int pressX_ = 0;      // global x of the press
    int paneAtPress_ = 0; // pane width at the press
};

// Sets the width of a pane laid out by TAlignLayout and lays its row out again. The width is
// held between 0 and kMaxPaneWidth.
void SetPaneWidth(QWidget* pane, int width);
inline constexpr int kMaxPaneWidth = 32767;

} // namespace nomilo
