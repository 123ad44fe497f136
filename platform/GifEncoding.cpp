// SPDX-License-Identifier: GPL-3.0-or-later
#include "GifEncoding.h"

#include "media/GifPlan.h"
#include "media/GifWriter.h"
#include "media/MovieFrames.h"

#include <QCoreApplication>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace vantrel {

namespace {

// Pictures decoded ahead of the writer: enough to keep both threads busy, few enough that a
// long 4K movie never fills the memory.
constexpr size_t queueDepth = 3;

Error conversionError(const QString& what)
{
    return Error {.domain = QStringLiteral("GIF"), .description = what};
}

// Decoded pictures on their way from the decoding thread to the writer, and the spent ones
// on their way back.
class FrameQueue
{
public:
    // False when the writer gave up.
    bool push(int index, std::unique_ptr<media::RgbaFrame> frame)
    {
        std::unique_lock lock(m_lock);
        m_changed.wait(lock, [&] { return m_frames.size() < queueDepth || m_closed; });
        if (m_closed)
            return false;
        m_frames.emplace_back(index, std::move(frame));
        m_changed.notify_all();
        return true;
    }
    // None at the end.
    std::optional<std::pair<int, std::unique_ptr<media::RgbaFrame>>> pop()
    {
        std::unique_lock lock(m_lock);
        m_changed.wait(lock, [&] { return !m_frames.empty() || m_ended || m_closed; });
        if (m_frames.empty())
            return std::nullopt;
        auto front = std::move(m_frames.front());
        m_frames.pop_front();
        m_changed.notify_all();
        return front;
    }
    void recycle(std::unique_ptr<media::RgbaFrame> frame)
    {
        std::lock_guard lock(m_lock);
        if (m_spare.size() < queueDepth + 2)
            m_spare.push_back(std::move(frame));
    }
    std::unique_ptr<media::RgbaFrame> spare()
    {
        std::lock_guard lock(m_lock);
        if (m_spare.empty())
            return nullptr;
        auto frame = std::move(m_spare.back());
        m_spare.pop_back();
        return frame;
    }
    // No more frames will come.
    void end()
    {
        std::lock_guard lock(m_lock);
        m_ended = true;
        m_changed.notify_all();
    }
    // The writer stops taking frames.
    void close()
    {
        std::lock_guard lock(m_lock);
        m_closed = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<std::pair<int, std::unique_ptr<media::RgbaFrame>>> m_frames;
    std::vector<std::unique_ptr<media::RgbaFrame>> m_spare;
    bool m_ended = false;
    bool m_closed = false;
};

} // namespace

Expected<GifResult> convertMovieToGif(const GifRequest& request, const std::atomic<bool>& cancelled)
{
    if (request.framesPerSecond < 1)
        return conversionError(QStringLiteral("A GIF needs at least one frame a second"));
    Expected<std::unique_ptr<media::MovieFrames>> opened = media::MovieFrames::open(request.moviePath);
    if (!opened)
        return opened.error();
    media::MovieFrames& movie = **opened;
    if (movie.microseconds() <= 0)
        return conversionError(QStringLiteral("The movie has no length"));
    const QSize size = media::gifFrameSize(movie.size(), request.maxWidth);
    const int count = media::gifFrameCount(movie.microseconds(), request.framesPerSecond);
    Expected<std::unique_ptr<media::GifWriter>> created
        = media::GifWriter::open(request.gifPath, size, request.framesPerSecond);
    if (!created)
        return created.error();
    media::GifWriter& writer = **created;

    FrameQueue queue;
    std::atomic<bool> stop {false};
    std::optional<Expected<media::MovieFrames::Outcome>> decoded;
    // The decoder's own threads and this one share the machine's cores with the writer.
    const int decoderThreads = int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
    std::thread decoding([&] {
        decoded = movie.read(
            count, request.framesPerSecond, size,
            [&](int index, std::unique_ptr<media::RgbaFrame> frame) {
                return !cancelled.load() && !stop.load() && queue.push(index, std::move(frame));
            },
            cancelled, decoderThreads, [&] { return queue.spare(); });
        queue.end();
    });

    std::optional<Error> failure;
    while (auto next = queue.pop()) {
        if (cancelled.load()) {
            failure = conversionError(QStringLiteral("Cancelled"));
            break;
        }
        if (auto error = writer.add(next->first, *next->second)) {
            failure = error;
            break;
        }
        queue.recycle(std::move(next->second));
    }
    stop = true;
    queue.close();
    decoding.join();

    if (failure)
        return *failure;
    if (!decoded || !*decoded)
        return decoded ? decoded->error() : conversionError(QStringLiteral("The movie could not be decoded"));
    if (writer.statistics().frames == 0)
        return conversionError(QStringLiteral("The movie has no picture that could be decoded"));
    if (auto error = writer.finish())
        return *error;

    GifResult result;
    result.path = request.gifPath;
    result.size = size;
    result.frames = writer.statistics().frames;
    result.skippedFrames = (*decoded)->skipped;
    result.movieSeconds = double(movie.microseconds()) / 1e6;
    result.unchangedFrames = writer.statistics().emptyFrames;
    result.localPalettes = writer.statistics().localPalettes;
    result.bytes = writer.statistics().bytes;
    return result;
}

struct FfmpegGifEncoding::State
{
    struct Worker
    {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::atomic<bool> cancelled {false};
    std::mutex lock;
    std::vector<Worker> workers;

    // Joins the conversions that are over, so each finished thread gives its stack back.
    void reapFinished()
    {
        std::erase_if(workers, [](Worker& worker) {
            if (!worker.done->load())
                return false;
            worker.thread.join();
            return true;
        });
    }
};

FfmpegGifEncoding::FfmpegGifEncoding()
    : m_state(std::make_shared<State>())
{ }

FfmpegGifEncoding::~FfmpegGifEncoding()
{
    m_state->cancelled = true;
    std::vector<State::Worker> workers;
    {
        std::lock_guard lock(m_state->lock);
        workers.swap(m_state->workers);
    }
    for (State::Worker& worker : workers)
        worker.thread.join();
}

void FfmpegGifEncoding::convert(const GifRequest& request, Completion completion)
{
    std::weak_ptr<State> weak = m_state;
    std::lock_guard lock(m_state->lock);
    m_state->reapFinished();
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([weak, done, request, completion = std::move(completion)]() mutable {
        struct MarkDone
        {
            std::atomic<bool>& flag;
            ~MarkDone() { flag = true; }
        } markDone {*done};
        std::shared_ptr<State> state = weak.lock();
        if (!state)
            return;
        auto result = std::make_shared<Expected<GifResult>>(convertMovieToGif(request, state->cancelled));
        state.reset();
        QCoreApplication* app = QCoreApplication::instance();
        if (!app)
            return;
        QMetaObject::invokeMethod(
            app,
            [weak, result, completion = std::move(completion)] {
                // Not after the service went: its owner is gone too.
                if (weak.lock())
                    completion(std::move(*result));
            },
            Qt::QueuedConnection);
    });
    m_state->workers.push_back({std::move(thread), std::move(done)});
}

} // namespace vantrel
