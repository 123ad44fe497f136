// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/Mp4Writer.h"

#include "media/MediaErrors.h"

#include <QCoreApplication>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <mutex>
#include <vector>

namespace vantrel::media {

namespace {

// Screen content is mostly flat colour and small text that changes in small places. The fastest
// preset with CABAC added costs little more and makes files about a sixth smaller; CRF 22, a step
// finer than x264's default, keeps 1-pixel strokes of text clean. Slower presets cost half as much
// CPU again for smaller files of no higher PSNR on such content (bench/run-recording-bench.sh).
constexpr char videoPreset[] = "ultrafast";
constexpr char videoParameters[] = "cabac=1";
constexpr char videoQuality[] = "22";
constexpr int audioBitRate = 160000;

} // namespace

struct Mp4Writer::State
{
    AVFormatContext* format = nullptr;
    AVCodecContext* video = nullptr;
    AVStream* videoStream = nullptr;
    AVFrame* canvas = nullptr;
    AVPacket* videoPacket = nullptr;

    AVCodecContext* audio = nullptr;
    AVStream* audioStream = nullptr;
    AVFrame* audioFrame = nullptr;
    AVPacket* audioPacket = nullptr;
    std::vector<float> pendingAudio; // interleaved, less than one encoder frame
    int64_t audioSamples = 0; // samples handed to the encoder so far
    int channels = 0;

    std::mutex muxLock; // the muxer is shared by the video and audio threads
    bool fileOpen = false;
    bool headerWritten = false;

    ~State()
    {
        if (format) {
            if (fileOpen)
                avio_closep(&format->pb);
            avformat_free_context(format);
        }
        avcodec_free_context(&video);
        avcodec_free_context(&audio);
        av_frame_free(&canvas);
        av_frame_free(&audioFrame);
        av_packet_free(&videoPacket);
        av_packet_free(&audioPacket);
    }

    // Moves every packet the encoder has ready into the file.
    std::optional<Error> drain(AVCodecContext* codec, AVStream* stream, AVPacket* packet)
    {
        for (;;) {
            const int received = avcodec_receive_packet(codec, packet);
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
                return std::nullopt;
            if (received < 0)
                return ffmpegError(received, QT_TRANSLATE_NOOP("Recording", "The encoder failed"));
            if (packet->duration <= 0)
                packet->duration = 1;
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            std::lock_guard lock(muxLock);
            const int written = av_interleaved_write_frame(format, packet);
            if (written < 0)
                return fileError(written, QT_TRANSLATE_NOOP("Recording", "Could not write the movie"));
        }
    }

