// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/MovieFrames.h"

#include "media/MediaErrors.h"

#include <QCoreApplication>
#include <QFile>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/mathematics.h>

#include <libswscale/swscale.h>
}

#include <cmath>

namespace vantrel::media {

namespace {

struct Closer
{
    void operator()(AVFormatContext* p) const { avformat_close_input(&p); }
    void operator()(AVCodecContext* p) const { avcodec_free_context(&p); }
    void operator()(AVFrame* p) const { av_frame_free(&p); }
    void operator()(AVPacket* p) const { av_packet_free(&p); }
    void operator()(SwsContext* p) const { sws_freeContext(p); }
};

template <typename T> using Owned = std::unique_ptr<T, Closer>;

// Quarter turns clockwise that make the stored picture upright, from the display matrix.
int uprightQuarterTurns(const AVStream* stream)
{
    size_t size = 0;
    const uint8_t* matrix = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (!matrix || size < 9 * sizeof(int32_t))
        return 0;
    const double counterClockwise = av_display_rotation_get(reinterpret_cast<const int32_t*>(matrix));
    if (std::isnan(counterClockwise))
        return 0;
    const int turns = int(std::lround(-counterClockwise / 90.0)) % 4;
    return turns < 0 ? turns + 4 : turns;
}

// Turns `from` (w × h) clockwise by quarter turns into `to` (h × w for odd turns).
void rotate(const RgbaFrame& from, RgbaFrame& to, int turns)
{
    const int w = from.size.width(), h = from.size.height();
    to.size = turns % 2 ? QSize(h, w) : from.size;
    to.pixels.resize(size_t(w) * h * 4);
    auto* out = reinterpret_cast<uint32_t*>(to.pixels.data());
    const auto* in = reinterpret_cast<const uint32_t*>(from.pixels.data());
    const int outW = to.size.width();
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            int ox = x, oy = y;
            switch (turns) {
            case 1:
                ox = h - 1 - y;
                oy = x;
                break;
            case 2:
                ox = w - 1 - x;
                oy = h - 1 - y;
                break;
            case 3:
                ox = y;
                oy = w - 1 - x;
                break;
            default: break;
            }
            out[size_t(oy) * outW + ox] = in[size_t(y) * w + x];
        }
    }
}

} // namespace

struct MovieFrames::State
{
    Owned<AVFormatContext> format;
    Owned<AVCodecContext> decoder;
    const AVCodec* codec = nullptr;
    AVStream* stream = nullptr;
    int index = -1;
    int quarterTurns = 0;
    int64_t microseconds = 0;
};

MovieFrames::MovieFrames()
    : m_state(std::make_unique<State>())
{ }

MovieFrames::~MovieFrames() = default;

Expected<std::unique_ptr<MovieFrames>> MovieFrames::open(const QString& path)
{
    quietFfmpegLogs();
    std::unique_ptr<MovieFrames> movie(new MovieFrames);
    State& s = *movie->m_state;
    AVFormatContext* raw = nullptr;
    if (const int code = avformat_open_input(&raw, QFile::encodeName(path).constData(), nullptr, nullptr); code < 0)
        return ffmpegError(code, QT_TRANSLATE_NOOP("Recording", "Could not open the movie"));
    s.format.reset(raw);
    if (const int code = avformat_find_stream_info(s.format.get(), nullptr); code < 0)
        return ffmpegError(code, QT_TRANSLATE_NOOP("Recording", "Could not read the movie"));
    s.index = av_find_best_stream(s.format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &s.codec, 0);
    if (s.index < 0 || !s.codec)
        return Error {.domain = QStringLiteral("FFmpeg"),
            .description = QCoreApplication::translate("Recording", "The movie has no video")};
    s.stream = s.format->streams[s.index];
    if (s.stream->codecpar->width <= 0 || s.stream->codecpar->height <= 0)
        return Error {.domain = QStringLiteral("FFmpeg"),
            .description = QCoreApplication::translate("Recording", "The movie has no picture size")};
    s.quarterTurns = uprightQuarterTurns(s.stream);
    if (s.stream->duration > 0 && s.stream->duration != AV_NOPTS_VALUE)
        s.microseconds = av_rescale_q(s.stream->duration, s.stream->time_base, AV_TIME_BASE_Q);
    else if (s.format->duration > 0 && s.format->duration != AV_NOPTS_VALUE)
        s.microseconds = s.format->duration;
    return movie;
}

