// SPDX-License-Identifier: GPL-3.0-or-later
#include "x11/X11ScreenRecording.h"

#include "SystemLog.h"
#include "media/FrameConversion.h"
#include "media/Mp4Writer.h"
#include "media/PulseAudioCapture.h"
#include "x11/X11Connection.h"
#include "x11/X11FrameSource.h"
#include "x11/X11ScreenGrabber.h"

#include <QCoreApplication>
#include <QFile>
#include <QScreen>

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <limits>

namespace vantrel {

namespace {

using Clock = std::chrono::steady_clock;

// Frames waiting for the encoder; the capture thread never waits for it, it skips a frame.
constexpr int queueDepth = 4;

void postToMainThread(std::function<void()> work)
{
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, std::move(work), Qt::QueuedConnection);
}

struct Prepared
{
    std::unique_ptr<x11::X11FrameSource> source;
    std::unique_ptr<media::Mp4Writer> writer;
    std::unique_ptr<media::PulseAudioCapture> audio;
    QSize sourceSize;
};

class X11RecordingSession : public RecordingSession, public std::enable_shared_from_this<X11RecordingSession>
{
public:
    X11RecordingSession(const RecordingRequest& request, Prepared prepared)
        : m_request(request)
        , m_source(std::move(prepared.source))
        , m_writer(std::move(prepared.writer))
        , m_audio(std::move(prepared.audio))
        , m_converter(prepared.sourceSize)
        , m_interval(
              std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / request.framesPerSecond)))
    { }

    ~X11RecordingSession() override
    {
        stopThreads(Clock::now());
        if (m_finisher.joinable()) {
            // Only when no event loop took the finished session over.
            if (m_finisher.get_id() == std::this_thread::get_id())
                m_finisher.detach();
            else
                m_finisher.join();
        }
        if (!m_finalised) {
            m_writer.reset();
            QFile::remove(m_request.outputPath);
        }
    }

    void begin()
    {
        m_origin = Clock::now();
        if (m_audio) {
            std::weak_ptr<X11RecordingSession> weak = weak_from_this();
            media::Mp4Writer* writer = m_writer.get();
            m_audio->start(
                m_origin, [writer](const float* samples, int frames) { return writer->writeAudio(samples, frames); },
                [weak](const Error& error) {
                    if (auto self = weak.lock())
                        self->fail(error);
                });
        }
        m_encodeThread = std::thread([this] { encodeLoop(); });
        m_captureThread = std::thread([this] { captureLoop(); });
    }

    void setEndHandler(EndHandler handler) override { m_endHandler = std::move(handler); }

    void finish(Completion completion) override
    {
        if (m_finisher.joinable())
            return;
        const Clock::time_point end = Clock::now();
        // The movie ends at the interval nearest to now: frames of later intervals, captured
        // while this call was on its way, are left out.
        m_endTick
            = std::max(int64_t(1), int64_t(std::llround((end - m_origin) / std::chrono::duration<double>(m_interval))));
        m_stopCapture = true;
        m_finisher = std::thread([self = shared_from_this(), end, completion = std::move(completion)]() mutable {
            self->stopThreads(end);
            auto result = std::make_shared<Expected<RecordingResult>>(self->finalise());
            // The main thread holds the last reference from here on, so the session ends there.
            postToMainThread([self = std::move(self), result, completion = std::move(completion)] {
                self->m_endHandler = nullptr;
                completion(std::move(*result));
            });
        });
    }

