// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Expected.h"

#include <QImage>
#include <QStringList>

#include <stop_token>

namespace vantrel {

// Reads the text of a picture of a screen. Safe to call from several threads at once; each call
// works on one thread. Slow (a good part of a second for a window full of text), so never on the
// UI thread.
class TextRecognizer
{
public:
    virtual ~TextRecognizer() = default;
    // The lines of text in reading order: rows top to bottom, left to right within a row. An
    // empty list when there is none. `scale` is the picture's pixels per point (2 for a HiDPI
    // capture). An error when the engine cannot run (no trained data) or `stop` was requested.
    virtual Expected<QStringList> recognize(const QImage& image, double scale, std::stop_token stop = {}) = 0;
};

} // namespace vantrel
