// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/VideoFrameImage.h"

extern "C" {
#include <libavutil/frame.h>

#include <libswscale/swscale.h>
}

#include <cstdlib>
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
    // Accurate rounding keeps swscale off its fast unscaled YUV → RGB path, which in FFmpeg 5.1
    // converts whole blocks of 16 pixels only and leaves the rest of each row unwritten.
    std::unique_ptr<SwsContext, ScalerFreer> scaler(sws_getContext(frame->width, frame->height,
        AVPixelFormat(frame->format), frame->width, frame->height, littleEndian ? AV_PIX_FMT_BGRA : AV_PIX_FMT_RGBA,
        SWS_BILINEAR | SWS_ACCURATE_RND, nullptr, nullptr, nullptr));
    if (!scaler)
        return {};
    // swscale's vector code writes up to a few dozen bytes past the last pixel of a narrow
    // picture (56 for a 2-pixel-wide one): rows start 64-byte aligned and the buffer ends with
    // spare bytes, so that lands in padding of the image's own.
    const size_t stride = (size_t(frame->width) * 4 + 63) & ~size_t(63);
    const size_t bytes = stride * size_t(frame->height) + 64;
    // The allocation fails for a frame too large for the memory at hand; the scaler would
    // write through a null pointer.
    auto* buffer = static_cast<uchar*>(std::malloc(bytes));
    if (!buffer)
        return {};
    QImage image(
        buffer, frame->width, frame->height, qsizetype(stride),
        littleEndian ? QImage::Format_ARGB32 : QImage::Format_RGBA8888, [](void* p) { std::free(p); }, buffer);
    if (image.isNull()) {
        std::free(buffer);
        return {};
    }
    uint8_t* planes[4] = {buffer, nullptr, nullptr, nullptr};
    int strides[4] = {int(stride), 0, 0, 0};
    if (sws_scale(scaler.get(), frame->data, frame->linesize, 0, frame->height, planes, strides) != frame->height)
        return {};
    return image;
}

} // namespace vantrel::media
