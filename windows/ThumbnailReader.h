// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Expected.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <atomic>

namespace vantrel {

// The history window's thumbnails: at most this many pixels on the longer side.
constexpr int thumbnailLongestSide = 480;
// Pictures larger than this (in pixels) get no thumbnail: even read row by row at reduced size,
// their decoding would keep a worker busy for minutes. A scrolling capture of 30,000 rows at 4K
// width (123 megapixels) stays well below.
constexpr qint64 largestThumbnailSourcePixels = qint64(16384) * 16384;

// `size` shrunk to fit a square of `longestSide` pixels with its aspect kept (never enlarged,
// never below one pixel a side).
QSize thumbnailSize(QSize size, int longestSide = thumbnailLongestSide);

// Decodes the picture in `path` and scales it to thumbnail size. PNG files stream row by row into
// the thumbnail and JPEG files decode at reduced size, so neither ever needs its full size in
// memory; other formats are read whole up to 10 megapixels. Reading stops soon after
// `cancelled` turns true.
// The error says in a few words why there is no thumbnail. Any thread.
Expected<QImage> readThumbnail(
    const QString& path, const std::atomic<bool>& cancelled, int longestSide = thumbnailLongestSide);

// A picture (a video's first frame) scaled down to thumbnail size, kept as it is when small.
QImage scaledToThumbnail(const QImage& image, int longestSide = thumbnailLongestSide);

} // namespace vantrel
