// SPDX-License-Identifier: GPL-3.0-or-later
#include "SoftShadow.h"

#include "ImageEffects.h"

#include <QPaintDevice>
#include <QPainter>

#include <cmath>
#include <cstdint>
#include <list>
#include <mutex>
#include <optional>
#include <vector>

namespace vantrel {

namespace {

struct CachedShadow
{
    QByteArray key;
    QImage image;
    QPointF origin; // device pixels
};

// Most recently used last; bounded by total pixels.
std::mutex cacheMutex;
std::list<CachedShadow> cache;
constexpr qsizetype cacheLimit = qsizetype(48) << 20; // bytes

qsizetype cacheBytes()
{
    qsizetype total = 0;
    for (const CachedShadow& entry : cache)
        total += entry.image.sizeInBytes();
    return total;
}

std::optional<CachedShadow> lookup(const QByteArray& key)
{
    std::lock_guard lock(cacheMutex);
    for (auto it = cache.begin(); it != cache.end(); ++it) {
        if (it->key == key) {
            cache.splice(cache.end(), cache, it);
            return cache.back();
        }
    }
    return std::nullopt;
}

void remember(CachedShadow entry)
{
    std::lock_guard lock(cacheMutex);
    cache.push_back(std::move(entry));
    while (cache.size() > 1 && cacheBytes() > cacheLimit)
        cache.pop_front();
}

} // namespace

void drawShadow(QPainter& painter, const QRectF& userBounds, const ShadowStyle& style,
    const std::function<void(QPainter&)>& paint, const QByteArray& cacheKey)
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

    QByteArray key;
    if (!cacheKey.isEmpty()) {
        key = cacheKey;
        const double parts[] = {transform.m11(), transform.m12(), transform.m21(), transform.m22(), transform.dx(),
            transform.dy(), style.offset.x(), style.offset.y(), style.blur, double(painter.device()->width()),
            double(painter.device()->height())};
        key.append(reinterpret_cast<const char*>(parts), sizeof parts);
        const QRgb rgba = style.color.rgba();
        key.append(reinterpret_cast<const char*>(&rgba), sizeof rgba);
        if (const std::optional<CachedShadow> hit = lookup(key)) {
            painter.save();
            painter.resetTransform();
            painter.drawImage(hit->origin, hit->image);
            painter.restore();
            return;
        }
    }

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

    // Reuse the mask's pixels for the tinted shadow: the premultiplied colour scaled by the
    // blurred coverage, in 8.8 fixed point.
    const QRgb premultiplied = qPremultiply(style.color.rgba());
    const std::uint32_t channels[4] = {std::uint32_t(qBlue(premultiplied)), std::uint32_t(qGreen(premultiplied)),
        std::uint32_t(qRed(premultiplied)), std::uint32_t(qAlpha(premultiplied))};
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(mask.scanLine(y));
        const float* coverage = alpha.data() + static_cast<std::size_t>(y) * w;
        for (int x = 0; x < w; ++x) {
            const auto a = static_cast<std::uint32_t>(std::clamp(coverage[x], 0.0f, 255.0f) * (256.0f / 255.0f) + 0.5f);
            row[x] = ((channels[3] * a >> 8) << 24) | ((channels[2] * a >> 8) << 16) | ((channels[1] * a >> 8) << 8)
                | (channels[0] * a >> 8);
        }
    }

    const QPointF origin = QPointF(area.topLeft()) + offset;
    painter.save();
    painter.resetTransform();
    painter.drawImage(origin, mask);
    painter.restore();
    if (!key.isEmpty())
        remember({key, mask, origin});
}

} // namespace vantrel
