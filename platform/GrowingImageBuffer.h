// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>

#include <cstddef>

namespace vantrel {

// A picture of 32-bit pixels that grows at the bottom, one batch of rows at a time, without ever
// copying the rows it already holds: its memory is one anonymous mapping that the kernel
// enlarges in place or moves by remapping pages. A picture 30,000 rows tall therefore costs its
// own size, never the double that a reallocating vector passes through, and appending stays
// cheap however tall it gets. Move-only.
class GrowingImageBuffer
{
public:
    explicit GrowingImageBuffer(int width = 0);
    ~GrowingImageBuffer();
    GrowingImageBuffer(GrowingImageBuffer&& other) noexcept;
    GrowingImageBuffer& operator=(GrowingImageBuffer&& other) noexcept;
    GrowingImageBuffer(const GrowingImageBuffer&) = delete;
    GrowingImageBuffer& operator=(const GrowingImageBuffer&) = delete;

    int width() const { return m_width; }
    int rows() const { return m_rows; }
    qsizetype bytesPerLine() const { return qsizetype(m_width) * 4; }
    const uchar* row(int y) const { return m_data + bytesPerLine() * y; }
    uchar* row(int y) { return m_data + bytesPerLine() * y; }
    // Bytes of address space held now; only the pages rows were written to take memory.
    std::size_t capacity() const { return m_capacity; }

    // Makes `count` more rows at the bottom and returns the first of them (their pixels are for
    // the caller to write). Null, with the picture unchanged, when memory runs out.
    uchar* appendRows(int count);
    // Copies `count` rows of `bytesPerLine()` bytes each, `stride` bytes apart, to the bottom.
    bool append(const uchar* first, qsizetype stride, int count);
    // Drops rows from the bottom so that `rows` remain (no-op when there are fewer).
    void truncate(int rows);

    // The picture as an image in `format` (a 32-bit one) that takes the memory over; the buffer
    // is empty afterwards. Null when there are no rows.
    QImage takeImage(QImage::Format format);

private:
    void release();

    int m_width = 0;
    int m_rows = 0;
    uchar* m_data = nullptr;
    std::size_t m_capacity = 0;
};

} // namespace vantrel
