// SPDX-License-Identifier: GPL-3.0-or-later
#include "ThumbnailPicture.h"

#include "CaptureItem.h"

#include <QColorSpace>

#include <algorithm>

namespace vantrel {

namespace {

constexpr int opaqueAlpha = 240; // alpha above this counts as the window, below as its shadow

} // namespace

std::optional<QRect> opaquePixelBounds(const QImage& image)
{
    if (image.isNull() || !image.hasAlphaChannel())
        return std::nullopt;
    // Alpha is read straight from 32-bit pixels (premultiplying keeps it as it is); other formats
    // are converted once.
    const QImage pixels
        = image.format() == QImage::Format_ARGB32 || image.format() == QImage::Format_ARGB32_Premultiplied
        ? image
        : image.convertToFormat(QImage::Format_ARGB32);
    const int w = pixels.width();
    const int h = pixels.height();
    const auto row = [&](int y) { return reinterpret_cast<const QRgb*>(pixels.constScanLine(y)); };
    const auto opaque = [](QRgb pixel) { return qAlpha(pixel) > opaqueAlpha; };
    const auto rowHasOpaque = [&](int y) { return std::any_of(row(y), row(y) + w, opaque); };

    int top = 0;
    while (top < h && !rowHasOpaque(top))
        ++top;
    if (top == h)
        return std::nullopt;
    int bottom = h - 1;
    while (!rowHasOpaque(bottom))
        --bottom;

    // Each row only needs looking at outside the columns already known to hold opaque pixels:
    // inside a window capture that is the shadow margin.
    int left = w;
    int right = -1;
    for (int y = top; y <= bottom; ++y) {
        const QRgb* line = row(y);
        for (int x = 0; x < left; ++x) {
            if (opaque(line[x])) {
                left = x;
                break;
            }
        }
        for (int x = w - 1; x > right; --x) {
            if (opaque(line[x])) {
                right = x;
                break;
            }
        }
    }
    return QRect(left, top, right - left + 1, bottom - top + 1);
}

std::optional<QImage> trimmedToOpaquePixels(const QImage& image, double scale)
{
    const std::optional<QRect> box = opaquePixelBounds(image);
    if (!box || *box == image.rect())
        return std::nullopt;
    QImage picture;
    if (image.depth() % 8 == 0) {
        // The crop shares the capture's pixels instead of copying them (a 5K capture is 60 MB,
        // and the thumbnail only ever shows it scaled down). It holds its own reference to the
        // capture's buffer, released with the last copy of the crop; a write would detach it.
        auto* owner = new QImage(image);
        const uchar* origin = owner->constBits() + qsizetype(box->y()) * owner->bytesPerLine()
            + qsizetype(box->x()) * (owner->depth() / 8);
        picture = QImage(
            origin, box->width(), box->height(), owner->bytesPerLine(), owner->format(),
            [](void* info) { delete static_cast<QImage*>(info); }, owner);
        picture.setColorSpace(image.colorSpace());
    } else {
        picture = image.copy(*box);
    }
    picture.setDevicePixelRatio(scale > 0 ? scale : 1);
    return picture;
}

QImage thumbnailPicture(const CaptureItem& item)
{
    if (item.image) {
        if (std::optional<QImage> trimmed = trimmedToOpaquePixels(*item.image, item.scale))
            return *trimmed;
    }
    return item.displayImage();
}

} // namespace vantrel
