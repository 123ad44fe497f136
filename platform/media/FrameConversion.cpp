// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/FrameConversion.h"

#include <libyuv/convert_from_argb.h>
#include <libyuv/scale_argb.h>

namespace vantrel::media {

FrameConverter::FrameConverter(QSize source)
    : m_source(source)
{ }

bool FrameConverter::scales(const PlanarPicture& picture) const
{
    return m_source != QSize(picture.width, picture.height);
}

void FrameConverter::convert(const uint8_t* bgrx, int stride, int top, int bottom, const PlanarPicture& picture)
{
    // libyuv's "ARGB" is a little-endian word with blue in the lowest byte: BGRX in memory.
    if (scales(picture)) {
        const int scaledStride = picture.width * 4;
        m_scaled.resize(size_t(scaledStride) * picture.height);
        libyuv::ARGBScale(bgrx, stride, m_source.width(), m_source.height(), m_scaled.data(), scaledStride,
            picture.width, picture.height, libyuv::kFilterBox);
        libyuv::ARGBToI420(m_scaled.data(), scaledStride, picture.y, picture.yStride, picture.u, picture.uStride,
            picture.v, picture.vStride, picture.width, picture.height);
        return;
    }
    if (bottom <= top)
        return;
    libyuv::ARGBToI420(bgrx + size_t(top) * stride, stride, picture.y + size_t(top) * picture.yStride, picture.yStride,
        picture.u + size_t(top / 2) * picture.uStride, picture.uStride, picture.v + size_t(top / 2) * picture.vStride,
        picture.vStride, picture.width, bottom - top);
}

} // namespace vantrel::media
