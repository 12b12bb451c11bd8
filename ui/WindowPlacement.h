#pragma once

#include <QRect>
#include <vector>

namespace nomilo {

// A window's outer bounds fitted onto the screens, as desktop programs place a window whose
// stored place came from a larger monitor, one that is gone, or a larger scale: the bounds go
// onto the available area (`areas`, one per screen, the primary screen's first) of the screen
// they overlap most, or of the primary screen when they overlap none. Bounds that lie within
// that area stay as they are; otherwise they move just enough to lie within it, and shrink to
// the area only in a direction where they do not fit. No areas: the bounds as they are.
QRect FittedOntoScreens(const QRect& outer, const std::vector<QRect>& areas);

// Whether the window system tells a window where it lies on the screen. A Wayland window is
// never told (it reads back a place of its own making), so its place is not worth keeping.
bool WindowSystemTellsWindowPlace();

} // namespace nomilo
