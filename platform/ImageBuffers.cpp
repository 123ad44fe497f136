// SPDX-License-Identifier: GPL-3.0-or-later
#include "ImageBuffers.h"

#include <cstdlib>
#include <deque>
#include <limits>
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
    static std::deque<Buffer> buffers;
    return buffers;
}

qsizetype& poolSize()
{
    static qsizetype bytes = 0;
    return bytes;
}

void release(void* info)
{
    auto* buffer = static_cast<Buffer*>(info);
    {
        std::lock_guard lock(poolMutex());
        pool().push_back(*buffer);
        poolSize() += buffer->capacity;
        while (poolSize() > poolLimit && !pool().empty()) {
            poolSize() -= pool().front().capacity;
            std::free(pool().front().data);
            pool().pop_front();
        }
    }
    delete buffer;
}

Buffer obtain(qsizetype bytes)
{
    const qsizetype capacity = (bytes + hugePage - 1) / hugePage * hugePage;
    {
        std::lock_guard lock(poolMutex());
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

qsizetype pooledBytes()
{
    std::lock_guard lock(poolMutex());
    return poolSize();
}

} // namespace vantrel::imagebuffers
