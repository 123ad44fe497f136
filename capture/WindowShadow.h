// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>

namespace vantrel {

// The soft drop shadow that window captures carry, in points; X11 draws none of its own.
struct WindowShadowStyle
{
    qreal blurRadius = 18.0; // how far the shadow fades out
    qreal offsetY = 6.0; // downwards
    qreal opacity = 0.45;
};

// Margin (pixels) that the shadow adds on every side of a window picture at `scale`.
int windowShadowMargin(qreal scale, const WindowShadowStyle& style = {});

// The window picture centred in a transparent margin, over a blurred shadow of its own shape.
// Alpha is kept: the window's transparent parts cast no shadow.
QImage addWindowShadow(const QImage& window, qreal scale, const WindowShadowStyle& style = {});

} // namespace vantrel
