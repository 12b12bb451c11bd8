#include "browse/FontLineHeight.h"

#include <QFontMetrics>

namespace nomilo {

int FontLineHeight(const QFont& font) {
    return QFontMetrics(font).height();
}

} // namespace nomilo