    std::optional<Error> encodeAudioFrame(const float* interleaved, int frames)
    {
        if (av_frame_make_writable(audioFrame) < 0)
            return Error {.description = QCoreApplication::translate("Recording", "Out of memory for audio")};
        audioFrame->nb_samples = frames;
        for (int c = 0; c < channels; ++c) {
            auto* plane = reinterpret_cast<float*>(audioFrame->data[c]);
            for (int i = 0; i < frames; ++i)
                plane[i] = interleaved[i * channels + c];
        }
        audioFrame->pts = audioSamples;
        audioSamples += frames;
        const int sent = avcodec_send_frame(audio, audioFrame);
        if (sent < 0)
            return ffmpegError(sent, QT_TRANSLATE_NOOP("Recording", "The audio encoder failed"));
        return drain(audio, audioStream, audioPacket);
    }
};

Mp4Writer::Mp4Writer()
    : m_state(std::make_unique<State>())
{ }

Mp4Writer::~Mp4Writer() = default;

Expected<std::unique_ptr<Mp4Writer>> Mp4Writer::open(
    const QString& path, const VideoSettings& video, const std::optional<AudioSettings>& audio)
{
    quietFfmpegLogs();
    std::unique_ptr<Mp4Writer> writer(new Mp4Writer);
    State& s = *writer->m_state;
    const QByteArray file = path.toLocal8Bit();
    if (video.size.width() < 2 || video.size.height() < 2 || video.size.width() % 2 || video.size.height() % 2)
        return Error {
            .description = QCoreApplication::translate("Recording", "The video size %1 × %2 cannot be encoded")
                               .arg(video.size.width())
                               .arg(video.size.height())};

    if (const int r = avformat_alloc_output_context2(&s.format, nullptr, "mp4", file.constData()); r < 0)
        return ffmpegError(r, QT_TRANSLATE_NOOP("Recording", "No MPEG-4 writer"));

    const AVCodec* h264 = avcodec_find_encoder_by_name("libx264");
    if (!h264)
        return Error {
            .description = QCoreApplication::translate("Recording", "No H.264 encoder (libx264) is installed")};
    s.video = avcodec_alloc_context3(h264);
    s.video->width = video.size.width();
    s.video->height = video.size.height();
    s.video->pix_fmt = AV_PIX_FMT_YUV420P;
    s.video->time_base = AVRational {1, video.framesPerSecond};
    s.video->framerate = AVRational {video.framesPerSecond, 1};
    // What the frame converter writes: BT.601 coefficients, limited range, from sRGB pixels.
    s.video->color_range = AVCOL_RANGE_MPEG;
    s.video->colorspace = AVCOL_SPC_SMPTE170M;
    s.video->color_primaries = AVCOL_PRI_BT709;
    s.video->color_trc = AVCOL_TRC_IEC61966_2_1;
    if (s.format->oformat->flags & AVFMT_GLOBALHEADER)
        s.video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* videoOptions = nullptr;
    av_dict_set(&videoOptions, "preset", videoPreset, 0);
    av_dict_set(&videoOptions, "x264-params", videoParameters, 0);
    av_dict_set(&videoOptions, "crf", videoQuality, 0);
    const int opened = avcodec_open2(s.video, h264, &videoOptions);
    av_dict_free(&videoOptions);
    if (opened < 0)
        return ffmpegError(opened, QT_TRANSLATE_NOOP("Recording", "Could not start the H.264 encoder"));
    s.videoStream = avformat_new_stream(s.format, nullptr);
    avcodec_parameters_from_context(s.videoStream->codecpar, s.video);
    s.videoStream->time_base = s.video->time_base;
    s.videoStream->avg_frame_rate = s.video->framerate;
    s.videoStream->r_frame_rate = s.video->framerate;

    s.canvas = av_frame_alloc();
    s.canvas->format = AV_PIX_FMT_YUV420P;
    s.canvas->width = s.video->width;
    s.canvas->height = s.video->height;
    s.canvas->color_range = s.video->color_range;
    s.canvas->colorspace = s.video->colorspace;
    if (av_frame_get_buffer(s.canvas, 32) < 0)
        return Error {.description = QCoreApplication::translate("Recording", "Out of memory for a %1 × %2 video frame")
                                         .arg(s.video->width)
                                         .arg(s.video->height)};
    // Black until the first picture is converted into it.
    std::fill_n(s.canvas->data[0], size_t(s.canvas->linesize[0]) * s.canvas->height, uint8_t(16));
    std::fill_n(s.canvas->data[1], size_t(s.canvas->linesize[1]) * (s.canvas->height / 2), uint8_t(128));
    std::fill_n(s.canvas->data[2], size_t(s.canvas->linesize[2]) * (s.canvas->height / 2), uint8_t(128));
    s.videoPacket = av_packet_alloc();

    if (audio) {
        const AVCodec* aac = avcodec_find_encoder(AV_CODEC_ID_AAC);
        if (!aac)
            return Error {.description = QCoreApplication::translate("Recording", "No AAC encoder is installed")};
        s.audio = avcodec_alloc_context3(aac);
        s.audio->sample_fmt = AV_SAMPLE_FMT_FLTP;
        s.audio->sample_rate = audio->sampleRate;
        av_channel_layout_default(&s.audio->ch_layout, audio->channels);
        s.audio->bit_rate = audioBitRate;
        s.audio->time_base = AVRational {1, audio->sampleRate};
        if (s.format->oformat->flags & AVFMT_GLOBALHEADER)
            s.audio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (const int r = avcodec_open2(s.audio, aac, nullptr); r < 0)
            return ffmpegError(r, QT_TRANSLATE_NOOP("Recording", "Could not start the AAC encoder"));
        s.audioStream = avformat_new_stream(s.format, nullptr);
        avcodec_parameters_from_context(s.audioStream->codecpar, s.audio);
        s.audioStream->time_base = s.audio->time_base;
        s.channels = audio->channels;
        s.audioFrame = av_frame_alloc();
        s.audioFrame->format = AV_SAMPLE_FMT_FLTP;
        s.audioFrame->sample_rate = audio->sampleRate;
        av_channel_layout_copy(&s.audioFrame->ch_layout, &s.audio->ch_layout);
        s.audioFrame->nb_samples = s.audio->frame_size;
        if (av_frame_get_buffer(s.audioFrame, 0) < 0)
            return Error {.description = QCoreApplication::translate("Recording", "Out of memory for audio")};
        s.audioPacket = av_packet_alloc();
    }

    if (const int r = avio_open(&s.format->pb, file.constData(), AVIO_FLAG_WRITE); r < 0)
        return fileError(r, QT_TRANSLATE_NOOP("Recording", "Could not create the movie file"));
    s.fileOpen = true;
    AVDictionary* muxOptions = nullptr;
    // The index goes to the front when the file is finished, so it plays while being copied.
    av_dict_set(&muxOptions, "movflags", "+faststart", 0);
    const int header = avformat_write_header(s.format, &muxOptions);
    av_dict_free(&muxOptions);
    if (header < 0)
        return fileError(header, QT_TRANSLATE_NOOP("Recording", "Could not write the movie"));
    s.headerWritten = true;
    return writer;
}

PlanarPicture Mp4Writer::canvas()
{
    AVFrame* frame = m_state->canvas;
    // The encoder copies each picture it is given; should it ever keep a reference instead,
    // this copies the canvas rather than changing a frame it still reads.
    av_frame_make_writable(frame);
    return PlanarPicture {frame->data[0], frame->data[1], frame->data[2], frame->linesize[0], frame->linesize[1],
        frame->linesize[2], frame->width, frame->height};
}

std::optional<Error> Mp4Writer::writeVideo(int64_t tick)
{
    if (tick <= m_lastTick)
        return std::nullopt;
    State& s = *m_state;
    s.canvas->pts = tick;
    const int sent = avcodec_send_frame(s.video, s.canvas);
    if (sent < 0)
        return ffmpegError(sent, QT_TRANSLATE_NOOP("Recording", "The video encoder failed"));
    m_lastTick = tick;
    return s.drain(s.video, s.videoStream, s.videoPacket);
}

bool Mp4Writer::hasAudio() const
{
    return m_state->audio != nullptr;
}

std::optional<Error> Mp4Writer::writeAudio(const float* samples, int frames)
{
    State& s = *m_state;
    if (!s.audio || frames <= 0)
        return std::nullopt;
    const int frameSize = s.audio->frame_size;
    s.pendingAudio.insert(s.pendingAudio.end(), samples, samples + size_t(frames) * s.channels);
    size_t used = 0;
    while (s.pendingAudio.size() - used >= size_t(frameSize) * s.channels) {
        if (auto failure = s.encodeAudioFrame(s.pendingAudio.data() + used, frameSize))
            return failure;
        used += size_t(frameSize) * s.channels;
    }
    s.pendingAudio.erase(s.pendingAudio.begin(), s.pendingAudio.begin() + used);
    return std::nullopt;
}

std::optional<Error> Mp4Writer::finish(int64_t endTick)
{
    State& s = *m_state;
    // The last picture stays until the end, so the movie lasts as long as the recording.
    if (m_lastTick >= 0 && endTick - 1 > m_lastTick) {
        if (auto failure = writeVideo(endTick - 1))
            return failure;
    }
    if (const int r = avcodec_send_frame(s.video, nullptr); r < 0)
        return ffmpegError(r, QT_TRANSLATE_NOOP("Recording", "The video encoder failed"));
    if (auto failure = s.drain(s.video, s.videoStream, s.videoPacket))
        return failure;
    if (s.audio) {
        if (!s.pendingAudio.empty()) {
            const int frames = int(s.pendingAudio.size() / s.channels);
            if (auto failure = s.encodeAudioFrame(s.pendingAudio.data(), frames))
                return failure;
            s.pendingAudio.clear();
        }
        if (const int r = avcodec_send_frame(s.audio, nullptr); r < 0)
            return ffmpegError(r, QT_TRANSLATE_NOOP("Recording", "The audio encoder failed"));
        if (auto failure = s.drain(s.audio, s.audioStream, s.audioPacket))
            return failure;
    }
    if (const int r = av_write_trailer(s.format); r < 0)
        return fileError(r, QT_TRANSLATE_NOOP("Recording", "Could not finish the movie"));
    if (s.format->pb && s.format->pb->error < 0)
        return fileError(s.format->pb->error, QT_TRANSLATE_NOOP("Recording", "Could not finish the movie"));
    s.fileOpen = false;
    if (const int r = avio_closep(&s.format->pb); r < 0)
        return fileError(r, QT_TRANSLATE_NOOP("Recording", "Could not finish the movie"));
    return std::nullopt;
}

} // namespace vantrel::media
