// SPDX-License-Identifier: GPL-3.0-or-later
#include "wayland/PipeWireScreenRecording.h"

#include "SystemLog.h"
#include "media/EncodingSession.h"
#include "media/Mp4Writer.h"
#include "media/PulseAudioCapture.h"
#include "wayland/PipeWireFrameSource.h"
#include "wayland/ScreenCastPortal.h"

#include <QCoreApplication>
#include <QDBusUnixFileDescriptor>
#include <QFile>
#include <QPointer>
#include <QScreen>

#include <cmath>
#include <cstdlib>

namespace vantrel {

namespace {

using Clock = std::chrono::steady_clock;
using media::postToMainThread;

// Pictures waiting for the encoder; a picture that finds none free is skipped.
constexpr int queueDepth = 4;

Error castError(const QString& description)
{
    return Error {.domain = QStringLiteral("ScreenCast"), .description = description};
}

// Steady-clock time in nanoseconds: CLOCK_MONOTONIC, the clock of PipeWire's timestamps.
int64_t steadyNs(Clock::time_point time)
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
}

class PipeWireRecordingSession;

// Where the stream's handlers find the session once it exists. They run only between the
// source's start and stop, which the session brackets, so a plain pointer is enough.
struct SessionSlot
{
    std::atomic<PipeWireRecordingSession*> session {nullptr};
};

struct Prepared
{
    std::unique_ptr<wayland::PipeWireFrameSource> source;
    media::EncodingSession::Parts parts;
};

// Pictures as the stream sends them (usually only when the screen changed), each shown from
// the interval of its timestamp; the encoder shows the previous picture again while none come.
class PipeWireRecordingSession : public media::EncodingSession
{
public:
    PipeWireRecordingSession(const RecordingRequest& request, Prepared prepared, bool drawCursor,
        std::shared_ptr<SessionSlot> slot, QDBusConnection bus, QString portalSession)
        : EncodingSession(request, std::move(prepared.parts))
        , m_size(prepared.parts.sourceSize)
        , m_source(std::move(prepared.source))
        , m_drawCursor(drawCursor)
        , m_slot(std::move(slot))
        , m_bus(std::move(bus))
        , m_portalSession(std::move(portalSession))
        , m_intervalNs(1e9 / request.framesPerSecond)
    {
        m_stride = m_size.width() * 4;
        for (int i = 0; i < queueDepth; ++i) {
            m_buffers.emplace_back(size_t(m_stride) * size_t(m_size.height()));
            m_free.push_back(i);
        }
    }

    ~PipeWireRecordingSession() override
    {
        shutDown(Clock::now());
        m_slot->session = nullptr;
        m_source.reset();
        m_watch.reset();
        wayland::ScreenCastPortal::close(m_bus, m_portalSession);
    }

    void begin()
    {
        if (!m_portalSession.isEmpty()) {
            std::weak_ptr<EncodingSession> weak = weak_from_this();
            m_watch = std::make_unique<wayland::PortalSessionWatch>(m_bus, m_portalSession, [this, weak] {
                if (weak.lock())
                    sourceLost(castError(QCoreApplication::translate(
                        "PipeWireScreenRecording", "The desktop stopped sharing the screen.")));
            });
        }
        // Pictures late by this many intervals are taken for a screen that did not change.
        const int idleLag = std::max(3, request().framesPerSecond / 10);
        startEncoding(true, idleLag);
        m_originNs = steadyNs(origin());
        m_slot->session = this;
        m_source->start();
    }

    // PipeWire's thread.
    void take(const wayland::StreamFrame& frame)
    {
        if (stopping())
            return;
        if (frame.size.width() < m_size.width() || frame.size.height() < m_size.height()) {
            sourceLost(castError(QCoreApplication::translate("Recording", "The recorded screen changed its size")));
            return;
        }
        const int64_t now = steadyNs(Clock::now());
        int64_t made = now;
        if (frame.timestampNs > 0) {
            // Timestamps on another clock than this one keep their spacing, anchored at the first.
            if (!m_offset)
                m_offset = std::llabs(frame.timestampNs - now) < 2'000'000'000 ? 0 : now - frame.timestampNs;
            made = frame.timestampNs + *m_offset;
        }
        // Each picture shows from the interval in which it was made (as on X11, where the
        // screen is read at the interval's start).
        const double position = double(made - m_originNs) / m_intervalNs;
        int64_t tick = std::max(int64_t(0), int64_t(std::floor(position)));
        if (tick <= m_lastTick) {
            // Two pictures in one interval: the later one shows from the next interval when it
            // was made in the second half of this one (a jittery stream at the movie's rate),
            // else (a stream faster than the movie) it is left out. So a picture is never shown
            // more than half an interval after it was made.
            if (position < double(m_lastTick) + 0.5)
                return;
            tick = m_lastTick + 1;
        }
        int buffer = -1;
        {
            std::lock_guard lock(m_freeLock);
            if (!m_free.empty()) {
                buffer = m_free.back();
                m_free.pop_back();
            }
        }
        if (buffer < 0) {
            ++m_dropped;
            return;
        }
        m_lastTick = tick;
        m_ticks = tick + 1;
        ++m_grabs;
        wayland::StreamFrame cut = frame;
        cut.size = m_size;
        uint8_t* pixels = m_buffers[size_t(buffer)].data();
        wayland::copyFrame(cut, pixels, m_stride, m_drawCursor);
        queue({buffer, pixels, m_stride, {media::RowBand {0, m_size.height()}}, tick});
    }

    // PipeWire's thread.
    void streamEnded(wayland::StreamEnd how, const Error& error)
    {
        if (how == wayland::StreamEnd::failed)
            fail(error);
        else
            sourceLost(error);
    }

private:
    void stopCapture() override
    {
        if (m_source)
            m_source->stop();
    }

