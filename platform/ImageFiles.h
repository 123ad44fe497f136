// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Expected.h"

#include <QByteArray>
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

// The largest decoded picture Vantrel opens, in megabytes of 32-bit pixels. Qt refuses anything
// over 128 MB by default, less than an 8000 × 8000 picture (244 MB) or a scrolling capture of
// 30,000 rows plus its last frame at 4K width (up to 3840 × 32,160, 471 MB).
constexpr int largestImageMegabytes = 1024;
// The largest image file read into memory, in bytes.
constexpr qint64 largestImageFileBytes = qint64(1) << 30;

// Raises Qt's image allocation limit to `largestImageMegabytes`, process-wide (idempotent).
void allowLargeImages();

// Pixels per point of an image `pixelWidth` wide that declares itself `pointWidth` wide; a
// point width of 1 or less counts as 1.
double imageScale(int pixelWidth, double pointWidth);

// Pixels per point of a file that declares `dpi`: multiples of 72 dpi (144 is 2×) and of 96 dpi
// (Linux tools: 96 is 1×, 192 is 2×); 1 for anything else or nothing.
double pixelsPerPointForResolution(std::optional<double> dpi);

// The resolution image file bytes declare (PNG pHYs, JPEG JFIF), in dots per inch.
std::optional<double> declaredResolution(const QByteArray& bytes);

// Decodes the bytes of an image file in any format Qt reads, EXIF orientation applied; touches
// no file. The error says in a few words why the bytes are not a picture. The point width
// follows the declared resolution; bytes that declare none are one pixel per point.
Expected<OpenedImage> decodeImageFile(const QByteArray& bytes);

// Whether a file can be opened as an image, without decoding its pixels: none when it can,
// else why not. For a launch that hands its files to the running Vantrel.
std::optional<Error> checkImageFile(const QString& path);

// Reads a regular file and decodes it. Never blocks on a pipe or a device; the error says why
// the file could not be opened ("it is a folder", "the file is empty", …).
Expected<OpenedImage> loadImageFile(const QString& path);

} // namespace vantrel
