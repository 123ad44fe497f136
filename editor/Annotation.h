// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Tool.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QUuid>

#include <optional>
#include <vector>

namespace vantrel {

// What an annotation is: drawn with a tool (never select or crop), or a dropped image.
class AnnotationKind
{
public:
    static AnnotationKind ofTool(Tool tool) { return AnnotationKind(false, tool); }
    static AnnotationKind image() { return AnnotationKind(true, Tool::select); }

    bool isImage() const { return m_image; }
    // The tool, or none for an image.
    std::optional<Tool> tool() const { return m_image ? std::nullopt : std::optional<Tool>(m_tool); }
    bool is(Tool tool) const { return !m_image && m_tool == tool; }

    bool operator==(const AnnotationKind& other) const
    {
        return m_image == other.m_image && (m_image || m_tool == other.m_tool);
    }

private:
    AnnotationKind(bool image, Tool tool)
        : m_image(image)
        , m_tool(tool)
    { }
    bool m_image;
    Tool m_tool;
};

// The platform red used for new annotations and as the editor's first colour.
QColor systemRed();

// Arrow styles (`style` of arrows) and text styles (`style` of text).
namespace ArrowStyle {
inline constexpr qint64 tapered = 0, classic = 1, doubleHeaded = 2, curved = 3;
}
namespace TextStyle {
inline constexpr qint64 plain = 0, outline = 1, label = 2, shadow = 3;
}

// One shape on the canvas; a plain value, so snapshots hold copies. Geometry is in base-image
// pixels, origin top-left, y down; `lineWidth` and `fontSize` are pixels too.
struct Annotation
{
    QUuid id = QUuid::createUuid();
    AnnotationKind kind = AnnotationKind::ofTool(Tool::rectangle);
    QPointF start;
    QPointF end;
    std::vector<QPointF> points;
    QColor color = systemRed();
    double lineWidth = 6;
    QString text;
    double fontSize = 36;
    qint64 number = 1;
    qint64 style = 0;
    std::optional<QImage> image;

    // The rectangle spanned by start and end (non-negative size).
    QRectF normRect() const;
    bool is(Tool tool) const { return kind.is(tool); }

    bool operator==(const Annotation& other) const = default;
};

// 0.299 r + 0.587 g + 0.114 b > 0.7 in sRGB; an invalid colour is not light.
bool isLight(const QColor& color);
// Black on light colours, white otherwise: label text, counter digits, outlines.
QColor contrastColor(const QColor& color);

// How a text annotation's glyphs are drawn.
struct TextAttributes
{
    struct Shadow
    {
        double blurRadius; // pixels
        QPointF offset; // pixels, y down
        QColor color;
    };

    QFont font;
    QColor foreground;
    // Outline style: glyphs are filled with the foreground and stroked with this colour.
    std::optional<QColor> strokeColor;
    // Stroke width in pixels (4 % of the font size).
    double strokeWidth = 0;
    std::optional<Shadow> shadow;
};

// The system font at `pixelSize`, with the given weight.
QFont systemFont(double pixelSize, QFont::Weight weight);
TextAttributes textAttributes(const Annotation& annotation);
// Size of the laid-out text (an empty text measures as one space), before rounding up.
QSizeF measureText(const QString& text, const QFont& font);
// Padding around a text annotation's measured text: (padX, padY) in pixels.
QSizeF textPadding(const Annotation& annotation);
// The text box: start, with the measured size rounded up plus the padding.
QRectF textBox(const Annotation& annotation);

// Bounds in base pixels, the area the selection outline surrounds.
QRectF bounds(const Annotation& annotation);
// Whether the point `p` (base pixels) touches the annotation, within `tolerance` pixels.
bool hitTest(const Annotation& annotation, QPointF p, double tolerance);
// Moves start, end and every freehand point by `offset`.
void translate(Annotation& annotation, QPointF offset);
// Distance from p to the segment a–b.
double distanceToSegment(QPointF p, QPointF a, QPointF b);

} // namespace vantrel
