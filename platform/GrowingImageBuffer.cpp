// SPDX-License-Identifier: GPL-3.0-or-later
#include "GrowingImageBuffer.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <sys/mman.h>
#include <unistd.h>
#include <utility>

namespace vantrel {

namespace {

// Growth in steps of at least this much, and of a sixteenth of what is held: remapping is a
// system call, but since untouched pages cost no memory, the step only bounds how often it runs.
constexpr std::size_t growthStep = std::size_t(1) << 20;

std::size_t pageSize()
{
    static const std::size_t size = std::size_t(sysconf(_SC_PAGESIZE));
    return size;
}

std::size_t roundUp(std::size_t bytes, std::size_t unit)
{
    return (bytes + unit - 1) / unit * unit;
}

struct Mapping
{
    void* data;
    std::size_t size;
};

void unmapImage(void* info)
{
    auto* mapping = static_cast<Mapping*>(info);
    munmap(mapping->data, mapping->size);
    delete mapping;
}

} // namespace

GrowingImageBuffer::GrowingImageBuffer(int width)
    : m_width(std::max(0, width))
{ }

GrowingImageBuffer::~GrowingImageBuffer()
{
    release();
}

GrowingImageBuffer::GrowingImageBuffer(GrowingImageBuffer&& other) noexcept
    : m_width(std::exchange(other.m_width, 0))
    , m_rows(std::exchange(other.m_rows, 0))
    , m_data(std::exchange(other.m_data, nullptr))
    , m_capacity(std::exchange(other.m_capacity, 0))
{ }

GrowingImageBuffer& GrowingImageBuffer::operator=(GrowingImageBuffer&& other) noexcept
{
    if (this != &other) {
        release();
        m_width = std::exchange(other.m_width, 0);
        m_rows = std::exchange(other.m_rows, 0);
        m_data = std::exchange(other.m_data, nullptr);
        m_capacity = std::exchange(other.m_capacity, 0);
    }
    return *this;
}

void GrowingImageBuffer::release()
{
    if (m_data)
        munmap(m_data, m_capacity);
    m_data = nullptr;
    m_capacity = 0;
    m_rows = 0;
}

uchar* GrowingImageBuffer::appendRows(int count)
{
    if (count < 0 || m_width < 1)
        return nullptr;
    const std::size_t line = std::size_t(bytesPerLine());
    if (std::size_t(count) > (std::size_t(std::numeric_limits<int>::max()) - std::size_t(m_rows))
        || std::size_t(m_rows) + std::size_t(count) > std::numeric_limits<std::size_t>::max() / line)
        return nullptr;
    const std::size_t needed = (std::size_t(m_rows) + std::size_t(count)) * line;
    if (needed > m_capacity) {
        const std::size_t wanted
            = roundUp(std::max(needed, m_capacity + m_capacity / 16), std::max(growthStep, pageSize()));
        void* grown = m_data ? mremap(m_data, m_capacity, wanted, MREMAP_MAYMOVE)
                             : mmap(nullptr, wanted, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (grown == MAP_FAILED)
            return nullptr;
        m_data = static_cast<uchar*>(grown);
        m_capacity = wanted;
    }
    uchar* first = row(m_rows);
    m_rows += count;
    return first;
}

bool GrowingImageBuffer::append(const uchar* first, qsizetype stride, int count)
{
    uchar* target = appendRows(count);
    if (!target)
        return false;
    const qsizetype line = bytesPerLine();
    if (stride == line) {
        std::memcpy(target, first, std::size_t(line) * std::size_t(count));
    } else {
        for (int y = 0; y < count; ++y)
            std::memcpy(target + line * y, first + stride * y, std::size_t(line));
    }
    return true;
}

void GrowingImageBuffer::truncate(int rows)
{
    if (rows >= 0 && rows < m_rows)
        m_rows = rows;
}

QImage GrowingImageBuffer::takeImage(QImage::Format format)
{
    if (!m_data || m_rows < 1)
        return {};
    // Give back the address space the rows never reached; the pages that hold them stay put.
    const std::size_t used = roundUp(std::size_t(m_rows) * std::size_t(bytesPerLine()), pageSize());
    if (used < m_capacity) {
        void* shrunk = mremap(m_data, m_capacity, used, 0);
        if (shrunk != MAP_FAILED) {
            m_data = static_cast<uchar*>(shrunk);
            m_capacity = used;
        }
    }
    auto* mapping = new Mapping {m_data, m_capacity};
    QImage image(m_data, m_width, m_rows, bytesPerLine(), format, unmapImage, mapping);
    if (image.isNull()) {
        delete mapping;
        return image;
    }
    m_data = nullptr;
    m_capacity = 0;
    m_rows = 0;
    return image;
}

} // namespace vantrel
