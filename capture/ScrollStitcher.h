// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vantrel {

// Grey levels of a frame, one byte per pixel, row-major: (77 R + 150 G + 29 B) >> 8 of its
// premultiplied RGBA pixels.
std::vector<std::uint8_t> grayLevels(const QImage& frame);

// The best upward shift of `current` against `previous` (both width × height grey images) and
// its mean absolute difference over the sampled pixels.
struct FrameMatch
{
    int offset = 0;
    double score = 0;
};

// Searches shifts 1 … height − margin (margin 20 below 105 rows, else a fifth of the height) for
// the one where previous row y + offset best matches current row y, sampling about 160 columns
// and 120 rows. None when the frames are identical (no scroll), too short to search (20 rows or
// fewer) or the images are smaller than width × height.
std::optional<FrameMatch> bestFrameMatch(
    std::span<const std::uint8_t> previous, std::span<const std::uint8_t> current, int width, int height);

// How many rows the content moved up between two frames: the best match's offset when its score
// is below 6, else 0 (no usable scroll).
int findOffset(std::span<const std::uint8_t> previous, std::span<const std::uint8_t> current, int width, int height);

} // namespace vantrel
