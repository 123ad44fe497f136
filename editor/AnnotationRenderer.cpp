// SPDX-License-Identifier: GPL-3.0-or-later
#include "AnnotationRenderer.h"

#include "SoftShadow.h"

#include <QDataStream>
#include <QFontMetricsF>
#include <QIODevice>
#include <QPainter>

#include <cmath>

namespace vantrel {

namespace {

constexpr double headSpread = 0.41887902; // 24° in radians
constexpr double classicSpread = M_PI / 6; // 30°

QPointF polar(double angle, double length)
{
    return QPointF(std::cos(angle) * length, std::sin(angle) * length);
}

QColor withAlpha(QColor color, double alpha)
{
    color.setAlphaF(alpha);
    return color;
}

void clipTo(QPainter& painter, const QRectF& rect)
{
    painter.setClipRect(rect, painter.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
}

// Identifies what an annotation draws, for the shadow cache.
QByteArray shadowKey(const Annotation& a)
{
    QByteArray key;
    QDataStream stream(&key, QIODevice::WriteOnly);
    stream << static_cast<int>(a.kind.tool().value_or(Tool::select)) << a.start << a.end << a.lineWidth << a.style
           << a.text << a.fontSize << a.number << a.color.rgba();
    return key;
}

void drawArrow(QPainter& painter, const Annotation& a, const QPen& pen)
{
    const QPointF d = a.end - a.start;
    const double length = std::hypot(d.x(), d.y());
    if (length <= 1)
        return;
    const double theta = std::atan2(d.y(), d.x());
    const double head = arrowHeadLength(a.lineWidth, length);
    const QPointF unit = polar(theta, 1);

    // What the arrow strokes with its pen and what it fills, by style.
    QPainterPath strokes;
    QPainterPath fills;
    fills.setFillRule(Qt::WindingFill);
    switch (a.style) {
    case ArrowStyle::classic:
        strokes.moveTo(a.start);
        strokes.lineTo(a.end);
        strokes.moveTo(a.end - polar(theta - classicSpread, head));
        strokes.lineTo(a.end);
        strokes.lineTo(a.end - polar(theta + classicSpread, head));
        break;
    case ArrowStyle::doubleHeaded: {
        const double back = 0.6 * head;
        strokes.moveTo(a.start + unit * back);
        strokes.lineTo(a.end - unit * back);
        fills.addPath(arrowHeadPath(a.end, theta, head));
        fills.addPath(arrowHeadPath(a.start, theta + M_PI, head));
        break;
    }
    case ArrowStyle::curved: {
        // The control point sits off the middle to the arrow's right (y down), so an arrow
        // pointing right bows downwards.
        const QPointF control = (a.start + a.end) / 2 + QPointF(-d.y(), d.x()) * 0.25;
        const double theta2 = std::atan2(a.end.y() - control.y(), a.end.x() - control.x());
        strokes.moveTo(a.start);
        strokes.quadTo(control, a.end - polar(theta2, 0.6 * head));
        fills.addPath(arrowHeadPath(a.end, theta2, head));
        break;
    }
    default: {
        // Tapered: the shaft narrows from the full width at the head to 35 % at the tail.
        const QPointF base = a.end - unit * (0.6 * head);
        const QPointF normal(-std::sin(theta), std::cos(theta));
        fills.moveTo(a.start + normal * (0.175 * a.lineWidth));
        fills.lineTo(base + normal * (0.5 * a.lineWidth));
        fills.lineTo(base - normal * (0.5 * a.lineWidth));
        fills.lineTo(a.start - normal * (0.175 * a.lineWidth));
        fills.closeSubpath();
        fills.addPath(arrowHeadPath(a.end, theta, head));
        break;
    }
    }

    auto paint = [&](QPainter& p) {
        if (!strokes.isEmpty())
            p.strokePath(strokes, pen);
        if (!fills.isEmpty())
            p.fillPath(fills, a.color);
    };
    const double reach = a.lineWidth;
    const QRectF area = strokes.controlPointRect().adjusted(-reach, -reach, reach, reach) | fills.controlPointRect();
    drawShadow(painter, area, {QPointF(0, 1), 3, withAlpha(Qt::black, 0.3)}, paint, shadowKey(a));
    paint(painter);
}

void drawText(QPainter& painter, const Annotation& a)
{
    const TextAttributes attributes = textAttributes(a);
    const QRectF box = textBox(a);
    QRectF textRect;
    if (a.style == TextStyle::label) {
        QPainterPath background;
        background.addRoundedRect(box, a.fontSize * 0.3, a.fontSize * 0.3);
        painter.fillPath(background, a.color);
        textRect = box.adjusted(a.fontSize * 0.4, a.fontSize * 0.2, -a.fontSize * 0.4, -a.fontSize * 0.2);
    } else {
        textRect = box.adjusted(2, 1, -2, -1);
    }
    constexpr int flags = Qt::AlignLeft | Qt::AlignTop;

    auto paintPlain = [&](QPainter& p) {
        p.setFont(attributes.font);
        p.setPen(attributes.foreground);
        p.drawText(textRect, flags, a.text);
    };
    if (attributes.shadow) {
        const double reach = attributes.shadow->blurRadius + std::abs(attributes.shadow->offset.y());
        drawShadow(painter, box.adjusted(-reach, -reach, reach, reach),
            {attributes.shadow->offset, attributes.shadow->blurRadius, attributes.shadow->color}, paintPlain,
            shadowKey(a));
    }
    if (attributes.strokeColor) {
        // Filled glyphs with an outline on top, line by line from the top of the text rectangle.
        const QFontMetricsF metrics(attributes.font);
        QPainterPath glyphs;
        const QStringList lines = a.text.split(QLatin1Char('\n'));
        for (qsizetype i = 0; i < lines.size(); ++i) {
            glyphs.addText(textRect.left(), textRect.top() + metrics.ascent() + i * metrics.lineSpacing(),
                attributes.font, lines[i]);
        }
        painter.fillPath(glyphs, attributes.foreground);
        painter.strokePath(
            glyphs, QPen(*attributes.strokeColor, attributes.strokeWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        return;
    }
    paintPlain(painter);
}

void drawCounter(QPainter& painter, const Annotation& a)
{
    const double r = counterRadius(a.lineWidth);
    const QRectF badge(a.start.x() - r, a.start.y() - r, 2 * r, 2 * r);
    auto paintBadge = [&](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(a.color);
        p.drawEllipse(badge);
    };
    drawShadow(painter, badge.adjusted(-2, -2, 2, 2), {QPointF(0, 1), 4, withAlpha(Qt::black, 0.35)}, paintBadge,
        shadowKey(a));
    paintBadge(painter);

    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, std::max(r * 0.12, 2.0)));
    const double inset = r * 0.06;
    painter.drawEllipse(badge.adjusted(inset, inset, -inset, -inset));

    const QFont font = systemFont(r * 1.1, QFont::Bold);
    const QFontMetricsF metrics(font);
    const QString label = QString::number(a.number);
    const double width = metrics.horizontalAdvance(label);
    const double height = metrics.height();
    painter.setFont(font);
    painter.setPen(contrastColor(a.color));
    painter.drawText(QPointF(a.start.x() - width / 2, a.start.y() - height / 2 + metrics.ascent()), label);
}

} // namespace

QPainterPath arrowHeadPath(QPointF tip, double angle, double length)
{
    QPainterPath path;
    path.moveTo(tip);
    path.lineTo(tip - polar(angle - headSpread, length));
    path.lineTo(tip - polar(angle, 0.72 * length));
    path.lineTo(tip - polar(angle + headSpread, length));
    path.closeSubpath();
    return path;
}

double arrowHeadLength(double lineWidth, double arrowLength)
{
    return std::min(std::max(lineWidth * 4.2, 18.0), arrowLength * 0.6);
}

QPainterPath smoothPath(const std::vector<QPointF>& points)
{
    QPainterPath path;
    const std::size_t n = points.size();
    if (n == 0)
        return path;
    path.moveTo(points[0]);
    if (n == 1) {
        path.lineTo(points[0] + QPointF(0.1, 0));
        return path;
    }
    for (std::size_t i = 1; i + 1 < n; ++i)
        path.quadTo(points[i], (points[i] + points[i + 1]) / 2);
    path.lineTo(points[n - 1]);
    return path;
}

double counterRadius(double lineWidth)
{
    return std::max(lineWidth * 3.2, 16.0);
}

void drawAnnotation(QPainter& painter, const Annotation& a, const EffectLayers& effects, QSizeF baseSize)
{
    painter.save();
    if (a.kind.isImage()) {
        if (a.image)
            painter.drawImage(a.normRect(), *a.image);
        painter.restore();
        return;
    }
    QPen pen(a.color, a.lineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const QRectF rect = a.normRect();
    switch (*a.kind.tool()) {
    case Tool::select:
    case Tool::crop:
    case Tool::spotlight: break;
    case Tool::rectangle: {
        const double rx = std::min(a.lineWidth, rect.width() / 2);
        const double ry = std::min(a.lineWidth, rect.height() / 2);
        painter.drawRoundedRect(rect, rx, ry, Qt::AbsoluteSize);
        break;
    }
    case Tool::filledRect: painter.fillRect(rect, a.color); break;
    case Tool::ellipse: painter.drawEllipse(rect); break;
    case Tool::line: painter.drawLine(a.start, a.end); break;
    case Tool::arrow: drawArrow(painter, a, pen); break;
    case Tool::text: drawText(painter, a); break;
    case Tool::pencil: painter.drawPath(smoothPath(a.points)); break;
    case Tool::highlighter:
        painter.setCompositionMode(QPainter::CompositionMode_Multiply);
        pen.setColor(withAlpha(a.color, 0.45));
        pen.setCapStyle(Qt::FlatCap);
        pen.setWidthF(5 * a.lineWidth);
        painter.setPen(pen);
        painter.drawPath(smoothPath(a.points));
        break;
    case Tool::counter: drawCounter(painter, a); break;
    case Tool::blur:
    case Tool::pixelate: {
        // A window onto the one shared layer: nothing is blurred per annotation.
        const std::optional<QImage>& layer = a.is(Tool::blur) ? effects.blurred : effects.pixelated;
        if (layer) {
            clipTo(painter, rect);
            painter.drawImage(QRectF(QPointF(0, 0), baseSize), *layer);
        }
        break;
    }
    }
    painter.restore();
}

void drawAnnotations(
    QPainter& painter, const std::vector<Annotation>& annotations, const EffectLayers& effects, QSizeF baseSize)
{
    for (const Annotation& a : annotations) {
        if (a.is(Tool::blur) || a.is(Tool::pixelate))
            drawAnnotation(painter, a, effects, baseSize);
    }

    QPainterPath dimming;
    bool anySpotlight = false;
    for (const Annotation& a : annotations) {
        if (!a.is(Tool::spotlight))
            continue;
        if (!anySpotlight) {
            const double w = baseSize.width();
            const double h = baseSize.height();
            dimming.addRect(-w, -h, 3 * w, 3 * h);
            anySpotlight = true;
        }
        dimming.addEllipse(a.normRect());
    }
    if (anySpotlight) {
        // Even-odd: outside every ellipse is dimmed once, and where two ellipses overlap the
        // overlap is dimmed again.
        dimming.setFillRule(Qt::OddEvenFill);
        painter.save();
        painter.fillPath(dimming, withAlpha(Qt::black, 0.55));
        painter.restore();
    }

    for (const Annotation& a : annotations) {
        if (!a.is(Tool::blur) && !a.is(Tool::pixelate) && !a.is(Tool::spotlight))
            drawAnnotation(painter, a, effects, baseSize);
    }
}

} // namespace vantrel
