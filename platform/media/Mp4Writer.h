// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Expected.h"

#include <QSize>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

namespace vantrel::media {

// A picture in 8-bit YUV 4:2:0 (BT.601, limited range), planes owned by the writer.
struct PlanarPicture
{
    uint8_t* y = nullptr;
    uint8_t* u = nullptr;
    uint8_t* v = nullptr;
    int yStride = 0;
    int uStride = 0;
    int vStride = 0;
    int width = 0;
    int height = 0;
};

struct VideoSettings
{
    QSize size; // pixels, both even
    int framesPerSecond = 60;
};

struct AudioSettings
{
    int sampleRate = 48000;
    int channels = 2;
};

// H.264 (libx264) and AAC in an MPEG-4 file with its index at the front. Video timestamps are
// frame intervals of the capture clock: a frame written at tick 7 after one at tick 5 shows for
// two intervals. Video and audio may be written from different threads.
class Mp4Writer
{
public:
    static Expected<std::unique_ptr<Mp4Writer>> open(
        const QString& path, const VideoSettings& video, const std::optional<AudioSettings>& audio);
    ~Mp4Writer();
    Mp4Writer(const Mp4Writer&) = delete;
    Mp4Writer& operator=(const Mp4Writer&) = delete;

    // The picture the next video frame is made from. It keeps its pixels between frames, so a
    // caller only converts what changed. Video thread only.
    PlanarPicture canvas();
    // Encodes the canvas as the frame shown from `tick` on; ticks must increase.
    std::optional<Error> writeVideo(int64_t tick);
    int64_t lastVideoTick() const { return m_lastTick; }

    // Appends interleaved float samples to the audio track (silence before the first call is
    // not written: the track starts where the video starts). Audio thread only.
    std::optional<Error> writeAudio(const float* samples, int frames);
    bool hasAudio() const;

    // Flushes both encoders, shows the last frame until `endTick` and finalises the file (index
    // moved to the front). Call after the last write on every thread.
    std::optional<Error> finish(int64_t endTick);

private:
    Mp4Writer();
    struct State;
    std::unique_ptr<State> m_state;
    int64_t m_lastTick = -1;
};

} // namespace vantrel::media