private:
    struct Item
    {
        x11::GrabbedFrame frame;
        int64_t tick = 0;
    };

    void captureLoop()
    {
        int64_t next = 0;
        while (!m_stopCapture.load()) {
            std::this_thread::sleep_until(m_origin + next * m_interval);
            if (m_stopCapture.load())
                break;
            const Clock::time_point now = Clock::now();
            const int64_t tick = std::max(next, int64_t((now - m_origin) / m_interval));
            // Intervals that passed while this thread was late are frames the movie lacks.
            m_dropped += tick - next;
            m_ticks = tick + 1;
            x11::GrabbedFrame frame;
            Expected<x11::X11FrameSource::Outcome> outcome = m_source->capture(now, frame);
            if (!outcome) {
                end(RecordingEnd::sourceLost, outcome.error());
                break;
            }
            switch (*outcome) {
            case x11::X11FrameSource::Outcome::frame: {
                ++m_grabs;
                std::lock_guard lock(m_queueLock);
                m_queue.push_back({std::move(frame), tick});
                m_queueReady.notify_one();
                break;
            }
            case x11::X11FrameSource::Outcome::unchanged: {
                // The same picture again keeps the frame rate constant, which video editors
                // expect; the encoder makes it out of skipped blocks for next to nothing.
                std::lock_guard lock(m_queueLock);
                if (m_queue.size() >= 2 * queueDepth) {
                    ++m_dropped;
                    break;
                }
                m_queue.push_back({x11::GrabbedFrame {}, tick});
                m_queueReady.notify_one();
                break;
            }
            case x11::X11FrameSource::Outcome::busy:
                ++m_grabs;
                ++m_dropped;
                break;
            }
            next = tick + 1;
        }
    }

    void encodeLoop()
    {
        for (;;) {
            Item item;
            {
                std::unique_lock lock(m_queueLock);
                m_queueReady.wait(lock, [&] { return !m_queue.empty() || m_stopEncoding; });
                if (m_queue.empty())
                    return;
                item = std::move(m_queue.front());
                m_queue.pop_front();
            }
            if (item.frame.buffer >= 0) {
                const media::PlanarPicture picture = m_writer->canvas();
                for (const x11::RowBand& band : item.frame.bands)
                    m_converter.convert(item.frame.pixels, item.frame.stride, band.top, band.bottom, picture);
                m_source->release(item.frame.buffer);
            }
            if (m_failed.load() || item.tick >= m_endTick.load())
                continue;
            if (auto failure = m_writer->writeVideo(item.tick)) {
                fail(*failure);
                continue;
            }
            ++m_encoded;
        }
    }

    void stopThreads(Clock::time_point end)
    {
        m_stopCapture = true;
        if (m_captureThread.joinable())
            m_captureThread.join();
        {
            std::lock_guard lock(m_queueLock);
            m_stopEncoding = true;
            m_queueReady.notify_all();
        }
        if (m_encodeThread.joinable())
            m_encodeThread.join();
        if (m_audio && !m_audioStopped) {
            m_audio->stop(end);
            m_audioStopped = true;
        }
    }

    Expected<RecordingResult> finalise()
    {
        if (auto failure = failure_())
            return *failure;
        // The movie lasts as long as the recording did, to the nearest frame interval.
        const int64_t endTick = std::max(m_writer->lastVideoTick() + 1, m_endTick.load());
        const bool hasAudio = m_writer->hasAudio();
        if (auto failure = m_writer->finish(endTick)) {
            m_writer.reset();
            QFile::remove(m_request.outputPath);
            return *failure;
        }
        m_writer.reset();
        m_finalised = true;
        RecordingResult result;
        result.path = m_request.outputPath;
        result.pixelSize = m_request.pixelSize;
        result.seconds = double(endTick) / m_request.framesPerSecond;
        result.ticks = m_ticks.load();
        result.grabs = m_grabs.load();
        result.encodedFrames = m_encoded.load();
        result.droppedFrames = m_dropped.load();
        result.hasAudio = hasAudio;
        return result;
    }

    std::optional<Error> failure_()
    {
        std::lock_guard lock(m_failureLock);
        return m_failure;
    }

    // The encoder or the disk failed: stop capturing and say so once.
    void fail(const Error& error)
    {
        {
            std::lock_guard lock(m_failureLock);
            if (m_failure)
                return;
            m_failure = error;
        }
        m_failed = true;
        m_stopCapture = true;
        end(RecordingEnd::failed, error);
    }

    void end(RecordingEnd how, const Error& error)
    {
        if (m_endReported.exchange(true))
            return;
        std::weak_ptr<X11RecordingSession> weak = weak_from_this();
        postToMainThread([weak, how, error] {
            auto self = weak.lock();
            if (!self || !self->m_endHandler)
                return;
            EndHandler handler = std::move(self->m_endHandler);
            self->m_endHandler = nullptr;
            handler(how, error);
        });
    }

    RecordingRequest m_request;
    std::unique_ptr<x11::X11FrameSource> m_source;
    std::unique_ptr<media::Mp4Writer> m_writer;
    std::unique_ptr<media::PulseAudioCapture> m_audio;
    media::FrameConverter m_converter;
    Clock::duration m_interval;
    Clock::time_point m_origin;
    EndHandler m_endHandler;

    std::thread m_captureThread;
    std::thread m_encodeThread;
    std::thread m_finisher;
    std::mutex m_queueLock;
    std::condition_variable m_queueReady;
    std::deque<Item> m_queue;
    bool m_stopEncoding = false;
    bool m_audioStopped = false;
    bool m_finalised = false;

    std::atomic<bool> m_stopCapture {false};
    std::atomic<int64_t> m_endTick {std::numeric_limits<int64_t>::max()};
    std::atomic<bool> m_failed {false};
    std::atomic<bool> m_endReported {false};
    std::mutex m_failureLock;
    std::optional<Error> m_failure;

    std::atomic<long long> m_ticks {0};
    std::atomic<long long> m_grabs {0};
    std::atomic<long long> m_encoded {0};
    std::atomic<long long> m_dropped {0};
};

