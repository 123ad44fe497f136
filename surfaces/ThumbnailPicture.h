// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QRect>

#include <optional>

namespace vantrel {

class CaptureItem;

// Bounding box (top-left pixel coordinates) of the pixels whose alpha exceeds 240: the window
// inside a window capture's transparent shadow margin. None for images without an alpha
// channel and for images without such pixels.
std::optional<QRect> opaquePixelBounds(const QImage& image);

// The thumbnail's picture: `image` cropped to its opaque pixels when that box exists and is not
// the whole image, with a device pixel ratio of `scale` so that its point size is pixels ÷ scale.
// None when no crop applies and the image is shown as it is.
std::optional<QImage> trimmedToOpaquePixels(const QImage& image, double scale);

// What a thumbnail shows for an item: its picture trimmed to the opaque pixels when that
// applies, else the item's display image (a movie's first frame, a GIF, a file icon).
QImage thumbnailPicture(const CaptureItem& item);

} // namespace vantrel
