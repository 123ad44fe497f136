// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>

namespace vantrel::imagebuffers {

// A 32-bit-per-pixel image whose pixels are left uninitialised. Large images get memory backed
// by huge pages and recycled through a small pool: faulting in 33 MB of fresh 4 KiB pages for
// every 4K render costs far more than drawing it. Null when memory runs out.
QImage allocate(int width, int height, QImage::Format format);

// Frees the pooled buffers that no image uses (for memory pressure and for tests).
void trimPool();
// Bytes currently parked in the pool.
qsizetype pooledBytes();

// Once no large image has been made or freed for this long, the pool is emptied and the C
// library hands its free pages back to the system: memory comes back after a burst of
// captures or an editing session. Needs a running Qt event loop; milliseconds.
inline constexpr int defaultIdleTrimDelayMs = 3000;
void setIdleTrimDelay(int milliseconds);

} // namespace vantrel::imagebuffers
