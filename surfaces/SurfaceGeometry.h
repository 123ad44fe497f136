// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SettingsTypes.h"

#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <vector>

// Where thumbnails and pins go and how big they are. Everything is in points (Qt's
// device-independent pixels) in global desktop coordinates, y down.
namespace vantrel {

// Margins of the thumbnail stack: from the visible frame's edges, between thumbnails, and the
// space kept free at the top of the visible frame.
inline constexpr double stackMargin = 16;
inline constexpr double stackGap = 12;
inline constexpr double stackTopLimit = 60;

// The thumbnail of a picture of `picture` points (only its proportions count) for the
// `overlaySize` setting S: S wide, at most 1.1 × S high, grown to at least 170 × 110, and never
// wider or higher than 1.6 × S. A picture without width or height counts as 0.6 high per unit
// of width.
QSizeF thumbnailSize(const QSizeF& picture, double overlaySize);

// Top-left corners of thumbnails of `sizes` (newest first) stacked upwards from the bottom
// corner of `visible` on the side of `corner`. The result is shorter than `sizes` when the
// older ones no longer fit below the top limit; those keep wherever they were.
std::vector<QPointF> stackedOrigins(const QRectF& visible, const std::vector<QSizeF>& sizes, OverlayCorner corner);

// Limits of a pin's width while zooming, in points.
inline constexpr double pinMinimumWidth = 40;
inline constexpr double pinMaximumWidth = 6000;

// A picture of `points` shrunk, when needed, into 60 % of the `visible` size: first to the
// width, then to the height, keeping `aspect` (height ÷ width).
QSizeF pinFitSize(const QSizeF& points, double aspect, const QSizeF& visible);

// `frame` zoomed by `factor` about its centre: the width limited to 40…6000 points and the
// height always `aspect` × width.
QRectF zoomedPinFrame(const QRectF& frame, double factor, double aspect);

} // namespace vantrel
