// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Expected.h"
#include "media/RowBand.h"

#include <QRect>

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

namespace vantrel::x11 {

// Rows [top, bottom) of the recorded area, both even.
using RowBand = media::RowBand;

// A grabbed frame: the rows that changed since the previous frame, read into one of the
// source's buffers (BGRX bytes, one row every `stride` bytes, the whole area's size). Rows
// outside the bands hold stale pixels.
struct GrabbedFrame
{
    int buffer = -1;
    const uint8_t* pixels = nullptr;
    int stride = 0;
    std::vector<RowBand> bands;
};

// Merges bands (in any order, overlapping or not) into sorted, disjoint, even-aligned bands
// within [0, height); bands closer than `joinGap` rows become one, and when they cover most of
// the height they become the whole height. `height` is even.
std::vector<RowBand> mergeBands(std::vector<RowBand> bands, int height, int joinGap = 16);

// Reads a rectangle of the screen for the recorder on its own X connection and thread: only
// the rows that changed (XDamage), through a small pool of shared-memory buffers (plain
// GetImage without MIT-SHM), with the pointer (XFixes) and click highlights (XInput 2 raw
// button events) drawn in. Vantrel's own chrome windows that reach into the area are replaced
// by what lies beneath them (XComposite), so they never show in a recording.
class X11FrameSource
{
public:
    using Clock = std::chrono::steady_clock;

    struct Options
    {
        QRect nativeArea; // root window pixels
        bool showCursor = true;
        bool showClicks = true;
        double pixelsPerPoint = 1.0; // sizes of the click highlight
        int buffers = 4;
        // Windows made by this X client (the application's connection) with the chrome role
        // are left out.
        uint32_t ownResourceBase = 0;
        uint32_t ownResourceMask = 0;
    };

    enum class Outcome {
        frame, // `frame` holds what changed
        unchanged, // nothing on screen changed: the previous frame goes on
        busy, // every buffer is still being encoded: the change waits for the next tick
    };

    static Expected<std::unique_ptr<X11FrameSource>> open(const Options& options);
    ~X11FrameSource();
    X11FrameSource(const X11FrameSource&) = delete;
    X11FrameSource& operator=(const X11FrameSource&) = delete;

    // Capture thread. An error means the screen can no longer be read (the server went away,
    // the area left the screen).
    Expected<Outcome> capture(Clock::time_point now, GrabbedFrame& frame);
    // Any thread: the buffer may be reused.
    void release(int buffer);

    // The area actually read: the requested one within the root window.
    QSize size() const;
    bool usesSharedMemory() const;
    bool tracksDamage() const;

private:
    X11FrameSource();
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace vantrel::x11
