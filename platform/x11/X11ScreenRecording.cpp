// SPDX-License-Identifier: GPL-3.0-or-later
#include "x11/X11ScreenRecording.h"

#include "SystemLog.h"
#include "media/EncodingSession.h"
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

namespace vantrel {

namespace {

using Clock = std::chrono::steady_clock;
using media::postToMainThread;

// Frames waiting for the encoder; the capture thread never waits for it, it skips a frame.
constexpr int queueDepth = 4;

struct Prepared
{
    std::unique_ptr<x11::X11FrameSource> source;
    media::EncodingSession::Parts parts;
};

// Reads the area on a steady clock: at each interval what changed, or the previous picture
// again when nothing did.
class X11RecordingSession : public media::EncodingSession
{
public:
    X11RecordingSession(const RecordingRequest& request, Prepared prepared)
        : EncodingSession(request, std::move(prepared.parts))
        , m_source(std::move(prepared.source))
        , m_interval(interval())
    { }

    ~X11RecordingSession() override { shutDown(Clock::now()); }

    void begin()
    {
        startEncoding();
        m_captureThread = std::thread([this] { captureLoop(); });
    }

private:
    void stopCapture() override
    {
        if (m_captureThread.joinable())
            m_captureThread.join();
    }

    void releaseBuffer(int buffer) override { m_source->release(buffer); }

    void captureLoop()
    {
        const Clock::time_point start = origin();
        int64_t next = 0;
        while (!stopping()) {
            std::this_thread::sleep_until(start + next * m_interval);
            if (stopping())
                break;
            const Clock::time_point now = Clock::now();
            const int64_t tick = std::max(next, int64_t((now - start) / m_interval));
            // Intervals that passed while this thread was late are frames the movie lacks.
            m_dropped += tick - next;
            m_ticks = tick + 1;
            x11::GrabbedFrame frame;
            Expected<x11::X11FrameSource::Outcome> outcome = m_source->capture(now, frame);
            if (!outcome) {
                sourceLost(outcome.error());
                break;
            }
            switch (*outcome) {
            case x11::X11FrameSource::Outcome::frame:
                ++m_grabs;
                queue({frame.buffer, frame.pixels, frame.stride, std::move(frame.bands), tick});
                break;
            case x11::X11FrameSource::Outcome::unchanged:
                // The same picture again keeps the frame rate constant, which video editors
                // expect; the encoder makes it out of skipped blocks for next to nothing.
                if (queued() >= 2 * queueDepth) {
                    ++m_dropped;
                    break;
                }
                queue({-1, nullptr, 0, {}, tick});
                break;
            case x11::X11FrameSource::Outcome::busy:
                ++m_grabs;
                ++m_dropped;
                break;
            }
            next = tick + 1;
        }
    }

    std::unique_ptr<x11::X11FrameSource> m_source;
    Clock::duration m_interval;
    std::thread m_captureThread;
};

// Opens everything a recording needs; runs off the main thread.
Expected<Prepared> prepare(const RecordingRequest& request, const x11::X11FrameSource::Options& options)
{
    Prepared prepared;
    Expected<std::unique_ptr<x11::X11FrameSource>> source = x11::X11FrameSource::open(options);
    if (!source)
        return source.error();
    prepared.source = std::move(*source);
    prepared.parts.sourceSize = prepared.source->size();

    if (std::optional<Error> failure = media::EncodingSession::openWriterAndSound(request, prepared.parts))
        return *failure;
    return prepared;
}

} // namespace

X11ScreenRecording::X11ScreenRecording(X11ScreenGrabber* grabber)
    : m_grabber(grabber)
{ }

X11ScreenRecording::~X11ScreenRecording() = default;

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

    m_starts.run([request, options, completion = std::move(completion)] {
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
    });
}

} // namespace vantrel
