// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordingGeometry.h"

#include <algorithm>
#include <cmath>

namespace vantrel::recordinggeometry {

QSize pixelSize(const QSizeF& area, double scale)
{
    const auto even = [](double length) { return std::max(0, int(std::trunc(length)) & ~1); };
    return QSize(even(area.width() * scale), even(area.height() * scale));
}

bool isWholeScreen(const QSizeF& area, const QSizeF& screen)
{
    return area == screen;
}

QRectF clampedArea(const QRectF& area, const QSizeF& screen)
{
    return area.normalized() & QRectF(QPointF(0, 0), screen);
}

QRectF frameRect(const QRectF& screen, const QRectF& area)
{
    return area.translated(screen.topLeft()).adjusted(-frameOutset, -frameOutset, frameOutset, frameOutset);
}

QRectF barRect(const QRectF& screen, const QRectF& visible, const QRectF& area, double width)
{
    if (isWholeScreen(area.size(), screen.size()))
        return QRectF(
            visible.center().x() - width / 2, visible.bottom() - barBottomInset - barHeight, width, barHeight);
    const double x = screen.left() + area.center().x() - width / 2;
    const double areaBottom = screen.top() + area.bottom();
    double top = areaBottom + barGap;
    if (top + barHeight > visible.bottom() - barScreenMargin)
        top = areaBottom - barGap - barHeight;
    return QRectF(x, top, width, barHeight);
}

QString elapsedLabel(double seconds)
{
    const long long whole = seconds > 0 ? static_cast<long long>(std::trunc(seconds)) : 0;
    const long long minutes = whole / 60;
    return QString::asprintf("\u25CF REC  %lld:%02lld", minutes, whole - minutes * 60);
}

} // namespace vantrel::recordinggeometry
