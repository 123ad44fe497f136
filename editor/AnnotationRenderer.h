// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Annotation.h"
#include "ImageEffects.h"

#include <QPainterPath>
#include <QSizeF>

#include <vector>

class QPainter;

namespace vantrel {

// Closed outline of an arrow head with its tip at `tip`, pointing along `angle` (radians, y
// down), `length` pixels long, with a notch at 72 % of the length.
QPainterPath arrowHeadPath(QPointF tip, double angle, double length);
// Head length of an arrow: max(4.2 × width, 18), at most 60 % of the arrow.
double arrowHeadLength(double lineWidth, double arrowLength);
// Open freehand path: quadratic curves through the midpoints; a single point becomes a dot.
QPainterPath smoothPath(const std::vector<QPointF>& points);
// Radius of a counter badge: max(3.2 × width, 16).
double counterRadius(double lineWidth);

// Draws one annotation into a painter set up in base pixels. Blur and pixelate show the matching
// effect layer through their rectangle; `baseSize` is the layers' size. The painter's state is
// restored afterwards.
void drawAnnotation(QPainter& painter, const Annotation& annotation, const EffectLayers& effects, QSizeF baseSize);

// Draws a document's annotations in three passes: blur and pixelate, then the spotlight dimming,
// then everything else, so effects and dimming never cover shapes, arrows or text.
void drawAnnotations(
    QPainter& painter, const std::vector<Annotation>& annotations, const EffectLayers& effects, QSizeF baseSize);

} // namespace vantrel
