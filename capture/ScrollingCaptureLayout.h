// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>

namespace vantrel {

// Where a scrolling capture's ring and panel go, in Qt's global coordinates (points, y down).
// Neither may ever lie on the pixels being captured: the frames are grabbed from the screen
// five times a second, and without a compositor nothing can be left out of a grab but by
// staying outside it.
struct ScrollingCaptureLayout
{
    static constexpr int panelWidth = 300;
    static constexpr int panelHeight = 44;
    static constexpr int panelGap = 12; // between the area and the panel
    static constexpr int ringOutset = 3; // the ring's outer edge, outside the captured rectangle
    static constexpr int ringWidth = 2;

    QRect captured; // the rectangle grabbed for every frame
    QRect panel;
    bool panelInside = false; // no room above or below: the panel sits in the area's bottom strip

    // Below the area, else above it, else inside it near its bottom; centred on the area and
    // kept within the visible frame sideways. `area` is the selection, `visible` the screen's
    // available geometry. When the panel has to sit inside, the strip of the area it occupies is
    // left out of the captured rectangle.
    static ScrollingCaptureLayout place(const QRect& area, const QRect& visible);

    // The ring's window rectangle: the captured rectangle grown by ringOutset on every side.
    QRect ringFrame() const { return captured.adjusted(-ringOutset, -ringOutset, ringOutset, ringOutset); }
};

// Where a panel dragged to `wanted` may go: the nearest place that does not overlap `keepOut`
// (the ring's rectangle), pushed out along the side it went in least.
QPoint keepOutside(const QRect& wanted, const QRect& keepOut);

} // namespace vantrel
