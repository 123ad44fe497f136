// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ScreenRecording.h"
#include "media/FrameConversion.h"
#include "media/RowBand.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace vantrel::media {

class Mp4Writer;
class PulseAudioCapture;

// Posts work to the application's main thread (dropped when there is no application).
void postToMainThread(std::function<void()> work);

// What every recording shares whatever reads the screen: the encoder thread that converts and
// encodes queued pictures at their ticks (frame intervals of the capture clock since `origin`),
// the sound, the end of the movie at the interval nearest to the stop, and the reports of how it
// ended. A screen reader derives from it, queues pictures from its own thread, and stops in its
// `stopCapture`. Derived destructors call `shutDown` first, so no thread reaches a member that
// is gone.
class EncodingSession : public RecordingSession, public std::enable_shared_from_this<EncodingSession>
{
public:
    using Clock = std::chrono::steady_clock;

    struct Parts
    {
        std::unique_ptr<Mp4Writer> writer;
        std::unique_ptr<PulseAudioCapture> audio; // none for a silent movie
        QSize sourceSize; // pixels of the queued pictures
    };

    // Opens the movie file and, where the request asks for sound and some can be had, the sound
    // (a recording goes on silent when none can: that is logged). Runs off the main thread; on a
    // failure no file is left.
    static std::optional<Error> openWriterAndSound(const RecordingRequest& request, Parts& parts);

    EncodingSession(const RecordingRequest& request, Parts parts);
    ~EncodingSession() override;

    void setEndHandler(EndHandler handler) override;
    void finish(Completion completion) override;

protected:
    // A picture to show from `tick` on: the bands of `pixels` (BGRX) that changed since the
    // previous picture; no pixels for the previous picture again. `buffer` goes back to the
    // reader through `releaseBuffer` once converted.
    struct Item
    {
        int buffer = -1;
        const uint8_t* pixels = nullptr;
        int stride = 0;
        std::vector<RowBand> bands;
        int64_t tick = 0;
    };

    // Starts the sound and the encoder; the clock's origin is now. The reader starts after.
    // `repeatWhenIdle`: for readers that send pictures only when the screen changes, the encoder
    // shows the previous picture again at each interval that passed `idleLag` ago without one, so
    // the movie keeps its frame rate.
    void startEncoding(bool repeatWhenIdle = false, int idleLag = 0);
    // Stops the reader, then the encoder and the sound. Idempotent.
    void shutDown(Clock::time_point end);

    // Reader side, any thread.
    void queue(Item item);
    size_t queued();
    bool stopping() const { return m_stopCapture.load(); }
    Clock::time_point origin() const { return m_origin; }
    Clock::duration interval() const { return m_interval; }
    const RecordingRequest& request() const { return m_request; }
    // The screen can no longer be read: what was recorded so far can be finalised.
    void sourceLost(const Error& error) { reportEnd(RecordingEnd::sourceLost, error); }
    // The encoder, the disk or the stream failed: stop capturing and say so once.
    void fail(const Error& error);

    std::atomic<long long> m_ticks {0};
    std::atomic<long long> m_grabs {0};
    std::atomic<long long> m_dropped {0};

private:
    virtual void stopCapture() = 0;
    virtual void releaseBuffer(int buffer) = 0;

    void encodeLoop();
    std::optional<Error> repeatUpTo(int64_t tick);
    Expected<RecordingResult> finalise();
    void reportEnd(RecordingEnd how, const Error& error);

    RecordingRequest m_request;
    std::unique_ptr<Mp4Writer> m_writer;
    std::unique_ptr<PulseAudioCapture> m_audio;
    FrameConverter m_converter;
    Clock::duration m_interval;
    Clock::time_point m_origin;
    EndHandler m_endHandler;
    bool m_repeatWhenIdle = false;
    int m_idleLag = 0;

    std::thread m_encodeThread;
    std::thread m_finisher;
    std::mutex m_queueLock;
    std::condition_variable m_queueReady;
    std::deque<Item> m_queue;
    bool m_stopEncoding = false;
    bool m_begun = false; // the clock has its origin
    bool m_stopped = false;
    bool m_finalised = false;

    std::atomic<bool> m_stopCapture {false};
    std::atomic<int64_t> m_endTick {std::numeric_limits<int64_t>::max()};
    std::atomic<bool> m_failed {false};
    std::atomic<bool> m_endReported {false};
    std::mutex m_failureLock;
    std::optional<Error> m_failure;
    std::atomic<long long> m_encoded {0};
};

} // namespace vantrel::media
