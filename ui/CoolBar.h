#pragma once

#include <QFrame>

namespace nomilo {

// A band bar with one band: a frame that gives its one field a pane of its own, at least the
// band's minimum height high, and stretches the field across its width.
class TCoolBar : public QFrame {
public:
    explicit TCoolBar(QWidget* parent);

    // Makes `control` the band's field (a child of this bar); the bar takes the height the
    // field needs, at least `minHeight`, plus its border.
    void SetBand(QWidget* control, int minHeight);
    QWidget* BandControl() const { return control_; }
    int BandMinHeight() const { return minHeight_; }

    // The room around the field.
    static constexpr int kBorder = 1;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* control_ = nullptr;
    int minHeight_ = 0;
};

} // namespace nomilo
