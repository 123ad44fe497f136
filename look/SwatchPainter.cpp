// SPDX-License-Identifier: GPL-3.0-or-later
#include "SwatchPainter.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

namespace vantrel {

SwatchFill diagonalFill(const QList<QColor>& colors)
{
    return [colors](QPainter& painter, const QRectF& square) {
        if (colors.size() == 1) {
            painter.fillRect(square, colors.first());
        } else if (colors.size() > 1) {
            QLinearGradient gradient(square.topLeft(), square.bottomRight());
            for (int i = 0; i < colors.size(); ++i)
                gradient.setColorAt(double(i) / (colors.size() - 1), colors[i]);
            painter.fillRect(square, gradient);
        }
    };
}

void paintSwatch(QPainter& painter, const QRectF& bounds, const SwatchFill& fill, bool marked, const QPalette& palette)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    // Inset by half the widest outline so that the marked ring is never clipped by `bounds`.
    const QRectF square = bounds.adjusted(1.5, 1.5, -1.5, -1.5);
    QPainterPath rounded;
    rounded.addRoundedRect(square, 8, 8);
    painter.save();
    painter.setClipPath(rounded, Qt::IntersectClip);
    fill(painter, square);
    painter.restore();
    QColor faint = palette.color(QPalette::WindowText);
    faint.setAlphaF(0.15);
    painter.setPen(QPen(marked ? palette.color(QPalette::Highlight) : faint, marked ? 3 : 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(rounded);
    painter.restore();
}

} // namespace vantrel
