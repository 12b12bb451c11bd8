#include "ui/Unit2.h"

#include "resources/Glyphs.h"
#include "resources/Version.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
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

QLabel* MakeLabel(QWidget* parent, const QString& text, QRect bounds, bool wordWrap = false) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(bounds);
    label->setWordWrap(wordWrap);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

// The desktop's font can be wider than the one the box was laid out for: a wrapped label widens
// (within the panel) until its text takes the lines the layout gave it.
void FitWrappedLabel(QLabel* label, int lines) {
    const int lineHeight = label->fontMetrics().height();
    const int widest = label->parentWidget()->width() - label->x() - 8;
    int width = label->width();
    while (width < widest && label->heightForWidth(width) > lines * lineHeight)
        ++width;
    label->resize(width, std::max(label->height(), label->heightForWidth(width)));
}

} // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFont(PointFont(QGuiApplication::font(), 8));
    setFixedSize(298, 213);

    Panel1 = new TBevelPanel(this);
    Panel1->setGeometry(8, 8, 281, 161);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setGeometry(16, 20, 32, 32);
    ProgramIcon->setScaledContents(true);
    ProgramIcon->setPixmap(nomilo::ProgramIcon().pixmap(32, 32));

    const QFont large = PointFont(font(), 12);
    ProductName = MakeLabel(Panel1, QStringLiteral("Nomilo"), {76, 16, 71, 20});
    Label1 = MakeLabel(Panel1, QStringLiteral("Velkaro"), {168, 16, 84, 20});
    Version = MakeLabel(Panel1, QString::fromUtf8(version::ProductVersion), {136, 48, 22, 20});
    for (QLabel* label : {ProductName, Label1, Version}) {
        label->setFont(large);
        label->adjustSize(); // a label sizes itself to its text
    }
    Copyright = MakeLabel(Panel1, QString::fromUtf8(version::LegalCopyright), {8, 80, 138, 13});
    Copyright->adjustSize();
    Comments =
        MakeLabel(Panel1, QStringLiteral("This program is freeware."), {8, 104, 118, 13}, true);
    Label2 =
        MakeLabel(Panel1,
                  QStringLiteral(
                      "The author is not liable for any loses caused by the use of this software."),
                  {8, 124, 172, 26}, true);
    FitWrappedLabel(Comments, 1);
    FitWrappedLabel(Label2, 2);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setGeometry(111, 180, 75, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(); });
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
