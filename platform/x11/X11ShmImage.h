// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Expected.h"

#include <QImage>
#include <QRect>

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <cstddef>
#include <optional>

namespace vantrel::x11 {

// Whether the server keeps pixels of `depth` as little-endian 32-bit words with red in bits
// 16–23 (B, G, R, X bytes); every common X server does.
bool storesBgrxWords(xcb_connection_t* connection, int depth);

// A System V shared-memory segment that both this process and the X server have attached.
struct ShmSegment
{
    unsigned char* data = nullptr;
    std::size_t size = 0;
    int shmId = -1;
    xcb_shm_seg_t segment = 0;
};
// Creates one of `bytes` (a round trip to the server); none when the kernel or the server
// refuses. It is already marked for removal: the kernel frees it once both sides have let go,
// even if this process dies.
std::optional<ShmSegment> attachShmSegment(xcb_connection_t* connection, std::size_t bytes);

// Reads rectangles of a drawable (the root window, a window's composite pixmap) through a
// MIT-SHM segment that is kept and reused between grabs, so a 4K frame costs one server-side
// copy and one copy out. Falls back to a plain GetImage when the server has no shared memory
// (a remote display). One object per connection and thread.
class ShmImageReader
{
public:
    explicit ShmImageReader(xcb_connection_t* connection);
    ~ShmImageReader();
    ShmImageReader(const ShmImageReader&) = delete;
    ShmImageReader& operator=(const ShmImageReader&) = delete;

    // `rect` in the drawable's pixels. Depth 24 gives an opaque RGB32 image (alpha forced to 255);
    // depth 32 keeps the alpha channel (premultiplied, as X stores it). The pixels go into
    // `recycled` when it has the rectangle's size and format and no other user.
    Expected<QImage> read(xcb_drawable_t drawable, const QRect& rect, int depth, QImage recycled = QImage());

    bool usesSharedMemory() const { return m_shmAvailable; }

private:
    bool ensureSegment(std::size_t bytes);
    void releaseSegment();
    Expected<QImage> readWithoutShm(xcb_drawable_t drawable, const QRect& rect, int depth, QImage recycled);

    xcb_connection_t* m_connection;
    bool m_shmAvailable = false;
    xcb_shm_seg_t m_segment = 0;
    int m_shmId = -1;
    unsigned char* m_data = nullptr;
    std::size_t m_size = 0;
};

} // namespace vantrel::x11
