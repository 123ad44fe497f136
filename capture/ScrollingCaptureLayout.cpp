// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScrollingCaptureLayout.h"

#include <algorithm>
#include <array>

namespace vantrel {

ScrollingCaptureLayout ScrollingCaptureLayout::place(const QRect& area, const QRect& visible)
{
    ScrollingCaptureLayout layout;
    layout.captured = area;
    const int areaBottom = area.y() + area.height(); // exclusive
    const int visibleBottom = visible.y() + visible.height();
    const int centred = area.x() + area.width() / 2 - panelWidth / 2;
    const int x = std::clamp(centred, visible.x(), std::max(visible.x(), visible.x() + visible.width() - panelWidth));
    int y = areaBottom + panelGap;
    if (y + panelHeight > visibleBottom)
        y = area.y() - panelGap - panelHeight;
    if (y < visible.y()) {
        y = areaBottom - panelGap - panelHeight;
        layout.panelInside = true;
        // The frames stop short of the panel, with room for the ring between them.
        const int capturedBottom = std::max(area.y() + 1, y - ringOutset - 3);
        layout.captured.setHeight(capturedBottom - area.y());
    }
    layout.panel = QRect(x, y, panelWidth, panelHeight);
    return layout;
}

QPoint keepOutside(const QRect& wanted, const QRect& keepOut)
{
    if (!wanted.intersects(keepOut))
        return wanted.topLeft();
    // Exclusive edges: how far the panel must travel to clear the ring on each side.
    const int left = (wanted.x() + wanted.width()) - keepOut.x();
    const int right = (keepOut.x() + keepOut.width()) - wanted.x();
    const int up = (wanted.y() + wanted.height()) - keepOut.y();
    const int down = (keepOut.y() + keepOut.height()) - wanted.y();
    const std::array<int, 4> distances {left, right, up, down};
    const auto nearest = std::min_element(distances.begin(), distances.end()) - distances.begin();
    switch (nearest) {
    case 0: return wanted.topLeft() - QPoint(left, 0);
    case 1: return wanted.topLeft() + QPoint(right, 0);
    case 2: return wanted.topLeft() - QPoint(0, up);
    default: return wanted.topLeft() + QPoint(0, down);
    }
}

} // namespace vantrel
