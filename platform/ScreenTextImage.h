// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QRect>

#include <optional>
#include <vector>

namespace vantrel {

// A screenshot made ready for a text engine trained on dark print on white paper. Screens put
// text on any colour: dark themes, coloured buttons, gradients, selections, sub-pixel colour
// fringes. Each pixel becomes its colour distance from the background around it, so every text
// ends up dark on white whatever it was drawn on; small text is then magnified.
struct ScreenTextImage
{
    QImage grey; // Grayscale8, dark text on white; empty when blank
    double magnification = 1.0; // grey pixels per source pixel
    bool blank = true; // nothing on it that could be text
};

// `source` in any format (transparent pixels count as white); `scale` is its pixels per point
// (2 for a HiDPI capture, whose text needs no magnifying).
ScreenTextImage prepareScreenText(const QImage& source, double scale);

// The median height, in pixels, of the letter-sized ink shapes of a prepared (unmagnified)
// image: about the x-height of its text. None when there is no such shape.
std::optional<double> typicalGlyphHeight(const QImage& grey);

// How much to magnify text whose glyphs are `glyphHeight` pixels high (see above) so that the
// engine sees them at the size it reads best: 1, 1.5, 2, 2.5 or 3.
double magnificationFor(double glyphHeight);

// Pieces of a large picture to read one at a time: each tile owns `owned` (the tiles' owned
// rectangles cover the picture once) and is read with a margin around it, `read`, so that a
// word across a tile border is seen whole by the tile that owns its centre.
struct TextTile
{
    QRect owned;
    QRect read;
};
std::vector<TextTile> textTiles(QSize size, int maxSide, int margin);

} // namespace vantrel
