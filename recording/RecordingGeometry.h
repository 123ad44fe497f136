// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRectF>
#include <QSize>
#include <QString>

namespace vantrel {

// Where the recorder's windows go and what size the movie has. Rectangles are in points, y down:
// `screen` and `visible` (the screen without panels) in global coordinates, `area` relative to
// the screen's top-left corner.
namespace recordinggeometry {

inline constexpr double frameOutset = 3.0; // the red frame lies this far outside the area
inline constexpr double barHeight = 36.0;
inline constexpr double barGap = 12.0; // between the area's bottom edge and the bar
inline constexpr double barBottomInset = 20.0; // whole-screen recordings: above the visible bottom
inline constexpr double barScreenMargin = 8.0; // the bar never comes closer to the visible bottom

// The area in pixels at `scale` (pixels per point): each side truncated, then rounded down to an
// even number, as H.264 in 4:2:0 needs. 301 × 201 points at scale 1 give 300 × 200.
QSize pixelSize(const QSizeF& area, double scale);

// A recording of the whole screen has no red frame and its bar at the bottom of the screen.
bool isWholeScreen(const QSizeF& area, const QSizeF& screen);

// The part of `area` that lies on a screen of `screen` size.
QRectF clampedArea(const QRectF& area, const QSizeF& screen);

// The red frame's window: the area in global points, grown on every side.
QRectF frameRect(const QRectF& screen, const QRectF& area);

// The control bar of width `width`: centred under the area, 12 points below it, or just inside
// its bottom edge when that would come within 8 points of the visible bottom; for a whole
// screen, centred 20 points above the visible bottom.
QRectF barRect(const QRectF& screen, const QRectF& visible, const QRectF& area, double width);

// "● REC  %d:%02d" of the whole seconds, e.g. "● REC  12:30".
QString elapsedLabel(double seconds);

} // namespace recordinggeometry

} // namespace vantrel
