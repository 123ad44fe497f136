// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Expected.h"

#include <QRectF>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>

class QScreen;

namespace vantrel {

// The domain of errors in writing the movie file (a full disk, a folder that cannot be written),
// as opposed to the screen, the encoder or the sound.
inline constexpr char recordingFileErrorDomain[] = "RecordingFile";

// What to record: an area of one screen into an H.264 MPEG-4 file.
struct RecordingRequest
{
    const QScreen* screen = nullptr;
    QRectF area; // points, relative to the screen's top-left corner, y down
    QSize pixelSize; // the movie's size in pixels; both even
    int framesPerSecond = 60;
    bool showCursor = true;
    bool showClicks = true;
    bool systemAudio = false; // the default output's monitor
    bool microphone = false; // the default input
    QString outputPath; // the .mp4 to write; its folder exists
};

// Counts of one finished recording, for the log and the benchmarks.
struct RecordingResult
{
    QString path;
    QSize pixelSize;
    double seconds = 0; // the movie's length
    long long ticks = 0; // frame intervals of the capture clock that passed
    long long grabs = 0; // intervals in which the screen was read (the others showed no change)
    long long encodedFrames = 0;
    long long droppedFrames = 0; // intervals missed because capture or encoding fell behind
    bool hasAudio = false;
};

// How a recording ended by itself, reported on the main thread.
enum class RecordingEnd {
    failed, // the encoder or the disk failed: the file is broken
    sourceLost, // the screen went away: what was recorded so far can be finalised
};

// One running recording. Destroying it without `finish` stops it and deletes its file.
class RecordingSession
{
public:
    using Completion = std::function<void(Expected<RecordingResult>)>;
    using EndHandler = std::function<void(RecordingEnd, const Error&)>;

    virtual ~RecordingSession() = default;

    // Stops capturing and finalises the file off the main thread; the completion runs on the
    // main thread with the finished file, or with the error that left it unusable (the file is
    // then deleted). Called once.
    virtual void finish(Completion completion) = 0;
    // Called at most once, on the main thread, when the recording ends without `finish`.
    virtual void setEndHandler(EndHandler handler) = 0;
};

// Records areas of screens: the desktop implementation, or a fake in tests.
class ScreenRecording
{
public:
    using StartCompletion = std::function<void(Expected<std::shared_ptr<RecordingSession>>)>;

    virtual ~ScreenRecording() = default;

    // Prepares the capture, the encoder, the audio and the file, then starts capturing; the
    // completion runs on the main thread with the running session or with why it could not start.
    virtual void start(const RecordingRequest& request, StartCompletion completion) = 0;
};

} // namespace vantrel
