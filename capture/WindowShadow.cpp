// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowShadow.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

namespace vantrel {

namespace {

// One box-blur pass along rows (stride 1) or columns (stride = width) of an alpha plane.
void boxBlur(std::vector<float>& plane, int width, int height, int radius, bool horizontal)
{
    const int lines = horizontal ? height : width;
    const int length = horizontal ? width : height;
    const int step = horizontal ? 1 : width;
    const float norm = 1.0f / float(2 * radius + 1);
    std::vector<float> line(length);
    for (int l = 0; l < lines; ++l) {
        float* base = plane.data() + (horizontal ? std::size_t(l) * width : std::size_t(l));
        for (int i = 0; i < length; ++i)
            line[i] = base[std::size_t(i) * step];
        float sum = 0;
        for (int i = -radius; i <= radius; ++i)
            sum += (i >= 0 && i < length) ? line[i] : 0.0f;
        for (int i = 0; i < length; ++i) {
            base[std::size_t(i) * step] = sum * norm;
            const int out = i - radius;
            const int in = i + radius + 1;
            if (out >= 0)
                sum -= line[out];
            if (in < length)
                sum += line[in];
        }
    }
}

} // namespace

int windowShadowMargin(qreal scale, const WindowShadowStyle& style)
{
    return int(std::ceil((style.blurRadius + style.offsetY) * scale));
}

QImage addWindowShadow(const QImage& window, qreal scale, const WindowShadowStyle& style)
{
    if (window.isNull())
        return window;
    const QImage source = window.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int margin = windowShadowMargin(scale, style);
    const int width = source.width() + 2 * margin;
    const int height = source.height() + 2 * margin;
    const int offset = int(std::round(style.offsetY * scale));

    std::vector<float> alpha(std::size_t(width) * height, 0.0f);
    for (int y = 0; y < source.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        float* target = alpha.data() + std::size_t(y + margin + offset) * width + margin;
        if (y + margin + offset >= height)
            break;
        for (int x = 0; x < source.width(); ++x)
            target[x] = float(qAlpha(row[x])) / 255.0f;
    }
    // Three box passes come close to a Gaussian whose reach is the blur radius.
    const int radius = std::max(1, int(std::round(style.blurRadius * scale / 3.0)));
    for (int pass = 0; pass < 3; ++pass) {
        boxBlur(alpha, width, height, radius, true);
        boxBlur(alpha, width, height, radius, false);
    }

    QImage result(width, height, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(result.scanLine(y));
        const float* a = alpha.data() + std::size_t(y) * width;
        for (int x = 0; x < width; ++x)
            row[x] = qRgba(0, 0, 0, std::clamp(int(std::lround(a[x] * style.opacity * 255.0f)), 0, 255));
    }
    QPainter painter(&result);
    painter.drawImage(margin, margin, source);
    painter.end();
    return result;
}

} // namespace vantrel
