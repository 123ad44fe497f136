// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/Mp4Writer.h"

#include <QSize>

#include <cstdint>
#include <vector>

namespace vantrel::media {

// Screen pixels (BGRX bytes, as X servers and QImage::Format_RGB32 keep them) into the video's
// planar YUV 4:2:0, BT.601 limited range, the way the writer tags its stream.
class FrameConverter
{
public:
    // `source` is the size of the grabbed pictures; when it differs from the picture's size
    // every frame is scaled whole (box filter, which keeps thin text legible when shrinking).
    explicit FrameConverter(QSize source);

    bool scales(const PlanarPicture& picture) const;
    // Rows [top, bottom) of the source, both even; a scaling converter always converts all rows.
    void convert(const uint8_t* bgrx, int stride, int top, int bottom, const PlanarPicture& picture);

private:
    QSize m_source;
    std::vector<uint8_t> m_scaled; // BGRX at the picture's size
};

} // namespace vantrel::media
