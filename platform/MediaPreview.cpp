// SPDX-License-Identifier: GPL-3.0-or-later
#include "MediaPreview.h"

#include "media/VideoFrameImage.h"

#include <QFileInfo>
#include <QIcon>
#include <QMimeDatabase>
#include <QPainter>
#include <QTransform>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/imgutils.h>
}

#include <cmath>
#include <memory>

namespace vantrel {

namespace {

struct FormatCloser
{
    void operator()(AVFormatContext* p) const { avformat_close_input(&p); }
};
struct CodecFreer
{
    void operator()(AVCodecContext* p) const { avcodec_free_context(&p); }
};
struct FrameFreer
{
    void operator()(AVFrame* p) const { av_frame_free(&p); }
};
struct PacketFreer
{
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};

// Degrees clockwise that turn the stored picture upright, from the stream's display matrix.
double uprightRotation(const AVStream* stream)
{
    size_t size = 0;
    const uint8_t* matrix = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (!matrix || size < 9 * sizeof(int32_t))
        return 0.0;
    const double counterClockwise = av_display_rotation_get(reinterpret_cast<const int32_t*>(matrix));
    if (std::isnan(counterClockwise))
        return 0.0;
    return -counterClockwise;
}

} // namespace

std::optional<QImage> firstVideoFrame(const QString& path)
{
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return std::nullopt;
    std::unique_ptr<AVFormatContext, FormatCloser> format(raw);
    if (avformat_find_stream_info(format.get(), nullptr) < 0)
        return std::nullopt;
    const AVCodec* codec = nullptr;
    const int index = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (index < 0 || !codec)
        return std::nullopt;
    AVStream* stream = format->streams[index];
    std::unique_ptr<AVCodecContext, CodecFreer> decoder(avcodec_alloc_context3(codec));
    if (!decoder || avcodec_parameters_to_context(decoder.get(), stream->codecpar) < 0
        || avcodec_open2(decoder.get(), codec, nullptr) < 0)
        return std::nullopt;
    std::unique_ptr<AVPacket, PacketFreer> packet(av_packet_alloc());
    std::unique_ptr<AVFrame, FrameFreer> frame(av_frame_alloc());
    if (!packet || !frame)
        return std::nullopt;

    bool decoded = false;
    bool draining = false;
    while (!decoded) {
        if (!draining) {
            const int read = av_read_frame(format.get(), packet.get());
            if (read < 0) {
                draining = true;
                avcodec_send_packet(decoder.get(), nullptr);
            } else {
                if (packet->stream_index == index)
                    avcodec_send_packet(decoder.get(), packet.get());
                av_packet_unref(packet.get());
            }
        }
        const int received = avcodec_receive_frame(decoder.get(), frame.get());
        if (received == 0)
            decoded = true;
        else if (received == AVERROR_EOF || (draining && received != AVERROR(EAGAIN)))
            break;
        else if (draining && received == AVERROR(EAGAIN))
            break;
    }
    if (!decoded)
        return std::nullopt;
    QImage image = media::imageFromVideoFrame(frame.get());
    if (image.isNull())
        return std::nullopt;
    if (const double degrees = uprightRotation(stream); std::fmod(std::abs(degrees), 360.0) > 0.5)
        image = image.transformed(QTransform().rotate(degrees));
    return image;
}

QImage fileIcon(const QString& path, int size)
{
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(type.genericIconName());
    if (!icon.isNull()) {
        const QImage image = icon.pixmap(size, size).toImage();
        if (!image.isNull())
            return image;
    }
    // No icon theme: a page with a folded corner.
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal w = size * 0.7, h = size * 0.9, x = (size - w) / 2, y = (size - h) / 2, fold = size * 0.2;
    QPolygonF page {{x, y}, {x + w - fold, y}, {x + w, y + fold}, {x + w, y + h}, {x, y + h}};
    painter.setPen(QPen(QColor(120, 120, 120), std::max(1.0, size / 64.0)));
    painter.setBrush(QColor(245, 245, 245));
    painter.drawPolygon(page);
    painter.drawLine(QPointF(x + w - fold, y), QPointF(x + w - fold, y + fold));
    painter.drawLine(QPointF(x + w - fold, y + fold), QPointF(x + w, y + fold));
    return image;
}

} // namespace vantrel
