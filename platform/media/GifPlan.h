// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSize>

#include <cstdint>

namespace vantrel::media {

// How many frames a GIF of a movie `microseconds` long has at `framesPerSecond`: the integer
// part of length × rate, and never fewer than one (the picture at time 0).
int gifFrameCount(int64_t microseconds, int framesPerSecond);

// GIF delays count hundredths of a second. Frame `index` starts at 100 × index ÷ fps rounded, so
// each delay is within half a hundredth of 1 ÷ fps and n frames last n ÷ fps seconds, where a
// fixed rounded delay would drift (15 fps: 7, 6, 7, 7, 6, 7 … hundredths, not 7 each).
int gifDelay(int index, int framesPerSecond);

// The size of a movie's frames in a GIF: scaled down to at most `maxWidth` wide and
// 4 × `maxWidth` tall, proportions kept, never enlarged, at least one pixel either way.
QSize gifFrameSize(QSize movie, int maxWidth);

} // namespace vantrel::media
