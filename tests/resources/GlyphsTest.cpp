#include "resources/Glyphs.h"

#include <QImage>
#include <QSet>
#include <gtest/gtest.h>

namespace nomilo {
namespace {

// Every glyph and both sizes of the program icon: the designed size, drawn in the sixteen
// classic colours, exactly the pixels of the bottom-left colour transparent, and enough of a
// drawing left to be seen, each kind of entry with a drawing of its own.
TEST(Glyphs, EveryDrawingLoadsWithItsSizePaletteAndTransparency) {
    const QSet<QRgb> palette{
        qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
        qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
        qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
        qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};
    const struct {
        QString file;
        QSize size;
        QImage loaded;
    } drawings[] = {
        {":/glyphs/EXECUTABLE.xpm", {16, 15}, LoadGlyph("EXECUTABLE").toImage()},
        {":/glyphs/UNKNOWNFILE.xpm", {16, 15}, LoadGlyph("UNKNOWNFILE").toImage()},
        {":/glyphs/CLOSEDFOLDER.xpm", {16, 15}, LoadGlyph("CLOSEDFOLDER").toImage()},
        {":/glyphs/OPENFOLDER.xpm", {16, 15}, LoadGlyph("OPENFOLDER").toImage()},
        {":/glyphs/CURRENTFOLDER.xpm", {16, 15}, LoadGlyph("CURRENTFOLDER").toImage()},
        {":/glyphs/FLOPPY.xpm", {16, 11}, LoadGlyph("FLOPPY").toImage()},
        {":/glyphs/HARD.xpm", {16, 11}, LoadGlyph("HARD").toImage()},
        {":/glyphs/NETWORK.xpm", {16, 11}, LoadGlyph("NETWORK").toImage()},
        {":/glyphs/CDROM.xpm", {16, 11}, LoadGlyph("CDROM").toImage()},
        {":/glyphs/RAM.xpm", {16, 11}, LoadGlyph("RAM").toImage()},
        {":/icons/nomilo-16.xpm", {16, 16}, ProgramIcon().pixmap(16, 16).toImage()},
        {":/icons/nomilo-32.xpm", {32, 32}, ProgramIcon().pixmap(32, 32).toImage()},
    };
    QList<QImage> seen;
    for (const auto& [file, size, loaded] : drawings) {
        SCOPED_TRACE(file.toStdString());
        const QImage drawing(file);
        ASSERT_EQ(drawing.size(), size);
        ASSERT_EQ(loaded.size(), size);
        EXPECT_FALSE(seen.contains(loaded));
        seen.append(loaded);
        const QRgb key = drawing.pixel(0, size.height() - 1);
        QSet<QRgb> colours;
        int transparent = 0;
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x) {
                const QRgb source = drawing.pixel(x, y), shown = loaded.pixel(x, y);
                colours.insert(source);
                transparent += qAlpha(shown) == 0;
                ASSERT_TRUE(palette.contains(source | 0xFF000000)) << x << "," << y;
                ASSERT_EQ(qAlpha(shown) == 0, source == key) << x << "," << y;
                if (qAlpha(shown) != 0) {
                    ASSERT_EQ(shown | 0xFF000000, source | 0xFF000000) << x << "," << y;
                }
            }
        // At least a quarter of the area is drawing, with an outline and a fill.
        EXPECT_GE(size.width() * size.height() - transparent, size.width() * size.height() / 4);
        EXPECT_GE(colours.size(), 3);
    }
    for (const char* name : {"NOSUCHGLYPH", "", "nomilo-16", "CLOSEDFOLDER.xpm"})
        EXPECT_TRUE(LoadGlyph(name).isNull()) << name;
}

} // namespace
} // namespace nomilo
