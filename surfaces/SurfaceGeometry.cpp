// SPDX-License-Identifier: GPL-3.0-or-later
#include "SurfaceGeometry.h"

#include <algorithm>

namespace vantrel {

QSizeF thumbnailSize(const QSizeF& picture, double overlaySize)
{
    const double s = overlaySize;
    // A zero height would make the growth factor infinite; such a picture is drawn as nothing
    // anyway, so it gets the same placeholder shape as one without width.
    const double a = picture.width() > 0 && picture.height() > 0 ? picture.height() / picture.width() : 0.6;
    double w = s;
    double h = s * a;
    if (h > 1.1 * s) {
        h = 1.1 * s;
        w = 1.1 * s / std::max(a, 0.01);
    }
    const double k = std::max({1.0, 170.0 / w, 110.0 / h});
    if (w * k > 1.6 * s)
        return QSizeF(1.6 * s, 1.6 * s * a);
    // Growing a very tall picture to the minimum width would make it taller than the screen (a
    // long scrolling capture); the height has the same cap as the width.
    if (h * k > 1.6 * s)
        return QSizeF(1.6 * s / a, 1.6 * s);
    return QSizeF(w * k, h * k);
}

std::vector<QPointF> stackedOrigins(const QRectF& visible, const std::vector<QSizeF>& sizes, OverlayCorner corner)
{
    std::vector<QPointF> origins;
    double fromBottom = stackMargin; // distance of the next thumbnail's bottom edge above the frame's
    for (const QSizeF& size : sizes) {
        const double x = corner == OverlayCorner::right ? visible.right() - size.width() - stackMargin
                                                        : visible.left() + stackMargin;
        origins.emplace_back(x, visible.bottom() - fromBottom - size.height());
        fromBottom += size.height() + stackGap;
        if (fromBottom > visible.height() - stackTopLimit)
            break;
    }
    return origins;
}

QSizeF pinFitSize(const QSizeF& points, double aspect, const QSizeF& visible)
{
    double w = points.width();
    double h = points.height();
    if (w > 0.6 * visible.width()) {
        w = 0.6 * visible.width();
        h = w * aspect;
    }
    if (h > 0.6 * visible.height()) {
        h = 0.6 * visible.height();
        w = aspect > 0 ? h / aspect : w;
    }
    return QSizeF(w, h);
}

QRectF zoomedPinFrame(const QRectF& frame, double factor, double aspect)
{
    const double width = std::clamp(frame.width() * factor, pinMinimumWidth, pinMaximumWidth);
    QRectF zoomed(0, 0, width, width * aspect);
    zoomed.moveCenter(frame.center());
    return zoomed;
}

} // namespace vantrel
