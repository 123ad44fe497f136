// SPDX-License-Identifier: GPL-3.0-or-later
#include "MovieReader.h"

#include <QFile>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>

#include <libswscale/swscale.h>
}

#include <algorithm>
#include <memory>

namespace vantrel::test {

namespace {

// Whether the top-level "moov" box comes before "mdat" (a player can start before the end).
bool indexComesFirst(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    qint64 offset = 0;
    while (offset + 8 <= file.size()) {
        file.seek(offset);
        const QByteArray header = file.read(16);
        if (header.size() < 8)
            return false;
        quint64 size = (quint64(quint8(header[0])) << 24) | (quint64(quint8(header[1])) << 16)
            | (quint64(quint8(header[2])) << 8) | quint64(quint8(header[3]));
        const QByteArray type = header.mid(4, 4);
        if (size == 1 && header.size() >= 16) {
            size = 0;
            for (int i = 8; i < 16; ++i)
                size = (size << 8) | quint8(header[i]);
        }
        if (type == "moov")
            return true;
        if (type == "mdat" || size < 8)
            return false;
        offset += qint64(size);
    }
    return false;
}

struct Closer
{
    void operator()(AVFormatContext* p) const { avformat_close_input(&p); }
    void operator()(AVCodecContext* p) const { avcodec_free_context(&p); }
    void operator()(AVFrame* p) const { av_frame_free(&p); }
    void operator()(AVPacket* p) const { av_packet_free(&p); }
    void operator()(SwsContext* p) const { sws_freeContext(p); }
};

std::unique_ptr<AVCodecContext, Closer> openDecoder(const AVStream* stream)
{
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec)
        return nullptr;
    std::unique_ptr<AVCodecContext, Closer> context(avcodec_alloc_context3(codec));
    avcodec_parameters_to_context(context.get(), stream->codecpar);
    context->thread_count = 1;
    if (avcodec_open2(context.get(), codec, nullptr) < 0)
        return nullptr;
    return context;
}

} // namespace

Movie readMovie(const QString& path, const FrameVisitor& visitor, bool decodeAudio)
{
    Movie movie;
    movie.indexAtFront = indexComesFirst(path);
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, QFile::encodeName(path).constData(), nullptr, nullptr) < 0) {
        movie.error = QStringLiteral("cannot open");
        return movie;
    }
    std::unique_ptr<AVFormatContext, Closer> format(raw);
    if (avformat_find_stream_info(format.get(), nullptr) < 0) {
        movie.error = QStringLiteral("no stream information");
        return movie;
    }
    movie.duration = format->duration > 0 ? double(format->duration) / AV_TIME_BASE : 0;

    const int videoIndex = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const int audioIndex = av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (videoIndex < 0) {
        movie.error = QStringLiteral("no video stream");
        return movie;
    }
    const AVStream* video = format->streams[videoIndex];
    movie.videoCodec = QString::fromLatin1(avcodec_get_name(video->codecpar->codec_id));
    movie.pixelFormat = QString::fromLatin1(av_get_pix_fmt_name(AVPixelFormat(video->codecpar->format)));
    movie.size = QSize(video->codecpar->width, video->codecpar->height);
    movie.frameRate = av_q2d(video->r_frame_rate);
    auto videoDecoder = openDecoder(video);
    if (!videoDecoder) {
        movie.error = QStringLiteral("no video decoder");
        return movie;
    }

    std::unique_ptr<AVCodecContext, Closer> audioDecoder;
    if (audioIndex >= 0) {
        const AVStream* audio = format->streams[audioIndex];
        Movie::Audio info;
        info.codec = QString::fromLatin1(avcodec_get_name(audio->codecpar->codec_id));
        info.sampleRate = audio->codecpar->sample_rate;
        info.channels = audio->codecpar->ch_layout.nb_channels;
        info.duration = audio->duration > 0 ? double(audio->duration) * av_q2d(audio->time_base) : 0;
        movie.audio = info;
        if (decodeAudio)
            audioDecoder = openDecoder(audio);
    }

    std::unique_ptr<AVFrame, Closer> frame(av_frame_alloc());
    std::unique_ptr<AVPacket, Closer> packet(av_packet_alloc());
    std::unique_ptr<SwsContext, Closer> sws;

    auto takeVideoFrames = [&]() -> bool {
        for (;;) {
            const int r = avcodec_receive_frame(videoDecoder.get(), frame.get());
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
                return true;
            if (r < 0)
                return false;
            ++movie.videoFrames;
            const int64_t pts = frame->best_effort_timestamp;
            const double seconds = pts == AV_NOPTS_VALUE ? -1 : double(pts) * av_q2d(video->time_base);
            movie.lastFrameTime = std::max(movie.lastFrameTime, seconds);
            if (!visitor)
                continue;
            sws.reset(sws_getCachedContext(sws.release(), frame->width, frame->height, AVPixelFormat(frame->format),
                frame->width, frame->height, AV_PIX_FMT_BGRA, SWS_POINT | SWS_ACCURATE_RND, nullptr, nullptr, nullptr));
            const int colorspace = frame->colorspace == AVCOL_SPC_UNSPECIFIED ? SWS_CS_ITU601 : int(frame->colorspace);
            sws_setColorspaceDetails(sws.get(), sws_getCoefficients(colorspace), frame->color_range == AVCOL_RANGE_JPEG,
                sws_getCoefficients(SWS_CS_ITU601), 1, 0, 1 << 16, 1 << 16);
            // swscale's vector code may write a little past the last row. Accurate rounding keeps it
            // off the unscaled path that leaves the columns past the last 16-pixel block unwritten.
            QImage padded(frame->width, frame->height + 2, QImage::Format_RGB32);
            uint8_t* planes[4] = {padded.bits(), nullptr, nullptr, nullptr};
            int strides[4] = {int(padded.bytesPerLine()), 0, 0, 0};
            sws_scale(sws.get(), frame->data, frame->linesize, 0, frame->height, planes, strides);
            visitor(seconds, padded.copy(0, 0, frame->width, frame->height));
        }
    };
    auto takeAudioFrames = [&]() -> bool {
        for (;;) {
            const int r = avcodec_receive_frame(audioDecoder.get(), frame.get());
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
                return true;
            if (r < 0)
                return false;
            const int channels = frame->ch_layout.nb_channels;
            for (int i = 0; i < frame->nb_samples; ++i) {
                float sum = 0;
                for (int c = 0; c < channels; ++c)
                    sum += reinterpret_cast<const float*>(frame->extended_data[c])[i];
                movie.audio->mono.push_back(sum / channels);
            }
        }
    };

    while (av_read_frame(format.get(), packet.get()) >= 0) {
        bool ok = true;
        if (packet->stream_index == videoIndex) {
            ok = avcodec_send_packet(videoDecoder.get(), packet.get()) >= 0 && takeVideoFrames();
        } else if (audioDecoder && packet->stream_index == audioIndex) {
            ok = avcodec_send_packet(audioDecoder.get(), packet.get()) >= 0 && takeAudioFrames();
        }
        av_packet_unref(packet.get());
        if (!ok) {
            movie.error = QStringLiteral("decoding failed at frame %1").arg(movie.videoFrames);
            return movie;
        }
    }
    avcodec_send_packet(videoDecoder.get(), nullptr);
    if (!takeVideoFrames())
        movie.error = QStringLiteral("decoding failed at the end");
    if (audioDecoder) {
        avcodec_send_packet(audioDecoder.get(), nullptr);
        takeAudioFrames();
    }
    return movie;
}

} // namespace vantrel::test
