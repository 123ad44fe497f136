// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CaptureKind.h"

#include <QImage>
#include <QUrl>

#include <memory>
#include <optional>

namespace vantrel {

// One finished capture as every surface sees it: a picture, or a file (a recording or GIF).
// Shared by the thumbnail, the editor and pins; it lives as long as the last of them.
class CaptureItem
{
public:
    // A picture in pixels with its scale in pixels per point.
    static std::shared_ptr<CaptureItem> fromImage(QImage image, double scale, CaptureKind kind);
    // A recording or GIF on disk.
    static std::shared_ptr<CaptureItem> fromFile(QUrl fileURL, CaptureKind kind);

    std::optional<QImage> image;
    std::optional<QUrl> fileURL;
    double scale = 1.0;
    CaptureKind kind = CaptureKind::screenshot;
    std::optional<QUrl> savedURL;
    std::optional<QUrl> tempURL;
};

} // namespace vantrel
