// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>

struct AVFrame;

namespace vantrel::media {

// A decoded video frame as a 32-bit image of its pixel size. Null when the frame has no
// pixels, its format cannot be converted, or the image cannot be allocated (a huge frame on a
// machine short of memory).
QImage imageFromVideoFrame(const AVFrame* frame);

} // namespace vantrel::media
