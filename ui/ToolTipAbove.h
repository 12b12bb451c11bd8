#pragma once

class QWidget;

namespace nomilo {

// Opens the tooltips of `control` above it instead of below the pointer; one that does not fit
// above stays where the toolkit puts it. The find and replace fields lie right above the tool
// bar, and their tooltips, long with help and with the reason a text renames nothing, opened
// over the Rename button and the switches: a click there only closed the tooltip.
void OpenToolTipsAbove(QWidget& control);

} // namespace nomilo
