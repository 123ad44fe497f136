// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScrollStitcher.h"

#include <cstdlib>
#include <limits>

namespace vantrel {

std::vector<std::uint8_t> grayLevels(const QImage& frame)
{
    const QImage rgba = frame.format() == QImage::Format_RGBA8888_Premultiplied
        ? frame
        : frame.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    const int w = rgba.width();
    const int h = rgba.height();
    std::vector<std::uint8_t> gray(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* p = rgba.constScanLine(y);
        std::uint8_t* out = gray.data() + static_cast<std::size_t>(y) * w;
        for (int x = 0; x < w; ++x, p += 4)
            out[x] = static_cast<std::uint8_t>((77 * p[0] + 150 * p[1] + 29 * p[2]) >> 8);
    }
    return gray;
}

std::optional<FrameMatch> bestFrameMatch(
    std::span<const std::uint8_t> previous, std::span<const std::uint8_t> current, int width, int height)
{
    if (width < 1 || height < 1)
        return std::nullopt;
    const std::size_t pixels = static_cast<std::size_t>(width) * height;
    if (previous.size() < pixels || current.size() < pixels)
        return std::nullopt;
    const int columnStep = width >= 160 ? width / 160 : 1;

    bool identical = true;
    for (int y = 0; y < height && identical; y += 8) {
        for (int x = 0; x < width; x += 2 * columnStep) {
            const std::size_t i = static_cast<std::size_t>(y) * width + x;
            if (previous[i] != current[i]) {
                identical = false;
                break;
            }
        }
    }
    if (identical)
        return std::nullopt;

    const int margin = height < 105 ? 20 : height / 5;
    const int maxOffset = height - margin;
    if (maxOffset < 1)
        return std::nullopt;

    double best = std::numeric_limits<double>::max();
    int bestOffset = 0;
    for (int offset = 1; offset <= maxOffset; ++offset) {
        const int overlap = height - offset;
        const int rowStep = overlap >= 240 ? overlap / 120 : 2;
        long long sum = 0;
        long long count = 0;
        for (int y = 0; y < overlap; y += rowStep) {
            const std::uint8_t* before = previous.data() + static_cast<std::size_t>(y + offset) * width;
            const std::uint8_t* after = current.data() + static_cast<std::size_t>(y) * width;
            for (int x = 0; x < width; x += columnStep) {
                sum += std::abs(int(before[x]) - int(after[x]));
                ++count;
            }
        }
        const double mean = double(sum) / double(std::max(count, 1LL));
        if (mean < best) {
            best = mean;
            bestOffset = offset;
        }
        if (mean == 0)
            break;
    }
    return FrameMatch {bestOffset, best};
}

int findOffset(std::span<const std::uint8_t> previous, std::span<const std::uint8_t> current, int width, int height)
{
    const std::optional<FrameMatch> match = bestFrameMatch(previous, current, width, height);
    return match && match->score < 6.0 ? match->offset : 0;
}

} // namespace vantrel
