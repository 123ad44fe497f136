// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Expected.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <atomic>
#include <functional>

namespace vantrel {

// Decodes the PNG file at `path` row by row straight into a picture of the size `sizeFor` gives
// for the size the file declares: each result pixel is the average of the source pixels it
// covers (alpha premultiplied before averaging), so memory stays at the result's size plus a
// row, whatever the file declares. Files declaring more than `maxPixels` pixels are refused from
// their header, before any decoding. Reading stops soon after `cancelled` turns true.
//
// The result is Format_ARGB32_Premultiplied when the file has transparency, else Format_RGB32.
// Failures come back in words and are never printed on the terminal; the error code is ENOTSUP
// for files this reader leaves to others (no PNG signature, or interlaced), an errno value when
// the file cannot be opened. Any thread.
Expected<QImage> decodePngThumbnail(const QString& path, const std::function<QSize(QSize)>& sizeFor, qint64 maxPixels,
    const std::atomic<bool>& cancelled);

} // namespace vantrel
