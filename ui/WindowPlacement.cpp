#include "ui/WindowPlacement.h"

#include <QGuiApplication>
#include <algorithm>
#include <cstdint>

namespace nomilo {

namespace {

std::int64_t OverlapArea(const QRect& a, const QRect& b) {
    const QRect overlap = a.intersected(b);
    return overlap.isEmpty() ? 0 : std::int64_t{overlap.width()} * overlap.height();
}

// The start and length of a span of `length` at `start` moved (and shortened) into the span of
// `areaLength` at `areaStart`.
std::pair<int, int> FittedSpan(int start, int length, int areaStart, int areaLength) {
    length = std::min(length, areaLength);
    start = std::clamp(start, areaStart, areaStart + areaLength - length);
    return {start, length};
}

} // namespace

QRect FittedOntoScreens(const QRect& outer, const std::vector<QRect>& areas) {
    if (areas.empty())
        return outer;
    const QRect* best = &areas.front();
    std::int64_t bestOverlap = 0;
    for (const QRect& area : areas) {
        const std::int64_t overlap = OverlapArea(outer, area);
        if (overlap > bestOverlap) {
            bestOverlap = overlap;
            best = &area;
        }
    }
    if (best->isEmpty())
        return outer;
    const auto [left, width] = FittedSpan(outer.left(), outer.width(), best->left(), best->width());
    const auto [top, height] = FittedSpan(outer.top(), outer.height(), best->top(), best->height());
    return QRect(left, top, width, height);
}

bool WindowSystemTellsWindowPlace() {
    // "wayland", "wayland-egl" and the like.
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace nomilo
