#include "resources/Glyphs.h"

#include <QBitmap>
#include <QImage>

namespace nomilo {

namespace {

// The drawings mark their transparent colour by the bottom-left pixel.
QPixmap WithBottomLeftTransparent(const QImage& image) {
    if (image.isNull())
        return {};
    QPixmap pixmap = QPixmap::fromImage(image);
    const QRgb key = image.pixel(0, image.height() - 1);
    pixmap.setMask(QBitmap::fromImage(image.createMaskFromColor(key, Qt::MaskInColor)));
    return pixmap;
}

} // namespace

QPixmap LoadGlyph(const QString& name) {
    return WithBottomLeftTransparent(QImage(QStringLiteral(":/glyphs/%1.xpm").arg(name)));
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 32})
        icon.addPixmap(WithBottomLeftTransparent(
            QImage(QStringLiteral(":/icons/nomilo-%1.xpm").arg(size))));
    return icon;
}

} // namespace nomilo
