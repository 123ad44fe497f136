// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Expected.h"
#include "media/MovieFrames.h"

#include <QSize>
#include <QString>

#include <memory>
#include <optional>

namespace vantrel::media {

// Writes an endlessly looping GIF one frame at a time, holding only the picture on screen.
//
// Palette: the first frame is quantised whole (libimagequant) into the file's global palette;
// later frames use it while it renders their changes well, else the last frame's own palette,
// else a new one of their own. Each palette keeps one entry for "transparent".
// Dithering is ordered (a fixed 8 × 8 pattern tied to the pixel's position), so a pixel whose
// colour stays the same keeps its palette entry from frame to frame: nothing crawls. Colours a
// palette holds closely enough are not dithered, which keeps text and flat screen areas clean.
// Differencing: a frame stores only the rectangle around the pixels whose rendering changed;
// within it, pixels that show the same colour as before are transparent.
class GifWriter
{
public:
    struct Statistics
    {
        int frames = 0;
        int emptyFrames = 0; // nothing changed: a one-pixel transparent frame keeps the timing
        int localPalettes = 0; // frames that carried a palette of their own
        qint64 bytes = 0;
    };

    // Creates a hidden temporary file beside `path`; `finish` renames it into place.
    static Expected<std::unique_ptr<GifWriter>> open(const QString& path, QSize size, int framesPerSecond);
    ~GifWriter(); // removes the temporary file unless finished
    GifWriter(const GifWriter&) = delete;
    GifWriter& operator=(const GifWriter&) = delete;

    // Adds the picture for time index ÷ fps (`frame` has the writer's size), shown for 1 ÷ fps
    // seconds. Indices increase.
    std::optional<Error> add(int index, const RgbaFrame& frame);
    // Ends the file and moves it to its path.
    std::optional<Error> finish();

    const Statistics& statistics() const { return m_statistics; }

private:
    GifWriter();
    struct State;
    std::unique_ptr<State> m_state;
    Statistics m_statistics;
};

} // namespace vantrel::media
