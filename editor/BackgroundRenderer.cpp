// SPDX-License-Identifier: GPL-3.0-or-later
#include "BackgroundRenderer.h"

#include "ImageBuffers.h"
#include "ImageEffects.h"
#include "SoftShadow.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <cstdint>
#include <mutex>

namespace vantrel {

void drawGradient(QPainter& painter, const QRectF& rect, const QList<QColor>& colors, double angle)
{
    if (colors.isEmpty() || rect.isEmpty())
        return;
    if (colors.size() == 1) {
        painter.fillRect(rect, colors.front());
        return;
    }
    const double radians = angle * M_PI / 180.0;
    const double length = std::max(rect.width(), rect.height());
    const QPointF axis(std::cos(radians) * length / 2, std::sin(radians) * length / 2);
    QLinearGradient gradient(rect.center() - axis, rect.center() + axis);
    gradient.setSpread(QGradient::PadSpread);
    for (qsizetype i = 0; i < colors.size(); ++i)
        gradient.setColorAt(double(i) / double(colors.size() - 1), colors[i]);
    painter.fillRect(rect, gradient);
}

std::optional<BackgroundShadow> backgroundShadow(const BackgroundSettings& settings)
{
    if (!(settings.shadow > 0))
        return std::nullopt;
    return BackgroundShadow {settings.shadow * 0.35 + 0.25, QPointF(0, settings.padding * 0.12),
        settings.shadow * settings.padding * 0.6 + 6};
}

namespace {

double clampedRadius(double radius, const QRectF& rect)
{
    return std::max(0.0, std::min({radius, rect.width() / 2, rect.height() / 2}));
}

// The shadow of the content's rounded rectangle in device pixels, with the rectangle itself cut
// out. It is the same for every repaint of an unchanged layout, so the last few are kept.
struct ShadowKey
{
    QRectF deviceCanvas;
    qint64 preset;
    QRectF deviceContent;
    double deviceRadius;
    double sigma;
    double alpha;
    QPointF deviceOffset;
    QRect deviceClip;

