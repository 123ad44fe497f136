// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QList>
#include <QRectF>

#include <functional>

class QPainter;
class QPalette;

namespace vantrel {

// Paints a swatch's content into `square`; the painter is clipped to the swatch's rounded shape.
using SwatchFill = std::function<void(QPainter& painter, const QRectF& square)>;

// From the top-leading to the bottom-trailing corner through `colors` (one colour: flat).
SwatchFill diagonalFill(const QList<QColor>& colors);

// A gradient preset's swatch, the one drawing the editor's background panel and the settings
// window share: a rounded square (radius 8 points) inside `bounds`, painted by `fill`. A
// `marked` swatch is outlined in the accent colour, 3 points wide; the others get a faint line
// in the text colour.
void paintSwatch(QPainter& painter, const QRectF& bounds, const SwatchFill& fill, bool marked, const QPalette& palette);

} // namespace vantrel
