// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCache>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QThreadPool>
#include <QUuid>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace vantrel {

// Thumbnails decoded on worker threads, never on the UI thread, and kept in a cache of bounded
// memory. The newest request runs first (the cells just scrolled into view); requests whose
// cells scrolled away are dropped from the queue or stopped mid-decode. Main thread only;
// `finished` reports each result there.
class ThumbnailLoader : public QObject
{
    Q_OBJECT
public:
    // Decodes one thumbnail on a worker; none when there is none to have. It should give up soon
    // after `cancelled` turns true.
    using Decode = std::function<std::optional<QImage>(const std::atomic<bool>& cancelled)>;

    struct Options
    {
        int threads = 0; // 0: one fewer than the cores, at least one, at most four
        qint64 cacheBytes = qint64(96) << 20;
    };

    enum class State {
        none, // never asked for, evicted, forgotten or cancelled
        queued,
        decoding,
        ready, // in the cache (possibly stale)
        failed, // the decode gave nothing; not tried again until forgotten
    };

    explicit ThumbnailLoader(QObject* parent = nullptr);
    explicit ThumbnailLoader(Options options, QObject* parent = nullptr);
    // Drops the queue, stops running decodes and waits for them.
    ~ThumbnailLoader() override;

    // The cached thumbnail (a stale one too), else a null image.
    QImage thumbnail(const QUuid& id) const;
    State state(const QUuid& id) const;

    // Whether a request would start a decode: nothing cached (or only a stale picture), nothing
    // on its way, no failure before.
    bool needsDecode(const QUuid& id) const;
    // Asks for a thumbnail unless it is cached (and fresh), on its way, or failed before. A
    // request already queued moves to the front of the queue.
    void request(const QUuid& id, Decode decode);
    // Cancels every queued or running decode whose id is not in `wanted`.
    void keepOnly(const QSet<QUuid>& wanted);
    // Forgets everything about one id (its record went, or its picture changed).
    void forget(const QUuid& id);
    // Every cached thumbnail stays shown but is decoded again when next requested: the pictures
    // may have changed on disk.
    void markAllStale();
    // Forgets everything: queued and running decodes are cancelled, the cache is emptied, and
    // files that failed are tried again when next requested.
    void clear();

    // Memory held by cached thumbnails, to the KiB.
    qint64 cachedBytes() const;
    int queuedCount() const { return int(m_queue.size()); }
    // Decodes queued or running whose result is still wanted.
    int wantedCount() const { return int(m_jobs.size()); }
    int runningCount() const { return m_running; }
    // Decodes started over the loader's life (tests and benchmarks).
    int decodesStarted() const { return m_started; }
    // Blocks until the queue is empty and no decode runs, delivering results (tests, benchmarks).
    void waitForIdle();

Q_SIGNALS:
    // A thumbnail arrived in the cache, or its decode failed.
    void finished(const QUuid& id);

private:
    struct Job
    {
        QUuid id;
        Decode decode;
        std::atomic<bool> cancelled {false};
        bool running = false;
    };
    struct Entry
    {
        QImage image;
        bool stale = false;
    };

    void pump();
    void complete(const std::shared_ptr<Job>& job, std::optional<QImage> image);
    void cancel(const std::shared_ptr<Job>& job);

    QThreadPool m_pool;
    int m_threads;
    QCache<QUuid, Entry> m_cache; // cost in KiB
    QHash<QUuid, std::shared_ptr<Job>> m_jobs; // the current job of each id, queued or running
    std::vector<std::shared_ptr<Job>> m_queue; // the back runs next
    QSet<QUuid> m_failed;
    int m_running = 0;
    int m_started = 0;
};

} // namespace vantrel