    bool operator==(const ShadowKey&) const = default;
};

struct ShadowLayer
{
    QImage image;
    QPoint origin;
};

ShadowLayer makeShadowLayer(const ShadowKey& key)
{
    const int margin = static_cast<int>(std::ceil(3.5 * key.sigma)) + 2;
    const QRect maskRect = key.deviceContent.toAlignedRect().adjusted(-margin, -margin, margin, margin);
    // The visible shadow: the mask moved by the offset, limited to the device.
    const QRect shadowRect = maskRect.translated(key.deviceOffset.toPoint()) & key.deviceClip;
    if (shadowRect.isEmpty())
        return {};

    QPainterPath content;
    content.addRoundedRect(key.deviceContent, key.deviceRadius, key.deviceRadius);

    QImage mask(maskRect.size(), QImage::Format_ARGB32_Premultiplied);
    QImage cutout(shadowRect.size(), QImage::Format_ARGB32_Premultiplied);
    if (mask.isNull() || cutout.isNull())
        return {};
    mask.fill(Qt::transparent);
    cutout.fill(Qt::transparent);
    {
        QPainter p(&mask);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(-maskRect.topLeft());
        p.fillPath(content, Qt::white);
    }
    {
        QPainter p(&cutout);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(-shadowRect.topLeft());
        p.fillPath(content, Qt::white);
    }
    const QImage blurred = effects::gaussianBlur(mask, key.sigma);
    if (blurred.isNull())
        return {};

    QImage layer = imagebuffers::allocate(shadowRect.width(), shadowRect.height(), QImage::Format_ARGB32_Premultiplied);
    if (layer.isNull())
        return {};
    const QPoint shift = shadowRect.topLeft() - key.deviceOffset.toPoint() - maskRect.topLeft();
    const float alpha = static_cast<float>(key.alpha);
    for (int y = 0; y < shadowRect.height(); ++y) {
        auto* out = reinterpret_cast<std::uint32_t*>(layer.scanLine(y));
        const auto* cut = reinterpret_cast<const std::uint32_t*>(cutout.constScanLine(y));
        const int my = y + shift.y();
        const auto* source = my >= 0 && my < blurred.height()
            ? reinterpret_cast<const std::uint32_t*>(blurred.constScanLine(my))
            : nullptr;
        for (int x = 0; x < shadowRect.width(); ++x) {
            const int mx = x + shift.x();
            const float cover = source && mx >= 0 && mx < blurred.width() ? float(source[mx] >> 24) : 0.0f;
            const float outside = 1.0f - float(cut[x] >> 24) / 255.0f;
            const auto a = static_cast<std::uint32_t>(std::lround(cover * alpha * outside));
            out[x] = a << 24; // black, premultiplied
        }
    }
    return {layer, shadowRect.topLeft()};
}

// The whole background at device resolution: the gradient with the shadow blended in. Drawing
// it again is one image blend, where the gradient alone costs tens of milliseconds at 4K.
ShadowLayer makeBackgroundLayer(const ShadowKey& key)
{
    const QRect area = key.deviceClip;
    // When the canvas covers whole device pixels the layer is opaque, and an opaque image is
    // drawn by plain copying.
    const bool opaque = QRectF(area) == key.deviceCanvas;
    QImage layer = imagebuffers::allocate(
        area.width(), area.height(), opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    if (layer.isNull())
        return {};
    layer.fill(opaque ? Qt::black : Qt::transparent);
    QPainter painter(&layer);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.save();
    const QSizeF scale(key.deviceCanvas.width(), key.deviceCanvas.height());
    painter.translate(key.deviceCanvas.topLeft() - QPointF(area.topLeft()));
    const BackgroundPreset& preset = presetFor(key.preset);
    drawGradient(painter, QRectF(QPointF(0, 0), scale), preset.colors, preset.angle);
    painter.restore();
    if (key.alpha > 0 && key.sigma > 0) {
        const ShadowLayer shadow = makeShadowLayer(key);
        if (!shadow.image.isNull())
            painter.drawImage(shadow.origin - area.topLeft(), shadow.image);
    }
    painter.end();
    return {layer, area.topLeft()};
}

ShadowLayer cachedShadowLayer(const ShadowKey& key)
{
    static std::mutex mutex;
    static std::vector<std::pair<ShadowKey, ShadowLayer>> cache;
    {
        std::lock_guard lock(mutex);
        for (const auto& [k, layer] : cache) {
            if (k == key)
                return layer;
        }
    }
    ShadowLayer layer = makeBackgroundLayer(key);
    std::lock_guard lock(mutex);
    // The canvas at view scale and the export at full size alternate; keep both.
    if (cache.size() >= 2)
        cache.erase(cache.begin());
    cache.emplace_back(key, layer);
    return layer;
}

} // namespace

void drawBackground(
    QPainter& painter, const BackgroundSettings& settings, const QSizeF& canvasSize, const QRectF& contentRect)
{
    const BackgroundPreset& preset = presetFor(settings.presetID);
    const std::optional<BackgroundShadow> shadow = backgroundShadow(settings);
    const QTransform transform = painter.combinedTransform();
    const double scale = std::sqrt(std::abs(transform.determinant()));
    const double radius = clampedRadius(settings.cornerRadius, contentRect);

    if (!painter.device() || !(scale > 0) || !transform.isAffine() || transform.isRotating()) {
        // Unusual views get the general drawing; the usual scale-and-move ones the cached layer.
        drawGradient(painter, QRectF(QPointF(0, 0), canvasSize), preset.colors, preset.angle);
        if (!shadow || contentRect.isEmpty())
            return;
        painter.save();
        QPainterPath outside;
        outside.addRect(QRectF(QPointF(0, 0), canvasSize));
        outside.addRoundedRect(contentRect, radius, radius);
        painter.setClipPath(outside, painter.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
        QColor color(Qt::black);
        color.setAlphaF(std::clamp(shadow->alpha, 0.0, 1.0));
        drawShadow(painter, contentRect, {shadow->offset, shadow->blur, color}, [&](QPainter& p) {
            QPainterPath path;
            path.addRoundedRect(contentRect, radius, radius);
            p.fillPath(path, Qt::black);
        });
        painter.restore();
        return;
    }

    const QRectF canvasDevice = transform.mapRect(QRectF(QPointF(0, 0), canvasSize));
    const QRect deviceClip
        = canvasDevice.toAlignedRect() & QRect(0, 0, painter.device()->width(), painter.device()->height());
    if (deviceClip.isEmpty())
        return;
    const ShadowKey key {canvasDevice, ((settings.presetID % 20) + 20) % 20, transform.mapRect(contentRect),
        radius * scale, shadow ? shadow->blur / 2 * scale : 0.0, shadow ? std::clamp(shadow->alpha, 0.0, 1.0) : 0.0,
        shadow ? transform.map(shadow->offset) - transform.map(QPointF(0, 0)) : QPointF(), deviceClip};
    const ShadowLayer layer = cachedShadowLayer(key);
    if (layer.image.isNull()) {
        drawGradient(painter, QRectF(QPointF(0, 0), canvasSize), preset.colors, preset.angle);
        return;
    }
    painter.save();
    painter.resetTransform();
    painter.drawImage(layer.origin, layer.image);
    painter.restore();
}

QImage applyBackground(const BackgroundSettings& settings, const QImage& image)
{
    if (image.isNull())
        return image;
    const CanvasLayout layout = canvasLayout(settings, image.size());
    QImage canvas = imagebuffers::allocate(layout.width, layout.height, QImage::Format_ARGB32_Premultiplied);
    if (canvas.isNull())
        return image;
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    {
        // A y-up frame: the gradient's angle is measured with y pointing up.
        painter.save();
        painter.translate(0, layout.height);
        painter.scale(1, -1);
        const BackgroundPreset& preset = presetFor(settings.presetID);
        drawGradient(painter, QRectF(0, 0, layout.width, layout.height), preset.colors, preset.angle);
        painter.restore();
    }
    painter.drawImage(QPoint(layout.contentX, layout.contentY), image);
    painter.end();
    return canvas;
}

} // namespace vantrel