QSize MovieFrames::size() const
{
    const QSize stored(m_state->stream->codecpar->width, m_state->stream->codecpar->height);
    return m_state->quarterTurns % 2 ? stored.transposed() : stored;
}

int64_t MovieFrames::microseconds() const
{
    return m_state->microseconds;
}

Expected<MovieFrames::Outcome> MovieFrames::read(int count, int framesPerSecond, QSize size, const Sink& sink,
    const std::atomic<bool>& cancelled, int decoderThreads, const FramePool& pool)
{
    State& s = *m_state;
    if (count <= 0 || framesPerSecond <= 0 || size.isEmpty())
        return Error {.domain = QStringLiteral("FFmpeg"),
            .description = QCoreApplication::translate("Recording", "Nothing to read")};
    s.decoder.reset(avcodec_alloc_context3(s.codec));
    if (!s.decoder)
        return Error {.domain = QStringLiteral("FFmpeg"),
            .description = QCoreApplication::translate("Recording", "Out of memory")};
    if (const int code = avcodec_parameters_to_context(s.decoder.get(), s.stream->codecpar); code < 0)
        return ffmpegError(code, QT_TRANSLATE_NOOP("Recording", "Could not set up the decoder"));
    s.decoder->thread_count = std::max(1, decoderThreads);
    s.decoder->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    if (const int code = avcodec_open2(s.decoder.get(), s.codec, nullptr); code < 0)
        return ffmpegError(code, QT_TRANSLATE_NOOP("Recording", "Could not open the decoder"));

    Owned<AVPacket> packet(av_packet_alloc());
    Owned<AVFrame> decoded(av_frame_alloc());
    Owned<AVFrame> held(av_frame_alloc()); // the latest picture at or before the next time
    if (!packet || !decoded || !held)
        return Error {.domain = QStringLiteral("FFmpeg"),
            .description = QCoreApplication::translate("Recording", "Out of memory")};
    Owned<SwsContext> scaler;
    // Scaled before turning, so the scaler writes the stored orientation.
    const QSize scaledSize = s.quarterTurns % 2 ? size.transposed() : size;
    RgbaFrame unturned;

    const AVRational timeBase = s.stream->time_base;
    const AVRational gifTimeBase {1, framesPerSecond};
    int64_t origin = AV_NOPTS_VALUE; // the first picture's time: GIF time 0
    int64_t heldEnd = AV_NOPTS_VALUE; // when the held picture stops showing, when known
    bool holding = false;
    int next = 0;
    Outcome outcome;
    bool stopped = false;

    auto convertHeld = [&]() -> std::unique_ptr<RgbaFrame> {
        std::unique_ptr<RgbaFrame> frame = pool ? pool() : nullptr;
        if (!frame)
            frame = std::make_unique<RgbaFrame>();
        // Lanczos when shrinking keeps thin text sharp. At the same size, accurate rounding keeps
        // swscale off FFmpeg 5.1's unscaled YUV → RGB path, which leaves the columns past the last
        // 16-pixel block of each row unwritten.
        const bool sameSize = held->width == scaledSize.width() && held->height == scaledSize.height();
        scaler.reset(sws_getCachedContext(scaler.release(), held->width, held->height, AVPixelFormat(held->format),
            scaledSize.width(), scaledSize.height(), AV_PIX_FMT_RGBA,
            sameSize ? SWS_BICUBIC | SWS_ACCURATE_RND : SWS_LANCZOS, nullptr, nullptr, nullptr));
        if (!scaler)
            return nullptr;
        const int colorspace = held->colorspace == AVCOL_SPC_UNSPECIFIED ? SWS_CS_ITU601 : int(held->colorspace);
        sws_setColorspaceDetails(scaler.get(), sws_getCoefficients(colorspace), held->color_range == AVCOL_RANGE_JPEG,
            sws_getCoefficients(SWS_CS_ITU601), 1, 0, 1 << 16, 1 << 16);
        RgbaFrame& target = s.quarterTurns ? unturned : *frame;
        target.size = scaledSize;
        // swscale may write a few bytes past the last pixel of a narrow picture.
        target.pixels.resize(size_t(scaledSize.width()) * scaledSize.height() * 4 + 64);
        uint8_t* planes[4] = {target.pixels.data(), nullptr, nullptr, nullptr};
        int strides[4] = {scaledSize.width() * 4, 0, 0, 0};
        if (sws_scale(scaler.get(), held->data, held->linesize, 0, held->height, planes, strides)
            != scaledSize.height())
            return nullptr;
        if (s.quarterTurns)
            rotate(unturned, *frame, s.quarterTurns);
        return frame;
    };

    // Hands out the held picture for every time up to (not including) `before`, in GIF frames.
    auto deliverUntil = [&](int64_t beforeIndexExclusive) {
        while (!stopped && next < count && next < beforeIndexExclusive) {
            if (cancelled.load()) {
                stopped = true;
                return;
            }
            if (!holding) {
                ++outcome.skipped;
                ++next;
                continue;
            }
            std::unique_ptr<RgbaFrame> frame = convertHeld();
            if (!frame) {
                ++outcome.skipped;
            } else {
                ++outcome.delivered;
                if (!sink(next, std::move(frame)))
                    stopped = true;
            }
            ++next;
        }
    };

    // A decoded picture at `pts`: every GIF time before it shows the held one.
    auto takePicture = [&]() {
        int64_t pts = decoded->best_effort_timestamp;
        if (pts == AV_NOPTS_VALUE)
            pts = decoded->pts;
        if (pts == AV_NOPTS_VALUE) {
            av_frame_unref(decoded.get());
            return;
        }
        if (origin == AV_NOPTS_VALUE)
            origin = pts;
        const int64_t relative = pts - origin;
        // The first GIF index whose time is at or after this picture: ceil(relative × fps).
        const int64_t firstIndex = relative <= 0
            ? 0
            : av_rescale_q_rnd(relative, timeBase, gifTimeBase, AVRounding(AV_ROUND_UP | AV_ROUND_PASS_MINMAX));
        deliverUntil(firstIndex);
        av_frame_unref(held.get());
        av_frame_move_ref(held.get(), decoded.get());
        holding = true;
        heldEnd = held->pkt_duration > 0 ? relative + held->pkt_duration : AV_NOPTS_VALUE;
    };

    auto receive = [&]() -> bool {
        for (;;) {
            const int code = avcodec_receive_frame(s.decoder.get(), decoded.get());
            if (code == AVERROR(EAGAIN))
                return true;
            if (code < 0)
                return false;
            takePicture();
            if (stopped || next >= count)
                return false;
        }
    };

    bool decoding = true;
    int badPackets = 0;
    while (decoding && !stopped && next < count) {
        if (cancelled.load()) {
            stopped = true;
            break;
        }
        const int read = av_read_frame(s.format.get(), packet.get());
        if (read < 0)
            break; // the end, or a file cut short: what was decoded so far counts
        if (packet->stream_index == s.index) {
            const int sent = avcodec_send_packet(s.decoder.get(), packet.get());
            // A damaged packet is passed over; the decoder conceals what it can.
            if (sent < 0 && sent != AVERROR(EAGAIN) && ++badPackets > 100)
                decoding = false;
            if (decoding)
                decoding = receive();
        }
        av_packet_unref(packet.get());
    }
    if (!stopped && next < count) {
        avcodec_send_packet(s.decoder.get(), nullptr);
        receive();
    }
    if (!stopped && next < count) {
        // After the last picture: it stays on screen for its own duration, or to the end of the
        // track when the file does not say; later times of a cut-short file have no picture.
        const int64_t end = heldEnd != AV_NOPTS_VALUE
            ? av_rescale_q_rnd(heldEnd, timeBase, gifTimeBase, AVRounding(AV_ROUND_UP | AV_ROUND_PASS_MINMAX))
            : count;
        deliverUntil(std::min<int64_t>(end, count));
        outcome.skipped += count - next;
        next = count;
    }
    if (cancelled.load())
        return Error {
            .domain = QStringLiteral("Vantrel"), .description = QCoreApplication::translate("Recording", "Cancelled")};
    return outcome;
}

} // namespace vantrel::media
