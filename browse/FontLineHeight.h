#pragma once

#include <QFont>

namespace nomilo {

// The character cell height of `font` on the screen. The item height of the browsing controls
// follows it.
int FontLineHeight(const QFont& font);

} // namespace nomilo
