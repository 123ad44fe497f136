// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QColor>
#include <QPointF>
#include <QRectF>

#include <functional>

class QPainter;

namespace vantrel {

// A drop shadow as drawing programs define it: the shape's alpha, blurred, tinted and moved.
struct ShadowStyle
{
    QPointF offset; // user-space pixels, y down: positive y falls below the shape
    double blur = 0; // blur radius in user-space pixels; the Gaussian's sigma is half of it
    QColor color;
};

// Draws the shadow that `paint` casts and nothing else; the caller draws the shape afterwards.
// `paint` is run once into a private mask with the painter's transform, so the shadow scales
// with the view like the shape. `userBounds` must contain everything `paint` draws.
// A non-empty `cacheKey` names what `paint` draws (in user space): shadows are kept per key and
// device transform, so repainting an unchanged annotation costs one image blend.
void drawShadow(QPainter& painter, const QRectF& userBounds, const ShadowStyle& style,
    const std::function<void(QPainter&)>& paint, const QByteArray& cacheKey = {});

} // namespace vantrel
