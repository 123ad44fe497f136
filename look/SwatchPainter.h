// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QList>
#include <QRectF>

class QPainter;
class QPalette;

namespace vantrel {

// A gradient preset's swatch, the one drawing the editor's background panel and the settings
// window share: a rounded square (radius 8 points) inside `bounds`, filled from the top-leading
// to the bottom-trailing corner through `colors` (one colour: flat). A `marked` swatch is
// outlined in the accent colour, 3 points wide; the others get a faint line in the text colour.
void paintSwatch(
    QPainter& painter, const QRectF& bounds, const QList<QColor>& colors, bool marked, const QPalette& palette);

} // namespace vantrel
