// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Expected.h"

#include <QSize>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

namespace vantrel {

// A movie to turn into an endlessly looping GIF: the frames shown at 0, 1 ÷ fps, 2 ÷ fps … of
// the movie's length (at least one), each shown for 1 ÷ fps seconds, no wider than `maxWidth`
// and no taller than four times that (pixels, proportions kept, never enlarged).
struct GifRequest
{
    QString moviePath;
    QString gifPath; // written whole or not at all
    int framesPerSecond = 15;
    int maxWidth = 960;
};

struct GifResult
{
    QString path;
    QSize size; // pixels
    int frames = 0; // frames in the file
    int skippedFrames = 0; // times at which the movie had no picture (a truncated file)
    double movieSeconds = 0;
    // How the file came out: frames in which nothing changed, frames with a palette of their
    // own, and the file's size in bytes.
    int unchangedFrames = 0;
    int localPalettes = 0;
    qint64 bytes = 0;
};

// Movies into GIFs: the desktop implementation (FFmpeg and a palette quantiser), or a fake.
class GifEncoding
{
public:
    using Completion = std::function<void(Expected<GifResult>)>;

    virtual ~GifEncoding() = default;
    // Converts off the main thread; the completion runs on the main thread with the written
    // file, or with why there is none (no partial file is left behind).
    virtual void convert(const GifRequest& request, Completion completion) = 0;
};

// The conversion itself, on the calling thread (it starts one more for decoding). Stops with an
// error as soon as `cancelled` turns true.
Expected<GifResult> convertMovieToGif(const GifRequest& request, const std::atomic<bool>& cancelled);

// Decodes with FFmpeg on one thread while another quantises and writes, so both cores work;
// memory stays bounded whatever the movie's length. Destroying it stops conversions still
// running; their completions are then never called.
class FfmpegGifEncoding : public GifEncoding
{
public:
    FfmpegGifEncoding();
    ~FfmpegGifEncoding() override;

    void convert(const GifRequest& request, Completion completion) override;

private:
    struct State;
    std::shared_ptr<State> m_state;
};

} // namespace vantrel
