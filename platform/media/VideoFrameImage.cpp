// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/VideoFrameImage.h"

extern "C" {
#include <libavutil/frame.h>

#include <libswscale/swscale.h>
}

#include <memory>

namespace vantrel::media {

namespace {

struct ScalerFreer
{
    void operator()(SwsContext* p) const { sws_freeContext(p); }
};

} // namespace

QImage imageFromVideoFrame(const AVFrame* frame)
{
    if (!frame || frame->width <= 0 || frame->height <= 0 || frame->format < 0)
        return {};
    // BGRA bytes are QImage's ARGB32 words on little-endian machines; RGBA8888 keeps byte order.
    const bool littleEndian = QSysInfo::ByteOrder == QSysInfo::LittleEndian;
    std::unique_ptr<SwsContext, ScalerFreer> scaler(
        sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format), frame->width, frame->height,
            littleEndian ? AV_PIX_FMT_BGRA : AV_PIX_FMT_RGBA, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!scaler)
        return {};
    QImage image(frame->width, frame->height, littleEndian ? QImage::Format_ARGB32 : QImage::Format_RGBA8888);
    // The allocation fails for a frame too large for the memory at hand; the scaler would
    // write through a null pointer.
    if (image.isNull())
        return {};
    uint8_t* planes[4] = {image.bits(), nullptr, nullptr, nullptr};
    int strides[4] = {int(image.bytesPerLine()), 0, 0, 0};
    if (sws_scale(scaler.get(), frame->data, frame->linesize, 0, frame->height, planes, strides) != frame->height)
        return {};
    return image;
}

} // namespace vantrel::media
