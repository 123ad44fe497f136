// SPDX-License-Identifier: GPL-3.0-or-later
#include "ImageBuffers.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <limits>
#include <malloc.h>
#include <mutex>
#include <sys/mman.h>

namespace vantrel::imagebuffers {

namespace {

constexpr qsizetype hugePage = qsizetype(2) << 20;
// Below this an ordinary allocation is cheap enough.
constexpr qsizetype poolThreshold = qsizetype(4) << 20;
// At most this much idle memory is kept for reuse: a 4K document's render plus its two
// effect layers.
constexpr qsizetype poolLimit = qsizetype(112) << 20;

struct Buffer
{
    void* data = nullptr;
    qsizetype capacity = 0;
};

std::mutex& poolMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::deque<Buffer>& pool()
{
    // Never destroyed: images freed while the process ends still park their buffers here.
    static auto* buffers = new std::deque<Buffer>;
    return *buffers;
}

qsizetype& poolSize()
{
    static qsizetype bytes = 0;
    return bytes;
}

using Clock = std::chrono::steady_clock;

// Guarded by poolMutex().
Clock::time_point& lastActivity()
{
    static Clock::time_point when;
    return when;
}

std::atomic<int> idleTrimDelayMs {defaultIdleTrimDelayMs};
std::atomic<bool> idleTrimPending {false};

void trimWhenIdle();

// Called from any thread: the check runs on the application's thread, through a timer the
// application object owns (a pending one-off timer would outlive the application).
void scheduleIdleTrim(int delayMs)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || idleTrimPending.exchange(true))
        return;
    QMetaObject::invokeMethod(
        app,
        [delayMs] {
            static QPointer<QTimer> timer;
            if (!timer) {
                timer = new QTimer(QCoreApplication::instance());
                timer->setSingleShot(true);
                QObject::connect(timer, &QTimer::timeout, [] {
                    idleTrimPending = false;
                    trimWhenIdle();
                });
            }
            timer->start(delayMs);
        },
        Qt::QueuedConnection);
}

void trimWhenIdle()
{
    const auto idle = std::chrono::milliseconds(idleTrimDelayMs.load());
    {
        std::lock_guard lock(poolMutex());
        const auto quiet = Clock::now() - lastActivity();
        if (quiet < idle) {
            // Still busy: look again when the pool will have been quiet long enough.
            scheduleIdleTrim(int(std::chrono::duration_cast<std::chrono::milliseconds>(idle - quiet).count()) + 1);
            return;
        }
    }
    trimPool();
    // Freed pictures below the pool's threshold (thumbnails, PNG data) leave free pages in the
    // C library's heaps; give them back too.
    malloc_trim(0);
}

void release(void* info)
{
    auto* buffer = static_cast<Buffer*>(info);
    {
        std::lock_guard lock(poolMutex());
        pool().push_back(*buffer);
        poolSize() += buffer->capacity;
        lastActivity() = Clock::now();
        while (poolSize() > poolLimit && !pool().empty()) {
            poolSize() -= pool().front().capacity;
            std::free(pool().front().data);
            pool().pop_front();
        }
    }
    delete buffer;
    scheduleIdleTrim(idleTrimDelayMs);
}

Buffer obtain(qsizetype bytes)
{
    const qsizetype capacity = (bytes + hugePage - 1) / hugePage * hugePage;
    {
        std::lock_guard lock(poolMutex());
        lastActivity() = Clock::now();
        auto& buffers = pool();
        for (auto it = buffers.begin(); it != buffers.end(); ++it) {
            // Reuse only a close fit so that a small image does not pin a large buffer.
            if (it->capacity >= capacity && it->capacity <= capacity + capacity / 4) {
                Buffer found = *it;
                poolSize() -= found.capacity;
                buffers.erase(it);
                return found;
            }
        }
    }
    void* data = std::aligned_alloc(hugePage, capacity);
    if (!data)
        return {};
    madvise(data, capacity, MADV_HUGEPAGE);
    return {data, capacity};
}

} // namespace

QImage allocate(int width, int height, QImage::Format format)
{
    if (width <= 0 || height <= 0)
        return {};
    const qsizetype bytesPerLine = qsizetype(width) * 4;
    if (bytesPerLine > std::numeric_limits<qsizetype>::max() / height)
        return {};
    const qsizetype bytes = bytesPerLine * height;
    if (bytes < poolThreshold)
        return QImage(width, height, format);
    const Buffer buffer = obtain(bytes);
    if (!buffer.data)
        return {};
    QImage image(static_cast<uchar*>(buffer.data), width, height, bytesPerLine, format, release, new Buffer(buffer));
    return image;
}

void trimPool()
{
    std::lock_guard lock(poolMutex());
    for (const Buffer& buffer : pool())
        std::free(buffer.data);
    pool().clear();
    poolSize() = 0;
}

void setIdleTrimDelay(int milliseconds)
{
    idleTrimDelayMs = std::max(0, milliseconds);
}

qsizetype pooledBytes()
{
    std::lock_guard lock(poolMutex());
    return poolSize();
}

} // namespace vantrel::imagebuffers
