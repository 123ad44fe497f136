// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Expected.h"

#include <QPoint>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QSizeF>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace vantrel::wayland {

// One picture of a screen-cast stream, already cut to the recorded area. Valid while the frame
// handler runs.
struct StreamFrame
{
    const uint8_t* pixels = nullptr; // the area's top-left pixel, 32 bits a pixel
    int stride = 0; // bytes from one row to the next
    QSize size; // the area, pixels
    bool redFirst = false; // RGBX bytes rather than BGRX
    int64_t timestampNs = 0; // the stream's presentation time; 0 when it gives none
    // The pointer when the stream sends it beside the picture (cursor metadata): premultiplied
    // BGRA rows, and where its top-left pixel goes, relative to the area. No pixels: no pointer.
    const uint8_t* cursorPixels = nullptr;
    QSize cursorSize;
    QPoint cursorPosition;
};

// How a stream ended by itself.
enum class StreamEnd {
    lost, // the screen's stream went away (sharing stopped, the screen was removed)
    failed, // PipeWire or the stream reported an error
};

// Reads a PipeWire video stream (the screen-cast portal's) on PipeWire's own thread: shared
// memory buffers, and DMA-BUF ones where the producer offers linear ones that can be mapped
// without a GPU (otherwise it falls back to shared memory). Frames arrive as the producer sends
// them, usually only when the screen changed.
class PipeWireFrameSource
{
public:
    struct Options
    {
        int fd = -1; // a connection to PipeWire (the portal's), not taken; -1: the default daemon
        uint32_t node = 0xffffffff; // the stream's node; any video source when unset
        // The recorded area in logical coordinates of the monitor, which spans `logicalSize`;
        // the stream shows the monitor in pixels, so the area is scaled by the ratio of the two.
        // An empty logical size takes the area in stream pixels; an empty area, the whole stream.
        QRectF area;
        QSizeF logicalSize;
        bool evenSize = true; // trims the cut to even width and height
        int framesPerSecond = 60;
        int negotiateTimeoutMs = 5000;
    };
    using FrameHandler = std::function<void(const StreamFrame&)>;
    using EndHandler = std::function<void(StreamEnd, const Error&)>;

    // Connects and waits until the stream's format is agreed. The handlers run on PipeWire's
    // thread; the end handler at most once.
    static Expected<std::unique_ptr<PipeWireFrameSource>> open(
        const Options& options, FrameHandler frames, EndHandler ends);
    ~PipeWireFrameSource();
    PipeWireFrameSource(const PipeWireFrameSource&) = delete;
    PipeWireFrameSource& operator=(const PipeWireFrameSource&) = delete;

    // Frames flow only after `start`, so that the consumer is ready for the first.
    void start();
    // No handler runs once this returns.
    void stop();

    QSize streamSize() const;
    QRect cutArea() const; // stream pixels
    bool usesDmaBuf() const;

    struct State;

private:
    PipeWireFrameSource();
    std::unique_ptr<State> m_state;
};

// The part of a stream of `streamSize` pixels that shows `area` of a monitor spanning
// `logicalSize`, within the stream, optionally trimmed to even width and height.
QRect streamArea(const QRectF& area, const QSizeF& logicalSize, const QSize& streamSize, bool evenSize);

// Copies `frame` into `target` (BGRX rows of `frame.size`, `targetStride` apart), with the
// pointer drawn over it when the frame carries one and `drawCursor` asks for it.
void copyFrame(const StreamFrame& frame, uint8_t* target, int targetStride, bool drawCursor);

} // namespace vantrel::wayland
