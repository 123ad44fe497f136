// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Expected.h"

#include <QSize>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace vantrel::media {

// A picture as RGBA bytes (red first, alpha 255), one row every `width × 4` bytes.
struct RgbaFrame
{
    QSize size;
    std::vector<uint8_t> pixels;

    uint8_t* row(int y) { return pixels.data() + size_t(y) * size.width() * 4; }
    const uint8_t* row(int y) const { return pixels.data() + size_t(y) * size.width() * 4; }
};

// The pictures of a movie's video track at exact times: the frame on screen at each time, as a
// player shows it (decoded in order, no nearby frame taken instead), turned upright by the
// track's rotation and scaled to the size asked for.
class MovieFrames
{
public:
    // Fails when the file cannot be read, has no video track or no decoder for it.
    static Expected<std::unique_ptr<MovieFrames>> open(const QString& path);
    ~MovieFrames();
    MovieFrames(const MovieFrames&) = delete;
    MovieFrames& operator=(const MovieFrames&) = delete;

    // The upright picture size in pixels.
    QSize size() const;
    // The video track's length (the container's when the track does not say), 0 when unknown.
    int64_t microseconds() const;

    // Receives the picture for time index ÷ fps; may keep the frame (it is not reused). False
    // stops the reading.
    using Sink = std::function<bool(int index, std::unique_ptr<RgbaFrame> frame)>;
    // Fills the frame in place; used to recycle the frames a sink handed back.
    using FramePool = std::function<std::unique_ptr<RgbaFrame>()>;

    struct Outcome
    {
        int delivered = 0;
        int skipped = 0; // times past the last picture the file holds (a truncated file)
    };

    // Decodes the pictures at times 0, 1 ÷ fps … (count − 1) ÷ fps after the first picture, in
    // order, scaled to `size`. `decoderThreads` threads decode. Stops early when `cancelled`
    // turns true or the sink says so.
    Expected<Outcome> read(int count, int framesPerSecond, QSize size, const Sink& sink,
        const std::atomic<bool>& cancelled, int decoderThreads = 1, const FramePool& pool = {});

private:
    MovieFrames();
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace vantrel::media
