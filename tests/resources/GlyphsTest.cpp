#include "resources/Glyphs.h"

#include <QImage>
#include <QSet>
#include <gtest/gtest.h>

namespace nomilo {
namespace {

// The sixteen colours the drawings are made of.
const QSet<QRgb>& ClassicPalette() {
    static const QSet<QRgb> palette{
        qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
        qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
        qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
        qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};
    return palette;
}

// The colour of a pixel, whatever its transparency.
QRgb Colour(QRgb pixel) {
    return qRgb(qRed(pixel), qGreen(pixel), qBlue(pixel));
}

// Checks one loaded image against its drawing as stored in the resources: the designed size,
// at most 16 palette colours, exactly the pixels of the bottom-left colour transparent, and
// enough of a drawing left to be seen on a list row.
void ExpectDrawnImage(const QImage& loaded, const QImage& drawing, QSize size,
                      const QString& what) {
    SCOPED_TRACE(what.toStdString());
    ASSERT_FALSE(drawing.isNull());
    ASSERT_EQ(drawing.size(), size);
    ASSERT_EQ(loaded.size(), size);

    const QRgb key = drawing.pixel(0, size.height() - 1);
    QSet<QRgb> colours;
    int keyPixels = 0, transparent = 0;
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const QRgb source = drawing.pixel(x, y);
            const QRgb shown = loaded.pixel(x, y);
            colours.insert(source);
            EXPECT_TRUE(ClassicPalette().contains(Colour(source))) << "pixel " << x << "," << y;
            const bool isKey = source == key;
            const bool clear = qAlpha(shown) == 0;
            keyPixels += isKey;
            transparent += clear;
            EXPECT_EQ(clear, isKey) << "pixel " << x << "," << y;
            if (!clear) {
                EXPECT_EQ(Colour(shown), Colour(source)) << "pixel " << x << "," << y;
            }
        }
    }
    EXPECT_LE(colours.size(), 16);
    EXPECT_EQ(qAlpha(loaded.pixel(0, size.height() - 1)), 0);
    EXPECT_EQ(transparent, keyPixels);
    // At least a quarter of the area is drawing, and it has an outline and a fill.
    const int area = size.width() * size.height();
    EXPECT_GE(area - transparent, area / 4);
    EXPECT_GE(colours.size(), 3);
}

TEST(Glyphs, EveryGlyphLoadsWithItsDesignedSizeAndTransparency) {
    const struct {
        const char* name;
        QSize size;
    } glyphs[] = {
        {"EXECUTABLE", {16, 15}}, {"UNKNOWNFILE", {16, 15}},   {"CLOSEDFOLDER", {16, 15}},
        {"OPENFOLDER", {16, 15}}, {"CURRENTFOLDER", {16, 15}}, {"FLOPPY", {16, 11}},
        {"HARD", {16, 11}},       {"NETWORK", {16, 11}},       {"CDROM", {16, 11}},
        {"RAM", {16, 11}},
    };
    QList<QImage> drawn;
    for (const auto& glyph : glyphs) {
        const QString name = QString::fromLatin1(glyph.name);
        const QPixmap pixmap = LoadGlyph(name);
        ASSERT_FALSE(pixmap.isNull()) << glyph.name;
        ExpectDrawnImage(pixmap.toImage(), QImage(QStringLiteral(":/glyphs/%1.xpm").arg(name)),
                         glyph.size, name);
        // Each kind of entry has a drawing of its own.
        EXPECT_FALSE(drawn.contains(pixmap.toImage())) << glyph.name << " repeats a drawing";
        drawn.append(pixmap.toImage());
    }
}

TEST(Glyphs, AnUnknownNameGivesANullPixmap) {
    for (const char* name : {"NOSUCHGLYPH", "", "nomilo-16", "CLOSEDFOLDER.xpm"})
        EXPECT_TRUE(LoadGlyph(QString::fromLatin1(name)).isNull()) << name;
}

TEST(ProgramIcon, HasBothSizesDrawnInThePalette) {
    const QIcon icon = ProgramIcon();
    ASSERT_FALSE(icon.isNull());
    const QList<QSize> sizes = icon.availableSizes();
    for (int side : {16, 32}) {
        const QSize size(side, side);
        EXPECT_TRUE(sizes.contains(size)) << side;
        ExpectDrawnImage(icon.pixmap(size).toImage(),
                         QImage(QStringLiteral(":/icons/nomilo-%1.xpm").arg(side)), size,
                         QStringLiteral("nomilo-%1").arg(side));
    }
}

} // namespace
} // namespace nomilo
