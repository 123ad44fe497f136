// SPDX-License-Identifier: GPL-3.0-or-later
#include "ThumbnailLoader.h"

#include <QCoreApplication>
#include <QThread>

#include <algorithm>

namespace vantrel {

namespace {

int defaultThreads()
{
    // One core stays with the UI thread, which paints while the thumbnails stream in.
    return std::clamp(QThread::idealThreadCount() - 1, 1, 4);
}

qsizetype costOf(const QImage& image)
{
    return std::max<qsizetype>(1, image.sizeInBytes() / 1024);
}

} // namespace

ThumbnailLoader::ThumbnailLoader(QObject* parent)
    : ThumbnailLoader(Options {}, parent)
{ }

ThumbnailLoader::ThumbnailLoader(Options options, QObject* parent)
    : QObject(parent)
    , m_threads(options.threads > 0 ? options.threads : defaultThreads())
{
    m_pool.setMaxThreadCount(m_threads);
    m_pool.setThreadPriority(QThread::LowPriority);
    // Idle workers end after a while, so an idle history window holds no threads.
    m_pool.setExpiryTimeout(5000);
    m_cache.setMaxCost(std::max<qint64>(1, options.cacheBytes / 1024));
}

ThumbnailLoader::~ThumbnailLoader()
{
    m_queue.clear();
    for (const std::shared_ptr<Job>& job : std::as_const(m_jobs))
        job->cancelled = true;
    m_jobs.clear();
    // Results posted meanwhile go with this object, unread.
    m_pool.waitForDone();
}

QImage ThumbnailLoader::thumbnail(const QUuid& id) const
{
    if (const Entry* entry = m_cache.object(id))
        return entry->image;
    return {};
}

ThumbnailLoader::State ThumbnailLoader::state(const QUuid& id) const
{
    if (const auto job = m_jobs.constFind(id); job != m_jobs.constEnd())
        return (*job)->running ? State::decoding : State::queued;
    if (m_cache.contains(id))
        return State::ready;
    if (m_failed.contains(id))
        return State::failed;
    return State::none;
}

bool ThumbnailLoader::needsDecode(const QUuid& id) const
{
    if (m_jobs.contains(id) || m_failed.contains(id))
        return false;
    const Entry* entry = m_cache.object(id);
    return !entry || entry->stale;
}

void ThumbnailLoader::request(const QUuid& id, Decode decode)
{
    if (const auto current = m_jobs.constFind(id); current != m_jobs.constEnd()) {
        const std::shared_ptr<Job> job = *current;
        if (!job->running) {
            // Asked for again: it is on screen now, so it goes first.
            auto queued = std::find(m_queue.begin(), m_queue.end(), job);
            if (queued != m_queue.end())
                std::rotate(queued, queued + 1, m_queue.end());
        }
        return;
    }
    if (const Entry* entry = m_cache.object(id); entry && !entry->stale)
        return;
    if (m_failed.contains(id) || !decode)
        return;
    auto job = std::make_shared<Job>();
    job->id = id;
    job->decode = std::move(decode);
    m_jobs.insert(id, job);
    m_queue.push_back(job);
    pump();
}

void ThumbnailLoader::pump()
{
    while (m_running < m_threads && !m_queue.empty()) {
        std::shared_ptr<Job> job = m_queue.back();
        m_queue.pop_back();
        job->running = true;
        ++m_running;
        ++m_started;
        m_pool.start([this, job] {
            std::optional<QImage> image;
            if (!job->cancelled)
                image = job->decode(job->cancelled);
            QMetaObject::invokeMethod(
                this, [this, job, image = std::move(image)]() mutable { complete(job, std::move(image)); },
                Qt::QueuedConnection);
        });
    }
}

void ThumbnailLoader::complete(const std::shared_ptr<Job>& job, std::optional<QImage> image)
{
    --m_running;
    const bool current = m_jobs.value(job->id) == job;
    if (current)
        m_jobs.remove(job->id);
    // A cancelled or superseded job's result is not wanted: its cell scrolled away or its
    // picture changed while it ran.
    if (current && !job->cancelled) {
        if (image && !image->isNull()) {
            const qsizetype cost = costOf(*image);
            m_cache.insert(job->id, new Entry {std::move(*image), false}, cost);
        } else {
            m_cache.remove(job->id);
            m_failed.insert(job->id);
        }
        Q_EMIT finished(job->id);
    }
    pump();
}

void ThumbnailLoader::cancel(const std::shared_ptr<Job>& job)
{
    job->cancelled = true;
    m_jobs.remove(job->id);
    if (!job->running)
        std::erase(m_queue, job);
}

void ThumbnailLoader::keepOnly(const QSet<QUuid>& wanted)
{
    std::vector<std::shared_ptr<Job>> unwanted;
    for (const std::shared_ptr<Job>& job : std::as_const(m_jobs)) {
        if (!wanted.contains(job->id))
            unwanted.push_back(job);
    }
    for (const std::shared_ptr<Job>& job : unwanted)
        cancel(job);
}

void ThumbnailLoader::forget(const QUuid& id)
{
    if (const auto job = m_jobs.constFind(id); job != m_jobs.constEnd())
        cancel(*job);
    m_cache.remove(id);
    m_failed.remove(id);
}

void ThumbnailLoader::markAllStale()
{
    for (const QUuid& id : m_cache.keys()) {
        if (Entry* entry = m_cache.object(id))
            entry->stale = true;
    }
    m_failed.clear();
}

void ThumbnailLoader::clear()
{
    std::vector<std::shared_ptr<Job>> all(m_jobs.cbegin(), m_jobs.cend());
    for (const std::shared_ptr<Job>& job : all)
        cancel(job);
    m_cache.clear();
    m_failed.clear();
}

qint64 ThumbnailLoader::cachedBytes() const
{
    // The cache's own count (in KiB): looking at each entry would reorder the eviction order.
    return qint64(m_cache.totalCost()) * 1024;
}

void ThumbnailLoader::waitForIdle()
{
    while (!m_queue.empty() || m_running > 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (m_running > 0)
            QThread::msleep(1);
    }
}

} // namespace vantrel
