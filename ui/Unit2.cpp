#include "ui/Unit2.h"

#include "resources/Glyphs.h"
#include "resources/Version.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QFontInfo>
#include <QFontMetrics>
#include <algorithm>
#include <cmath>
#include <qdrawutil.h>

namespace nomilo {

TAboutBox* AboutBox = nullptr;

namespace {

// A panel with a lowered outer and a raised inner bevel on the window background.
class TBevelPanel : public QFrame {
public:
    using QFrame::QFrame;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Base));
        qDrawShadePanel(&painter, rect(), palette(), /*sunken=*/true, 1);
        qDrawShadePanel(&painter, rect().adjusted(1, 1, -1, -1), palette(), /*sunken=*/false, 1);
    }
};

QFont PointFont(const QFont& base, int points) {
    QFont font = base;
    font.setPointSize(points);
    return font;
}

QLabel* MakeLabel(QWidget* parent, const QString& text, bool wordWrap = false) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(wordWrap);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

// The desktop's font can be wider than the one the box was laid out for: a wrapped label widens
// (within the panel) until its text takes the lines the layout gave it, and grows taller when
// the panel is too narrow for that.
void FitWrappedLabel(QLabel* label, int lines, int widest) {
    const int lineHeight = label->fontMetrics().height();
    int width = label->width();
    while (width < widest && label->heightForWidth(width) > lines * lineHeight)
        ++width;
    label->resize(width, std::max(label->height(), label->heightForWidth(width)));
}

// Moves `control` down to `top` when it stands higher.
void KeepBelow(QWidget* control, int top) {
    if (control->y() < top)
        control->move(control->x(), top);
}

} // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFont(PointFont(QGuiApplication::font(), 8));

    Panel1 = new TBevelPanel(this);
    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setScaledContents(true);
    ProductName = MakeLabel(Panel1, QStringLiteral("Nomilo"));
    Label1 = MakeLabel(Panel1, QStringLiteral("Velkaro"));
    Version = MakeLabel(Panel1, QString::fromUtf8(version::ProductVersion));
    const QFont large = PointFont(font(), 12);
    for (QLabel* label : {ProductName, Label1, Version})
        label->setFont(large);
    Copyright = MakeLabel(Panel1, QString::fromUtf8(version::LegalCopyright));
    Comments = MakeLabel(Panel1, QStringLiteral("This program is freeware."), true);
    Label2 = MakeLabel(
        Panel1,
        QStringLiteral("The author is not liable for any loses caused by the use of this software."),
        true);
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(); });
    LayOut();
}

void TAboutBox::LayOut() {
    // The layout's places and sizes are for an 8-point font 11 pixels high (96 dpi); a larger
    // font (a higher font dpi) scales them, and text that still needs more room pushes what
    // follows it right or down by the layout's own gaps. At the layout's font size, and
    // whenever the text fits, every control stands where the layout puts it.
    const double scale = std::max(1.0, QFontInfo(font()).pixelSize() / 11.0);
    auto px = [scale](int designed) { return static_cast<int>(std::lround(designed * scale)); };
    auto place = [&](QWidget* control, int left, int top, int width, int height) {
        control->setGeometry(px(left), px(top), px(width), px(height));
    };

    place(ProgramIcon, 16, 20, 32, 32);
    ProgramIcon->setPixmap(nomilo::ProgramIcon().pixmap(ProgramIcon->size()));
    place(ProductName, 76, 16, 71, 20);
    place(Label1, 168, 16, 84, 20);
    place(Version, 136, 48, 22, 20);
    place(Copyright, 8, 80, 138, 13);
    place(Comments, 8, 104, 118, 13);
    place(Label2, 8, 124, 172, 26);
    // A label sizes itself to its text.
    for (QLabel* label : {ProductName, Label1, Version, Copyright})
        label->adjustSize();
    const int panelWidth = std::max(px(281), Copyright->x() + Copyright->width() + px(8));
    FitWrappedLabel(Comments, 1, panelWidth - Comments->x() - px(8));
    FitWrappedLabel(Label2, 2, panelWidth - Label2->x() - px(8));

    auto bottom = [](const QWidget* control) { return control->y() + control->height(); };
    auto right = [](const QWidget* control) { return control->x() + control->width(); };
    if (Label1->x() < right(ProductName) + px(21))
        Label1->move(right(ProductName) + px(21), Label1->y());
    KeepBelow(Version, std::max(bottom(ProductName), bottom(Label1)) + px(12));
    KeepBelow(Copyright, std::max(bottom(Version), bottom(ProgramIcon)) + px(12));
    KeepBelow(Comments, bottom(Copyright) + px(11));
    KeepBelow(Label2, bottom(Comments) + px(7));

    int widest = panelWidth;
    for (const QWidget* label : {Label1, Version, Copyright, Comments, Label2})
        widest = std::max(widest, right(label) + px(8));
    Panel1->setGeometry(px(8), px(8), widest, std::max(px(161), bottom(Label2) + px(11)));

    const QFontMetrics buttonFont = OKButton->fontMetrics();
    const QSize button(std::max(px(75), buttonFont.horizontalAdvance(OKButton->text()) + px(16)),
                       std::max(px(25), buttonFont.height() + px(8)));
    const int boxWidth = std::max(px(298), right(Panel1) + px(9));
    OKButton->setGeometry((boxWidth - button.width()) / 2, bottom(Panel1) + px(11),
                          button.width(), button.height());
    setFixedSize(boxWidth, bottom(OKButton) + px(8));
}

void TAboutBox::OKButtonClick() {
    accept();
}

void TAboutBox::showEvent(QShowEvent* event) {
    // Centred on the screen the first time; afterwards wherever the user left it.
    if (!shownBefore_) {
        shownBefore_ = true;
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->availableGeometry();
            move(std::max(0, area.center().x() - width() / 2),
                 std::max(0, area.center().y() - height() / 2));
        }
    }
    QDialog::showEvent(event);
}

} // namespace nomilo
