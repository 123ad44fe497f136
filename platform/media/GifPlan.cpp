// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/GifPlan.h"

#include <algorithm>
#include <cmath>

namespace vantrel::media {

int gifFrameCount(int64_t microseconds, int framesPerSecond)
{
    if (microseconds <= 0 || framesPerSecond <= 0)
        return 1;
    // In whole numbers: 0.3 s at 10 fps is three frames, which floating point can make 2.999….
    const int64_t count
        = microseconds / 1000000 * framesPerSecond + (microseconds % 1000000) * framesPerSecond / 1000000;
    return int(std::clamp<int64_t>(count, 1, 1 << 30));
}

int gifDelay(int index, int framesPerSecond)
{
    if (framesPerSecond <= 0)
        return 100;
    auto start = [framesPerSecond](int64_t i) { return (200 * i + framesPerSecond) / (2 * framesPerSecond); };
    return int(start(int64_t(index) + 1) - start(index));
}

QSize gifFrameSize(QSize movie, int maxWidth)
{
    if (movie.width() <= 0 || movie.height() <= 0)
        return {};
    const double limitWidth = std::max(1, maxWidth);
    const double scale = std::min({1.0, limitWidth / movie.width(), 4.0 * limitWidth / movie.height()});
    if (scale >= 1.0)
        return movie;
    return QSize(
        std::max(1, int(std::lround(movie.width() * scale))), std::max(1, int(std::lround(movie.height() * scale))));
}

} // namespace vantrel::media
