// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BackgroundSettings.h"

#include <QImage>
#include <QRectF>

class QPainter;

namespace vantrel {

// A linear gradient through `colors` (evenly spaced stops) across `rect`, along `angle` degrees
// measured in the painter's coordinates, extended past both ends; one colour fills flat. In a
// y-down painter 135° runs from the top-right corner (first colour) to the bottom-left.
void drawGradient(QPainter& painter, const QRectF& rect, const QList<QColor>& colors, double angle);

// The background of a y-down canvas of `canvasSize` with the image at `contentRect`: the
// preset's gradient and the image's soft shadow. The caller then draws the image clipped to the
// rounded content rectangle. The shadow falls only outside that rectangle, so transparent
// parts of the image show the gradient.
void drawBackground(
    QPainter& painter, const BackgroundSettings& settings, const QSizeF& canvasSize, const QRectF& contentRect);

// The shadow parameters drawBackground uses: alpha shadow × 0.35 + 0.25, offset (0, padding ×
// 0.12) and blur shadow × padding × 0.6 + 6 (all pixels).
struct BackgroundShadow
{
    double alpha;
    QPointF offset;
    double blur;
};
std::optional<BackgroundShadow> backgroundShadow(const BackgroundSettings& settings);

// A new image with the background composed around `image` (window captures): gradient and the
// image unscaled at the content offset; no rounded corners and no shadow. The gradient is laid
// out in y-up coordinates, so it runs from the bottom-right to the top-left. The input comes back
// unchanged when the canvas cannot be made.
QImage applyBackground(const BackgroundSettings& settings, const QImage& image);

} // namespace vantrel
