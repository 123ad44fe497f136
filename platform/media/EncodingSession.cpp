// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/EncodingSession.h"

#include "SystemLog.h"
#include "media/Mp4Writer.h"
#include "media/PulseAudioCapture.h"

#include <QCoreApplication>
#include <QFile>

#include <cmath>

namespace vantrel::media {

void postToMainThread(std::function<void()> work)
{
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, std::move(work), Qt::QueuedConnection);
}

std::optional<Error> EncodingSession::openWriterAndSound(const RecordingRequest& request, Parts& parts)
{
    if (request.systemAudio || request.microphone) {
        auto audio = PulseAudioCapture::open({request.systemAudio, request.microphone});
        if (audio)
            parts.audio = std::move(*audio);
        else
            systemLog(QStringLiteral("Vantrel: recording without sound (%1)").arg(audio.error().description));
    }
    std::optional<AudioSettings> audioSettings;
    if (parts.audio)
        audioSettings = AudioSettings {PulseAudioCapture::sampleRate, PulseAudioCapture::channels};
    auto writer = Mp4Writer::open(request.outputPath, {request.pixelSize, request.framesPerSecond}, audioSettings);
    if (!writer) {
        QFile::remove(request.outputPath);
        return writer.error();
    }
    parts.writer = std::move(*writer);
    return std::nullopt;
}

EncodingSession::EncodingSession(const RecordingRequest& request, Parts parts)
    : m_request(request)
    , m_writer(std::move(parts.writer))
    , m_audio(std::move(parts.audio))
    , m_converter(parts.sourceSize)
    , m_interval(
          std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / request.framesPerSecond)))
{ }

