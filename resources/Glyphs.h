#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace nomilo {

// The glyph `name` ("EXECUTABLE", "CLOSEDFOLDER", "HARD", ...) from the program's resources,
// with every pixel of the colour of its bottom-left pixel transparent. A null pixmap when the
// program has no such glyph.
QPixmap LoadGlyph(const QString& name);

// The program icon, 16 x 16 and 32 x 32.
QIcon ProgramIcon();

} // namespace nomilo
