// SPDX-License-Identifier: GPL-3.0-or-later
#include "ThumbnailPicture.h"

#include "CaptureItem.h"

#include <algorithm>

namespace vantrel {

std::optional<QRect> opaquePixelBounds(const QImage& image)
{
    if (image.isNull() || !image.hasAlphaChannel())
        return std::nullopt;
    const QImage alpha = image.convertToFormat(QImage::Format_Alpha8);
    int minX = alpha.width(), minY = alpha.height(), maxX = -1, maxY = -1;
    for (int y = 0; y < alpha.height(); ++y) {
        const uchar* row = alpha.constScanLine(y);
        for (int x = 0; x < alpha.width(); ++x) {
            if (row[x] > 240) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
                maxY = y;
            }
        }
    }
    if (maxX < 0)
        return std::nullopt;
    return QRect(minX, minY, maxX - minX + 1, maxY - minY + 1);
}

std::optional<QImage> trimmedToOpaquePixels(const QImage& image, double scale)
{
    const std::optional<QRect> box = opaquePixelBounds(image);
    if (!box || *box == image.rect())
        return std::nullopt;
    QImage picture = image.copy(*box);
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