EncodingSession::~EncodingSession()
{
    // A derived session has shut down already; this covers one that never started.
    if (m_encodeThread.joinable()) {
        {
            std::lock_guard lock(m_queueLock);
            m_stopEncoding = true;
            m_queueReady.notify_all();
        }
        m_encodeThread.join();
    }
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

void EncodingSession::startEncoding(bool repeatWhenIdle, int idleLag)
{
    m_repeatWhenIdle = repeatWhenIdle;
    m_idleLag = std::max(0, idleLag);
    // The thread first, waiting for the clock: starting a thread on a busy machine can take a
    // while, which would otherwise pass between the clock's origin and the caller's start.
    m_encodeThread = std::thread([this] {
        {
            std::unique_lock lock(m_queueLock);
            m_queueReady.wait(lock, [&] { return m_begun || m_stopEncoding; });
        }
        encodeLoop();
    });
    {
        std::lock_guard lock(m_queueLock);
        m_origin = Clock::now();
        m_begun = true;
    }
    m_queueReady.notify_all();
    if (m_audio) {
        std::weak_ptr<EncodingSession> weak = weak_from_this();
        Mp4Writer* writer = m_writer.get();
        m_audio->start(
            m_origin, [writer](const float* samples, int frames) { return writer->writeAudio(samples, frames); },
            [weak](const Error& error) {
                if (auto self = weak.lock())
                    self->fail(error);
            });
    }
}

void EncodingSession::setEndHandler(EndHandler handler)
{
    m_endHandler = std::move(handler);
}

void EncodingSession::finish(Completion completion)
{
    if (m_finisher.joinable())
        return;
    const Clock::time_point end = Clock::now();
    // The movie ends at the interval nearest to now: frames of later intervals, captured while
    // this call was on its way, are left out.
    m_endTick
        = std::max(int64_t(1), int64_t(std::llround((end - m_origin) / std::chrono::duration<double>(m_interval))));
    m_stopCapture = true;
    m_finisher = std::thread([self = shared_from_this(), end, completion = std::move(completion)]() mutable {
        self->shutDown(end);
        auto result = std::make_shared<Expected<RecordingResult>>(self->finalise());
        // The main thread holds the last reference from here on, so the session ends there.
        postToMainThread([self = std::move(self), result, completion = std::move(completion)] {
            self->m_endHandler = nullptr;
            completion(std::move(*result));
        });
    });
}

void EncodingSession::queue(Item item)
{
    std::lock_guard lock(m_queueLock);
    m_queue.push_back(std::move(item));
    m_queueReady.notify_one();
}

size_t EncodingSession::queued()
{
    std::lock_guard lock(m_queueLock);
    return m_queue.size();
}

std::optional<Error> EncodingSession::repeatUpTo(int64_t tick)
{
    // Before the first picture there is nothing to show again.
    if (m_writer->lastVideoTick() < 0)
        return std::nullopt;
    tick = std::min(tick, m_endTick.load() - 1);
    for (int64_t next = m_writer->lastVideoTick() + 1; next <= tick; ++next) {
        if (auto failure = m_writer->writeVideo(next))
            return failure;
        ++m_encoded;
    }
    return std::nullopt;
}

void EncodingSession::encodeLoop()
{
    for (;;) {
        Item item;
        bool have = false;
        {
            std::unique_lock lock(m_queueLock);
            auto ready = [&] { return !m_queue.empty() || m_stopEncoding; };
            const int64_t last = m_writer->lastVideoTick();
            // Nothing to show again before the first picture, after a failure or at the end.
            if (m_repeatWhenIdle && last >= 0 && !m_failed.load() && last + 1 < m_endTick.load()) {
                // Wakes when the interval after the last written one is `idleLag` intervals old.
                const int64_t due = last + 2 + m_idleLag;
                m_queueReady.wait_until(lock, m_origin + due * m_interval, ready);
            } else {
                m_queueReady.wait(lock, ready);
            }
            if (!m_queue.empty()) {
                item = std::move(m_queue.front());
                m_queue.pop_front();
                have = true;
            } else if (m_stopEncoding) {
                return;
            }
        }
        if (!have) {
            if (m_failed.load())
                continue;
            const int64_t now = int64_t((Clock::now() - m_origin) / m_interval);
            if (auto failure = repeatUpTo(now - m_idleLag))
                fail(*failure);
            continue;
        }
        if (m_repeatWhenIdle && !m_failed.load()) {
            // The canvas still holds the previous picture: it fills the intervals before this one.
            if (auto failure = repeatUpTo(item.tick - 1))
                fail(*failure);
        }
        if (item.pixels) {
            const PlanarPicture picture = m_writer->canvas();
            for (const RowBand& band : item.bands)
                m_converter.convert(item.pixels, item.stride, band.top, band.bottom, picture);
        }
        if (item.buffer >= 0)
            releaseBuffer(item.buffer);
        // A picture that came after the previous one was shown again is shown next. A reader
        // that sends pictures as they come opens the movie with the first, made as it began.
        int64_t tick = std::max(item.tick, m_writer->lastVideoTick() + 1);
        if (m_repeatWhenIdle && m_writer->lastVideoTick() < 0)
            tick = 0;
        if (m_failed.load() || tick >= m_endTick.load())
            continue;
        if (auto failure = m_writer->writeVideo(tick)) {
            fail(*failure);
            continue;
        }
        ++m_encoded;
    }
}

void EncodingSession::shutDown(Clock::time_point end)
{
    m_stopCapture = true;
    stopCapture();
    {
        std::lock_guard lock(m_queueLock);
        m_stopEncoding = true;
        m_queueReady.notify_all();
    }
    if (m_encodeThread.joinable())
        m_encodeThread.join();
    if (m_audio && !m_stopped)
        m_audio->stop(end);
    m_stopped = true;
}

Expected<RecordingResult> EncodingSession::finalise()
{
    {
        std::lock_guard lock(m_failureLock);
        if (m_failure)
            return *m_failure;
    }
    // A movie without a single picture plays nowhere: that is a failure, not a recording.
    if (m_writer->lastVideoTick() < 0) {
        m_writer.reset();
        QFile::remove(m_request.outputPath);
        return Error {.domain = QStringLiteral("Vantrel"),
            .description = QCoreApplication::translate("Recording", "The screen sent no picture to record")};
    }
    // The movie lasts as long as the recording did, to the nearest frame interval.
    const int64_t endTick = std::max(m_writer->lastVideoTick() + 1, m_endTick.load());
    std::optional<Error> failure;
    if (m_repeatWhenIdle && m_writer->lastVideoTick() >= 0)
        failure = repeatUpTo(endTick - 1);
    const bool hasAudio = m_writer->hasAudio();
    if (!failure)
        failure = m_writer->finish(endTick);
    if (failure) {
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

void EncodingSession::fail(const Error& error)
{
    {
        std::lock_guard lock(m_failureLock);
        if (m_failure)
            return;
        m_failure = error;
    }
    m_failed = true;
    m_stopCapture = true;
    reportEnd(RecordingEnd::failed, error);
}

void EncodingSession::reportEnd(RecordingEnd how, const Error& error)
{
    if (m_endReported.exchange(true))
        return;
    std::weak_ptr<EncodingSession> weak = weak_from_this();
    postToMainThread([weak, how, error] {
        auto self = weak.lock();
        if (!self || !self->m_endHandler)
            return;
        EndHandler handler = std::move(self->m_endHandler);
        self->m_endHandler = nullptr;
        handler(how, error);
    });
}

} // namespace vantrel::media
