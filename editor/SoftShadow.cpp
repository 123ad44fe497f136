// SPDX-License-Identifier: GPL-3.0-or-later
#include "SoftShadow.h"

#include "ImageEffects.h"

#include <QPaintDevice>
#include <QPainter>

#include <cmath>
#include <cstdint>
#include <vector>

namespace vantrel {

void drawShadow(
    QPainter& painter, const QRectF& userBounds, const ShadowStyle& style, const std::function<void(QPainter&)>& paint)
{
    if (!style.color.isValid() || style.color.alpha() == 0 || userBounds.isEmpty() || !painter.device())
        return;
    const QTransform transform = painter.combinedTransform();
    const double scale = std::sqrt(std::abs(transform.determinant()));
    if (!(scale > 0))
        return;
    const double sigma = style.blur / 2 * scale;
    const int margin = static_cast<int>(std::ceil(3 * sigma)) + 2;
    const QPointF offset = transform.map(style.offset) - transform.map(QPointF(0, 0));

    // Only the part that can land on the device is worth a mask; the margin keeps the blur
    // right at the device edges.
    const QRect deviceRect(0, 0, painter.device()->width(), painter.device()->height());
    const QRect reach = deviceRect.translated(-offset.toPoint()).adjusted(-margin, -margin, margin, margin);
    const QRect area = transform.mapRect(userBounds).toAlignedRect().adjusted(-margin, -margin, margin, margin) & reach;
    if (area.isEmpty())
        return;

    QImage mask(area.size(), QImage::Format_ARGB32_Premultiplied);
    if (mask.isNull())
        return;
    mask.fill(Qt::transparent);
    {
        QPainter maskPainter(&mask);
        maskPainter.setRenderHints(painter.renderHints());
        maskPainter.setTransform(transform * QTransform::fromTranslate(-area.x(), -area.y()));
        paint(maskPainter);
    }

    const int w = area.width();
    const int h = area.height();
    std::vector<float> alpha(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(mask.constScanLine(y));
        for (int x = 0; x < w; ++x)
            alpha[y * w + x] = static_cast<float>(row[x] >> 24);
    }
    if (sigma > 0.2)
        effects::blurPlane(alpha.data(), w, h, 1, sigma);

    // Reuse the mask's pixels for the tinted shadow.
    const QColor color = style.color.toRgb();
    const float ca = static_cast<float>(color.alphaF());
    const float channels[4] = {static_cast<float>(color.blue()) * ca, static_cast<float>(color.green()) * ca,
        static_cast<float>(color.red()) * ca, 255.0f * ca};
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(mask.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const float a = std::clamp(alpha[y * w + x], 0.0f, 255.0f) / 255.0f;
            std::uint32_t pixel = 0;
            for (int c = 3; c >= 0; --c)
                pixel = (pixel << 8) | static_cast<std::uint32_t>(std::lround(channels[c] * a));
            row[x] = pixel;
        }
    }

    painter.save();
    painter.resetTransform();
    painter.drawImage(QPointF(area.topLeft()) + offset, mask);
    painter.restore();
}

} // namespace vantrel
