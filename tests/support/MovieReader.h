// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace vantrel::test {

// An MP4's movie header keeps its duration in whole milliseconds, rounded up.
constexpr double mp4DurationRounding = 0.001; // seconds

// What a movie file holds, read back with FFmpeg the way a player would.
struct Movie
{
    QString error; // empty when the whole file was read
    QString videoCodec; // "h264"
    QString pixelFormat; // "yuv420p"
    QSize size;
    double frameRate = 0; // the stream's nominal rate
    double duration = 0; // seconds, the container's
    int videoFrames = 0; // frames decoded
    double lastFrameTime = -1; // seconds
    bool indexAtFront = false; // "moov" before "mdat"

    struct Audio
    {
        QString codec;
        int sampleRate = 0;
        int channels = 0;
        double duration = 0;
        std::vector<float> mono; // decoded, channels averaged
    };
    std::optional<Audio> audio;
};

// Each decoded video frame: its presentation time in seconds and its pixels (RGB32, converted
// with the colour matrix and range the stream is tagged with).
using FrameVisitor = std::function<void(double seconds, const QImage& picture)>;

Movie readMovie(const QString& path, const FrameVisitor& visitor = {}, bool decodeAudio = false);

} // namespace vantrel::test