// Opens everything a recording needs; runs off the main thread.
Expected<Prepared> prepare(const RecordingRequest& request, const x11::X11FrameSource::Options& options)
{
    Prepared prepared;
    Expected<std::unique_ptr<x11::X11FrameSource>> source = x11::X11FrameSource::open(options);
    if (!source)
        return source.error();
    prepared.source = std::move(*source);
    prepared.sourceSize = prepared.source->size();

    if (request.systemAudio || request.microphone) {
        auto audio = media::PulseAudioCapture::open({request.systemAudio, request.microphone});
        if (audio)
            prepared.audio = std::move(*audio);
        else
            systemLog(QStringLiteral("Vantrel: recording without sound (%1)").arg(audio.error().description));
    }
    std::optional<media::AudioSettings> audioSettings;
    if (prepared.audio)
        audioSettings = media::AudioSettings {media::PulseAudioCapture::sampleRate, media::PulseAudioCapture::channels};
    auto writer
        = media::Mp4Writer::open(request.outputPath, {request.pixelSize, request.framesPerSecond}, audioSettings);
    if (!writer) {
        QFile::remove(request.outputPath);
        return writer.error();
    }
    prepared.writer = std::move(*writer);
    return prepared;
}

} // namespace

X11ScreenRecording::X11ScreenRecording(X11ScreenGrabber* grabber)
    : m_grabber(grabber)
{ }

X11ScreenRecording::~X11ScreenRecording()
{
    std::lock_guard lock(m_lock);
    for (StartThread& start : m_starts)
        start.thread.join();
}

void X11ScreenRecording::start(const RecordingRequest& request, StartCompletion completion)
{
    const std::optional<QRect> screenRect = m_grabber->nativeGeometry(request.screen);
    xcb_connection_t* connection = x11::connection();
    if (!screenRect || !connection || request.framesPerSecond < 1) {
        completion(Error {.domain = QStringLiteral("X11"),
            .description = QCoreApplication::translate("Recording", "The screen cannot be recorded")});
        return;
    }
    // Native pixels of the area. At the screen's own scale the movie is made of them as they are
    // (the odd last row or column left out); otherwise every frame is scaled to the movie's size.
    const double ratio = request.screen->devicePixelRatio();
    const QSize native(int(request.area.width() * ratio), int(request.area.height() * ratio));
    const QSize even(native.width() & ~1, native.height() & ~1);
    const QPoint origin(int(std::lround(request.area.x() * ratio)), int(std::lround(request.area.y() * ratio)));
    x11::X11FrameSource::Options options;
    options.nativeArea = QRect(screenRect->topLeft() + origin, even == request.pixelSize ? even : native) & *screenRect;
    options.showCursor = request.showCursor;
    options.showClicks = request.showClicks;
    options.pixelsPerPoint = ratio;
    options.buffers = queueDepth;
    const xcb_setup_t* setup = xcb_get_setup(connection);
    options.ownResourceBase = setup->resource_id_base;
    options.ownResourceMask = setup->resource_id_mask;

    std::lock_guard lock(m_lock);
    std::erase_if(m_starts, [](StartThread& start) {
        if (!start.done->load())
            return false;
        start.thread.join();
        return true;
    });
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([request, options, done, completion = std::move(completion)] {
        auto prepared = std::make_shared<Expected<Prepared>>(prepare(request, options));
        postToMainThread([request, prepared, completion] {
            if (!*prepared) {
                completion(prepared->error());
                return;
            }
            auto session = std::make_shared<X11RecordingSession>(request, std::move(prepared->value()));
            session->begin();
            completion(std::shared_ptr<RecordingSession>(session));
        });
        done->store(true);
    });
    m_starts.push_back({std::move(thread), done});
}

} // namespace vantrel
