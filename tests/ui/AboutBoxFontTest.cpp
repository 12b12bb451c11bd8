#include "ui/Unit2.h"

#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>
#include <string>
#include <vector>

// Run once for each font dpi the test is registered with (QT_FONT_DPI, the desktop's "larger
// fonts"): the About box's texts are neither cut nor overlapping.

namespace nomilo {
namespace {

std::string Named(const QLabel* label) {
    return label->text().isEmpty() ? "the icon" : label->text().left(20).toStdString();
}

// Where the label's text is drawn, in the panel's coordinates.
QRect TextRect(const QLabel* label) {
    const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
    const QRect inside = label->contentsRect();
    QRect text = label->text().isEmpty()
                     ? inside
                     : label->fontMetrics().boundingRect(inside, flags, label->text());
    return text.translated(label->pos());
}

TEST(AboutBoxAtTheFontDpi, NoTextIsCutOrOverlapsAnother) {
    TAboutBox box;
    const std::vector<QLabel*> labels = {box.ProgramIcon, box.ProductName, box.Label1, box.Version,
                                         box.Copyright,   box.Comments,    box.Label2};
    const QRect panelInside = box.Panel1->rect().adjusted(2, 2, -2, -2); // within the bevels
    for (std::size_t i = 0; i < labels.size(); ++i) {
        const QRect text = TextRect(labels[i]);
        // All of the text lies within its label, and the label within the panel.
        EXPECT_TRUE(labels[i]->geometry().contains(text)) << Named(labels[i]);
        EXPECT_TRUE(panelInside.contains(labels[i]->geometry())) << Named(labels[i]);
        for (std::size_t j = i + 1; j < labels.size(); ++j)
            EXPECT_FALSE(text.intersects(TextRect(labels[j])))
                << Named(labels[i]) << " overlaps " << Named(labels[j]);
    }
    EXPECT_EQ(box.Label2->heightForWidth(box.Label2->width()),
              2 * box.Label2->fontMetrics().height()); // the disclaimer's two lines
    const QRect inside = box.rect();
    EXPECT_TRUE(inside.contains(box.Panel1->geometry()));
    EXPECT_TRUE(inside.contains(box.OKButton->geometry()));
    EXPECT_FALSE(box.Panel1->geometry().intersects(box.OKButton->geometry()));
    const QRect caption = box.OKButton->fontMetrics().boundingRect(box.OKButton->text());
    EXPECT_LT(caption.width() + 8, box.OKButton->width());
    EXPECT_LT(caption.height() + 4, box.OKButton->height());

    if (box.logicalDpiY() == 96) {
        // At the font size the box was laid out for, it is as laid out.
        EXPECT_EQ(box.size(), QSize(298, 213));
        EXPECT_EQ(box.Panel1->geometry(), QRect(8, 8, 281, 161));
        EXPECT_EQ(box.OKButton->geometry(), QRect(111, 180, 75, 25));
        EXPECT_EQ(box.ProductName->pos(), QPoint(76, 16));
        EXPECT_EQ(box.Label1->pos(), QPoint(168, 16));
        EXPECT_EQ(box.Version->pos(), QPoint(136, 48));
        EXPECT_EQ(box.Copyright->pos(), QPoint(8, 80));
        EXPECT_EQ(box.Comments->pos(), QPoint(8, 104));
        EXPECT_EQ(box.Label2->pos(), QPoint(8, 124));
    } else {
        EXPECT_GT(box.width(), 298);
        EXPECT_GT(box.height(), 213);
    }
}

} // namespace
} // namespace nomilo
