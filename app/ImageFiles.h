// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>

#include <optional>

namespace vantrel {

// An image file opened with Vantrel, with its scale in pixels per point.
struct OpenedImage
{
    QImage image;
    double scale = 1.0;
};

// Pixels per point of an image `pixelWidth` wide that declares itself `pointWidth` wide; a
// point width of 1 or less counts as 1.
double imageScale(int pixelWidth, double pointWidth);

// Pixels per point of a file that declares `dpi`: multiples of 72 dpi (144 is 2×) and of 96 dpi
// (Linux tools: 96 is 1×, 192 is 2×); 1 for anything else or nothing.
double pixelsPerPointForResolution(std::optional<double> dpi);

// The resolution an image file declares (PNG pHYs, JPEG JFIF), in dots per inch.
std::optional<double> declaredResolution(const QString& path);

// None when the file is not an image Qt can decode. The point width follows the declared
// resolution; files that declare none are one pixel per point.
std::optional<OpenedImage> loadImageFile(const QString& path);

} // namespace vantrel