    void releaseBuffer(int buffer) override
    {
        std::lock_guard lock(m_freeLock);
        m_free.push_back(buffer);
    }

    QSize m_size;
    int m_stride = 0;
    std::unique_ptr<wayland::PipeWireFrameSource> m_source;
    bool m_drawCursor;
    std::shared_ptr<SessionSlot> m_slot;
    QDBusConnection m_bus;
    QString m_portalSession;
    std::unique_ptr<wayland::PortalSessionWatch> m_watch;
    double m_intervalNs;
    int64_t m_originNs = 0;

    std::vector<std::vector<uint8_t>> m_buffers;
    std::mutex m_freeLock;
    std::vector<int> m_free;

    // PipeWire's thread only.
    std::optional<int64_t> m_offset;
    int64_t m_lastTick = -1;
};

// Off the main thread: the stream, the encoder, the sound and the file.
Expected<Prepared> prepare(const RecordingRequest& request, const wayland::PipeWireFrameSource::Options& options,
    const std::shared_ptr<SessionSlot>& slot)
{
    Prepared prepared;
    auto source = wayland::PipeWireFrameSource::open(
        options,
        [slot](const wayland::StreamFrame& frame) {
            if (PipeWireRecordingSession* session = slot->session.load())
                session->take(frame);
        },
        [slot](wayland::StreamEnd how, const Error& error) {
            if (PipeWireRecordingSession* session = slot->session.load())
                session->streamEnded(how, error);
        });
    if (!source)
        return source.error();
    prepared.source = std::move(*source);
    // At the screen's own scale the movie is made of the area's pixels as they are (the odd
    // last row or column left out); otherwise every picture is scaled to the movie's size.
    const QSize native = prepared.source->cutArea().size();
    const QSize even(native.width() & ~1, native.height() & ~1);
    prepared.parts.sourceSize = even == request.pixelSize ? even : native;
    if (prepared.parts.sourceSize.width() < 2 || prepared.parts.sourceSize.height() < 2)
        return castError(QCoreApplication::translate("Recording", "The recording area is not on the screen"));

    if (std::optional<Error> failure = media::EncodingSession::openWriterAndSound(request, prepared.parts))
        return *failure;
    return prepared;
}

} // namespace

struct PipeWireScreenRecording::Stream
{
    QDBusUnixFileDescriptor pipewire; // none: the default daemon
    uint32_t node = 0;
    QSizeF logicalSize;
    bool drawCursor = false;
    QString portalSession;
};

PipeWireScreenRecording::PipeWireScreenRecording(QDBusConnection bus)
    : m_bus(std::move(bus))
{ }

PipeWireScreenRecording::~PipeWireScreenRecording() = default;

void PipeWireScreenRecording::start(const RecordingRequest& request, StartCompletion completion)
{
    if (!request.screen || request.framesPerSecond < 1) {
        completion(castError(QCoreApplication::translate("Recording", "The screen cannot be recorded")));
        return;
    }
    QPointer<const QScreen> screen(request.screen);
    const QDBusConnection bus = m_bus;
    std::weak_ptr<bool> alive = m_alive;
    wayland::ScreenCastPortal(m_bus).request(request.screen->geometry(), request.showCursor,
        [this, alive, bus, request, screen, completion](Expected<wayland::ScreenCastGrant> grant) {
            if (!alive.lock()) {
                if (grant)
                    wayland::ScreenCastPortal::close(bus, grant->session);
                return;
            }
            if (!grant)
                return completion(grant.error());
            if (!screen) {
                wayland::ScreenCastPortal::close(bus, grant->session);
                return completion(castError(QCoreApplication::translate("Recording", "The recorded screen went away")));
            }
            auto stream = std::make_shared<Stream>();
            stream->pipewire = grant->pipewire;
            stream->node = grant->node;
            stream->logicalSize = QSizeF(grant->size.value_or(screen->geometry().size()));
            stream->drawCursor = request.showCursor && grant->cursor == wayland::CastCursor::metadata;
            stream->portalSession = grant->session;
            startStream(request, std::move(stream), completion);
        });
}

void PipeWireScreenRecording::startFromNode(
    const RecordingRequest& request, uint32_t node, QSizeF logicalSize, StartCompletion completion)
{
    auto stream = std::make_shared<Stream>();
    stream->node = node;
    stream->logicalSize = logicalSize;
    stream->drawCursor = request.showCursor;
    startStream(request, std::move(stream), std::move(completion));
}

void PipeWireScreenRecording::startStream(
    const RecordingRequest& request, std::shared_ptr<Stream> stream, StartCompletion completion)
{
    wayland::PipeWireFrameSource::Options options;
    options.fd = stream->pipewire.isValid() ? stream->pipewire.fileDescriptor() : -1;
    options.node = stream->node;
    options.area = request.area;
    options.logicalSize = stream->logicalSize;
    options.evenSize = false;
    options.framesPerSecond = request.framesPerSecond;

    const QDBusConnection bus = m_bus;
    m_starts.run([request, options, stream, bus, completion] {
        auto slot = std::make_shared<SessionSlot>();
        auto prepared = std::make_shared<Expected<Prepared>>(prepare(request, options, slot));
        postToMainThread([request, prepared, stream, bus, slot, completion] {
            if (!*prepared) {
                wayland::ScreenCastPortal::close(bus, stream->portalSession);
                completion(prepared->error());
                return;
            }
            auto session = std::make_shared<PipeWireRecordingSession>(
                request, std::move(prepared->value()), stream->drawCursor, slot, bus, stream->portalSession);
            session->begin();
            completion(std::shared_ptr<RecordingSession>(session));
        });
    });
}

} // namespace vantrel
