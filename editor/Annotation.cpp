// SPDX-License-Identifier: GPL-3.0-or-later
#include "Annotation.h"

#include <QFontDatabase>
#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

namespace vantrel {

QColor systemRed()
{
    return QColor(255, 59, 48);
}

QRectF Annotation::normRect() const
{
    return QRectF(QPointF(std::min(start.x(), end.x()), std::min(start.y(), end.y())),
        QPointF(std::max(start.x(), end.x()), std::max(start.y(), end.y())));
}

bool isLight(const QColor& color)
{
    if (!color.isValid())
        return false;
    const QColor rgb = color.toRgb();
    return 0.299 * rgb.redF() + 0.587 * rgb.greenF() + 0.114 * rgb.blueF() > 0.7;
}

QColor contrastColor(const QColor& color)
{
    return isLight(color) ? QColor(Qt::black) : QColor(Qt::white);
}

QFont systemFont(double pixelSize, QFont::Weight weight)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(pixelSize))));
    font.setWeight(weight);
    return font;
}

TextAttributes textAttributes(const Annotation& annotation)
{
    TextAttributes attributes;
    const double size = annotation.fontSize;
    attributes.font = systemFont(size, annotation.style == TextStyle::plain ? QFont::DemiBold : QFont::Bold);
    attributes.foreground = annotation.style == TextStyle::label ? contrastColor(annotation.color) : annotation.color;
    if (annotation.style == TextStyle::outline) {
        attributes.strokeColor = contrastColor(annotation.color);
        attributes.strokeWidth = size * 0.04;
    }
    if (annotation.style == TextStyle::shadow) {
        QColor shadow(Qt::black);
        shadow.setAlphaF(0.6);
        // Falls below the glyphs, as light from above casts it.
        attributes.shadow = TextAttributes::Shadow {size * 0.2, QPointF(0, size * 0.06), shadow};
    }
    return attributes;
}

QSizeF measureText(const QString& text, const QFont& font)
{
    const QFontMetricsF metrics(font);
    const QString measured = text.isEmpty() ? QStringLiteral(" ") : text;
    return metrics.boundingRect(QRectF(0, 0, 10000, 10000), Qt::AlignLeft | Qt::AlignTop, measured).size();
}

QSizeF textPadding(const Annotation& annotation)
{
    if (annotation.style == TextStyle::label)
        return QSizeF(annotation.fontSize * 0.8, annotation.fontSize * 0.4);
    return QSizeF(4, 2);
}

QRectF textBox(const Annotation& annotation)
{
    const QSizeF measured = measureText(annotation.text, textAttributes(annotation).font);
    const QSizeF pad = textPadding(annotation);
    return QRectF(annotation.start,
        QSizeF(std::ceil(measured.width()) + pad.width(), std::ceil(measured.height()) + pad.height()));
}

namespace {

QRectF grown(const QRectF& rect, double by)
{
    return rect.adjusted(-by, -by, by, by);
}

QRectF pointsRect(const std::vector<QPointF>& points)
{
    if (points.empty())
        return QRectF();
    double minX = points.front().x(), maxX = minX, minY = points.front().y(), maxY = minY;
    for (const QPointF& p : points) {
        minX = std::min(minX, p.x());
        maxX = std::max(maxX, p.x());
        minY = std::min(minY, p.y());
        maxY = std::max(maxY, p.y());
    }
    return QRectF(QPointF(minX, minY), QPointF(maxX, maxY));
}

} // namespace

QRectF bounds(const Annotation& a)
{
    if (a.kind.isImage())
        return a.normRect();
    switch (*a.kind.tool()) {
    case Tool::line:
    case Tool::arrow: return grown(a.normRect(), 2 * a.lineWidth);
    case Tool::text: return textBox(a);
    case Tool::pencil: return grown(pointsRect(a.points), a.lineWidth);
    case Tool::highlighter: return grown(pointsRect(a.points), 2.5 * a.lineWidth);
    case Tool::counter: {
        const double r = std::max(a.lineWidth * 3.2, 16.0);
        return QRectF(a.start.x() - r, a.start.y() - r, 2 * r, 2 * r);
    }
    default: return a.normRect();
    }
}

double distanceToSegment(QPointF p, QPointF a, QPointF b)
{
    const QPointF d = b - a;
    const double lengthSquared = QPointF::dotProduct(d, d);
    QPointF foot = a;
    if (lengthSquared > 0) {
        const double t = std::clamp(QPointF::dotProduct(p - a, d) / lengthSquared, 0.0, 1.0);
        foot = a + t * d;
    }
    return std::hypot(p.x() - foot.x(), p.y() - foot.y());
}

bool hitTest(const Annotation& a, QPointF p, double tolerance)
{
    const std::optional<Tool> tool = a.kind.tool();
    if (tool == Tool::rectangle || tool == Tool::ellipse) {
        // Outline shapes are hit only near their outline, so what lies inside stays reachable.
        const QRectF r = a.normRect();
        const QRectF outer = grown(r, tolerance);
        const double inset = tolerance + a.lineWidth;
        if (!outer.contains(p))
            return false;
        const bool innerExists = r.width() > 2 * inset && r.height() > 2 * inset;
        if (!innerExists)
            return true;
        return !grown(r, -inset).contains(p);
    }
    if (tool == Tool::line || tool == Tool::arrow)
        return distanceToSegment(p, a.start, a.end) < std::max(tolerance, a.lineWidth);
    if (tool == Tool::pencil || tool == Tool::highlighter) {
        const double threshold = std::max(tolerance, (tool == Tool::pencil ? 1.0 : 2.5) * a.lineWidth);
        for (std::size_t i = 1; i < a.points.size(); ++i) {
            if (distanceToSegment(p, a.points[i - 1], a.points[i]) < threshold)
                return true;
        }
        return false;
    }
    return grown(bounds(a), tolerance / 2).contains(p);
}

void translate(Annotation& a, QPointF offset)
{
    a.start += offset;
    a.end += offset;
    for (QPointF& p : a.points)
        p += offset;
}

} // namespace vantrel
