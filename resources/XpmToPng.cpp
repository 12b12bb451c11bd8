// Build tool: turns the icon drawings into PNG files for the desktop's icon theme, with the
// drawing's bottom-left colour made transparent as in the program itself.
//   nomilo_xpm_to_png IN.xpm OUT.png

#include <QImage>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s IN.xpm OUT.png\n", argv[0]);
        return 2;
    }
    QImage image(QString::fromLocal8Bit(argv[1]));
    if (image.isNull()) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    image = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = image.pixel(0, image.height() - 1);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == key)
                image.setPixel(x, y, qRgba(0, 0, 0, 0));
    return image.save(QString::fromLocal8Bit(argv[2]), "PNG") ? 0 : 1;
}
