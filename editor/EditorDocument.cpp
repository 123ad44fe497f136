// SPDX-License-Identifier: GPL-3.0-or-later
#include "EditorDocument.h"

#include "AnnotationRenderer.h"
#include "BackgroundRenderer.h"
#include "ImageBuffers.h"

#include <QPainter>
#include <QPainterPath>
#include <QTransform>

#include <algorithm>
#include <cmath>

namespace vantrel {

namespace {

// QPainter draws these two formats without converting them first.
QImage drawable(QImage image)
{
    if (image.isNull() || image.format() == QImage::Format_ARGB32_Premultiplied
        || image.format() == QImage::Format_RGB32)
        return image;
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
}

void intersectClip(QPainter& painter, const QRectF& rect)
{
    painter.setClipRect(rect, painter.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
}

void intersectClip(QPainter& painter, const QPainterPath& path)
{
    painter.setClipPath(path, painter.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
}

} // namespace

EditorDocument::EditorDocument(QImage base, double scale, QObject* parent)
    : QObject(parent)
    , m_base(drawable(std::move(base)))
    , m_scale(scale > 0 ? scale : 1)
{
    setLineWidth(3 * m_scale);
    setFontSize(18 * m_scale);
    rebuildEffects();
}

EditorDocument::~EditorDocument() = default;

// --- plain setters -------------------------------------------------------------------------

void EditorDocument::setBase(QImage base)
{
    m_base = std::move(base);
    Q_EMIT baseChanged();
    Q_EMIT changed();
}

void EditorDocument::setAnnotations(std::vector<Annotation> annotations)
{
    m_annotations = std::move(annotations);
    Q_EMIT annotationsChanged();
    Q_EMIT changed();
}

void EditorDocument::setCrop(std::optional<QRectF> crop)
{
    if (crop)
        crop = QRectF(crop->normalized().toAlignedRect());
    if (crop == m_crop)
        return;
    m_crop = crop;
    Q_EMIT cropChanged();
    Q_EMIT changed();
}

void EditorDocument::setBackground(const BackgroundSettings& background)
{
    if (background == m_background)
        return;
    m_background = background;
    Q_EMIT backgroundChanged();
    Q_EMIT changed();
}

void EditorDocument::setSelectedID(std::optional<QUuid> id)
{
    if (id == m_selectedID)
        return;
    m_selectedID = id;
    Q_EMIT selectedIDChanged();
    Q_EMIT changed();
}

void EditorDocument::setDirty(bool dirty)
{
    if (dirty == m_dirty)
        return;
    m_dirty = dirty;
    Q_EMIT dirtyChanged();
    Q_EMIT changed();
}

void EditorDocument::setShowBackgroundPanel(bool show)
{
    if (show == m_showBackgroundPanel)
        return;
    m_showBackgroundPanel = show;
    Q_EMIT showBackgroundPanelChanged();
    Q_EMIT changed();
}

// --- style setters -------------------------------------------------------------------------

void EditorDocument::restyleSelection(const std::function<void(Annotation&)>& change)
{
    if (m_applyingSelection)
        return;
    const std::optional<std::size_t> index = selectedIndex();
    if (!index)
        return;
    pushUndo();
    change(m_annotations[*index]);
    Q_EMIT annotationsChanged();
    Q_EMIT changed();
}

void EditorDocument::setTool(Tool tool)
{
    if (tool != m_tool) {
        m_tool = tool;
        Q_EMIT toolChanged();
        Q_EMIT changed();
    }
    if (tool != Tool::select)
        setSelectedID(std::nullopt);
}

void EditorDocument::setColor(const QColor& color)
{
    if (color != m_color) {
        m_color = color;
        Q_EMIT colorChanged();
        Q_EMIT changed();
    }
    restyleSelection([&](Annotation& a) { a.color = color; });
}

void EditorDocument::setLineWidth(double width)
{
    if (width != m_lineWidth) {
        m_lineWidth = width;
        Q_EMIT lineWidthChanged();
        Q_EMIT changed();
    }
    restyleSelection([&](Annotation& a) { a.lineWidth = width; });
}

void EditorDocument::setFontSize(double size)
{
    if (size != m_fontSize) {
        m_fontSize = size;
        Q_EMIT fontSizeChanged();
        Q_EMIT changed();
    }
    restyleSelection([&](Annotation& a) {
        if (a.is(Tool::text))
            a.fontSize = size;
    });
}

void EditorDocument::setArrowStyle(qint64 style)
{
    if (style != m_arrowStyle) {
        m_arrowStyle = style;
        Q_EMIT arrowStyleChanged();
        Q_EMIT changed();
    }
    restyleSelection([&](Annotation& a) {
        if (a.is(Tool::arrow))
            a.style = style;
    });
}

void EditorDocument::setTextStyle(qint64 style)
{
    if (style != m_textStyle) {
        m_textStyle = style;
        Q_EMIT textStyleChanged();
        Q_EMIT changed();
    }
    restyleSelection([&](Annotation& a) {
        if (a.is(Tool::text))
            a.style = style;
    });
}

// --- queries -------------------------------------------------------------------------------

std::optional<std::size_t> EditorDocument::selectedIndex() const
{
    if (!m_selectedID)
        return std::nullopt;
    for (std::size_t i = 0; i < m_annotations.size(); ++i) {
        if (m_annotations[i].id == *m_selectedID)
            return i;
    }
    return std::nullopt;
}

const Annotation* EditorDocument::selectedAnnotation() const
{
    const std::optional<std::size_t> index = selectedIndex();
    return index ? &m_annotations[*index] : nullptr;
}

const Annotation* EditorDocument::annotation(const QUuid& id) const
{
    for (const Annotation& a : m_annotations) {
        if (a.id == id)
            return &a;
    }
    return nullptr;
}

qint64 EditorDocument::nextCounterNumber() const
{
    std::optional<qint64> largest;
    for (const Annotation& a : m_annotations) {
        if (a.is(Tool::counter))
            largest = std::max(largest.value_or(a.number), a.number);
    }
    return largest ? *largest + 1 : 1;
}

std::optional<QUuid> EditorDocument::topmostHit(QPointF p, double tolerance, std::optional<Tool> only) const
{
    for (auto it = m_annotations.rbegin(); it != m_annotations.rend(); ++it) {
        if (only && !it->is(*only))
            continue;
        if (hitTest(*it, p, tolerance))
            return it->id;
    }
    return std::nullopt;
}

// --- annotation edits ----------------------------------------------------------------------

void EditorDocument::appendAnnotation(Annotation annotation)
{
    m_annotations.push_back(std::move(annotation));
    Q_EMIT annotationsChanged();
    Q_EMIT changed();
}

std::optional<QUuid> EditorDocument::createAnnotation(Tool tool, QPointF p)
{
    if (tool == Tool::select || tool == Tool::crop)
        return std::nullopt;
    pushUndo();
    Annotation a;
    a.kind = AnnotationKind::ofTool(tool);
    a.start = p;
    a.end = p;
    a.color = m_color;
    switch (tool) {
    case Tool::text:
        a.start = QPointF(p.x(), p.y() - 0.6 * m_fontSize);
        a.fontSize = m_fontSize;
        a.style = m_textStyle;
        break;
    case Tool::counter:
        a.lineWidth = m_lineWidth;
        a.number = nextCounterNumber();
        break;
    case Tool::pencil:
    case Tool::highlighter: a.points = {p}; [[fallthrough]];
    default:
        a.lineWidth = m_lineWidth;
        a.style = m_arrowStyle;
        break;
    }
    const QUuid id = a.id;
    appendAnnotation(std::move(a));
    return id;
}

QUuid EditorDocument::createImageAnnotation(const QImage& image, QPointF start, QPointF end)
{
    pushUndo();
    Annotation a;
    a.kind = AnnotationKind::image();
    a.start = start;
    a.end = end;
    a.image = image;
    const QUuid id = a.id;
    appendAnnotation(std::move(a));
    return id;
}

bool EditorDocument::modifyAnnotation(const QUuid& id, const std::function<void(Annotation&)>& change)
{
    for (Annotation& a : m_annotations) {
        if (a.id == id) {
            change(a);
            Q_EMIT annotationsChanged();
            Q_EMIT changed();
            return true;
        }
    }
    return false;
}

bool EditorDocument::removeAnnotation(const QUuid& id)
{
    const auto it = std::find_if(m_annotations.begin(), m_annotations.end(), [&](const auto& a) { return a.id == id; });
    if (it == m_annotations.end())
        return false;
    m_annotations.erase(it);
    Q_EMIT annotationsChanged();
    Q_EMIT changed();
    return true;
}

bool EditorDocument::translateAnnotation(const QUuid& id, QPointF offset)
{
    return modifyAnnotation(id, [&](Annotation& a) { vantrel::translate(a, offset); });
}

// --- commands ------------------------------------------------------------------------------

void EditorDocument::deleteSelected()
{
    const std::optional<std::size_t> index = selectedIndex();
    if (!index)
        return;
    pushUndo();
    m_annotations.erase(m_annotations.begin() + static_cast<std::ptrdiff_t>(*index));
    Q_EMIT annotationsChanged();
    Q_EMIT changed();
    setSelectedID(std::nullopt);
}

void EditorDocument::applySelectionStyle()
{
    const Annotation* selected = selectedAnnotation();
    if (!selected)
        return;
    const Annotation a = *selected;
    m_applyingSelection = true;
    setColor(a.color);
    setLineWidth(a.lineWidth);
    if (a.is(Tool::arrow))
        setArrowStyle(a.style);
    if (a.is(Tool::text)) {
        setFontSize(a.fontSize);
        setTextStyle(a.style);
    }
    m_applyingSelection = false;
}

void EditorDocument::replaceBase(const QImage& image)
{
    setAnnotations({});
    setCrop(std::nullopt);
    setBase(drawable(image));
    rebuildEffects();
}

void EditorDocument::transform(int degrees, bool flipHorizontal, bool flipVertical)
{
    pushUndo();
    const QImage flat = flattenBase(true);
    QImage turned;
    if (degrees % 90 == 0) {
        // Quarter turns and mirrors move pixels exactly, without resampling.
        turned = flat.mirrored(flipHorizontal, flipVertical);
        if (degrees % 360 != 0)
            turned = turned.transformed(QTransform().rotate(degrees));
    } else {
        const int w = flat.width();
        const int h = flat.height();
        const bool quarter = degrees % 180 != 0;
        turned = imagebuffers::allocate(quarter ? h : w, quarter ? w : h, QImage::Format_ARGB32_Premultiplied);
        if (!turned.isNull()) {
            turned.fill(Qt::transparent);
            QPainter painter(&turned);
            painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
            painter.translate(turned.width() / 2.0, turned.height() / 2.0);
            painter.rotate(degrees);
            painter.scale(flipHorizontal ? -1 : 1, flipVertical ? -1 : 1);
            painter.drawImage(QPointF(-w / 2.0, -h / 2.0), flat);
        }
    }
    if (turned.isNull())
        return;
    setSelectedID(std::nullopt);
    replaceBase(turned);
}

void EditorDocument::resize(int width)
{
    if (width <= 0 || m_base.isNull())
        return;
    const double ratio = double(width) / m_base.width();
    // A sliver keeps at least one row rather than failing to make an empty bitmap.
    const int height = std::max(1, static_cast<int>(std::round(ratio * m_base.height())));
    pushUndo();
    const QImage scaled = flattenBase(true).scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (scaled.isNull())
        return;
    replaceBase(scaled);
}

void EditorDocument::autoBalanceBackground()
{
    pushUndo();
    const QSizeF content = m_crop ? m_crop->size() : QSizeF(m_base.size());
    BackgroundSettings settings = m_background;
    settings.padding = std::round(std::max(content.width(), content.height()) * 0.08);
    settings.enabled = true;
    setBackground(settings);
}

// --- undo ----------------------------------------------------------------------------------

Snapshot EditorDocument::snapshot() const
{
    return {m_base, m_annotations, m_crop, m_background};
}

void EditorDocument::pushUndo()
{
    m_undoStack.push_back(snapshot());
    ++m_undoPushes;
    if (m_undoStack.size() > std::size_t(maxUndoLevels))
        m_undoStack.erase(m_undoStack.begin());
    m_redoStack.clear();
    setDirty(true);
}

void EditorDocument::undo()
{
    if (m_undoStack.empty())
        return;
    Snapshot previous = std::move(m_undoStack.back());
    m_undoStack.pop_back();
    m_redoStack.push_back(snapshot());
    restore(previous);
}

void EditorDocument::redo()
{
    if (m_redoStack.empty())
        return;
    Snapshot next = std::move(m_redoStack.back());
    m_redoStack.pop_back();
    m_undoStack.push_back(snapshot());
    restore(next);
}

void EditorDocument::restore(const Snapshot& s)
{
    // Same pixel buffer, same effects: only a rotate, flip or resize ever swaps the base.
    if (s.base.cacheKey() != m_base.cacheKey()) {
        setBase(s.base);
        rebuildEffects();
    }
    setAnnotations(s.annotations);
    setCrop(s.crop);
    setBackground(s.background);
    setSelectedID(std::nullopt);
    setDirty(true);
}

UndoMark EditorDocument::undoMark() const
{
    return {m_undoPushes, m_redoStack, m_dirty};
}

bool EditorDocument::withdrawUnchangedUndo(const UndoMark& mark)
{
    if (m_undoStack.empty() || m_undoPushes != mark.undoPushes + 1)
        return false;
    const Snapshot& last = m_undoStack.back();
    if (last.base.cacheKey() != m_base.cacheKey() || last.annotations != m_annotations || last.crop != m_crop
        || last.background != m_background)
        return false;
    m_undoStack.pop_back();
    m_redoStack = mark.redoStack;
    setDirty(mark.dirty);
    Q_EMIT changed(); // the undo and redo buttons follow the stacks
    return true;
}

// --- rendering -----------------------------------------------------------------------------

DocumentLayout EditorDocument::layout(bool raw) const
{
    const QSizeF baseSize = m_base.size();
    if (raw)
        return {baseSize, QPointF(0, 0), QRectF(QPointF(0, 0), baseSize)};
    const QSizeF content = m_crop ? m_crop->size() : baseSize;
    const CanvasLayout canvas = canvasLayout(m_background, content);
    const QPointF origin(canvas.contentX, canvas.contentY);
    const QPointF cropOrigin = m_crop ? m_crop->topLeft() : QPointF(0, 0);
    return {QSizeF(canvas.width, canvas.height), origin - cropOrigin, QRectF(origin, content)};
}

void EditorDocument::drawDocument(QPainter& painter, bool raw, DocumentPart part) const
{
    const DocumentLayout l = layout(raw);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    if (m_background.enabled && !raw) {
        if (part.kind != DocumentPart::Kind::over)
            drawBackground(painter, m_background, l.canvasSize, l.contentRect);
        const double radius = std::max(
            0.0, std::min({m_background.cornerRadius, l.contentRect.width() / 2, l.contentRect.height() / 2}));
        if (radius > 0) {
            QPainterPath rounded;
            rounded.addRoundedRect(l.contentRect, radius, radius);
            intersectClip(painter, rounded);
        } else {
            intersectClip(painter, l.contentRect);
        }
    } else {
        intersectClip(painter, l.contentRect);
    }
    painter.translate(l.offset);
    switch (part.kind) {
    case DocumentPart::Kind::whole:
        painter.drawImage(QPointF(0, 0), m_base);
        drawAnnotations(painter, m_annotations, m_effects, m_base.size());
        break;
    case DocumentPart::Kind::under:
    case DocumentPart::Kind::over: {
        // The annotations drawn in the last pass from `index` on go over; all others under.
        std::vector<Annotation> selected;
        for (std::size_t i = 0; i < m_annotations.size(); ++i) {
            const bool over = i >= part.index && drawnInLastPass(i);
            if (over == (part.kind == DocumentPart::Kind::over))
                selected.push_back(m_annotations[i]);
        }
        if (part.kind == DocumentPart::Kind::under)
            painter.drawImage(QPointF(0, 0), m_base);
        drawAnnotations(painter, selected, m_effects, m_base.size());
        break;
    }
    }
    painter.restore();
}

bool EditorDocument::drawnInLastPass(std::size_t index) const
{
    if (index >= m_annotations.size())
        return false;
    const Annotation& a = m_annotations[index];
    return !a.is(Tool::blur) && !a.is(Tool::pixelate) && !a.is(Tool::spotlight);
}

QImage EditorDocument::render() const
{
    const DocumentLayout l = layout(false);
    const int width = static_cast<int>(l.canvasSize.width());
    const int height = static_cast<int>(l.canvasSize.height());
    QImage output = imagebuffers::allocate(width, height, QImage::Format_ARGB32_Premultiplied);
    if (output.isNull())
        return m_base;
    // The gradient, or else an opaque base (the canvas is then the content), covers every pixel.
    if (!m_background.enabled && m_base.hasAlphaChannel())
        output.fill(Qt::transparent);
    QPainter painter(&output);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    drawDocument(painter, false);
    painter.end();
    return output;
}

QImage EditorDocument::flattenBase(bool includeAnnotations) const
{
    QImage output = imagebuffers::allocate(m_base.width(), m_base.height(), QImage::Format_ARGB32_Premultiplied);
    if (output.isNull())
        return m_base;
    if (m_base.hasAlphaChannel())
        output.fill(Qt::transparent);
    QPainter painter(&output);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    painter.drawImage(QPointF(0, 0), m_base);
    if (includeAnnotations)
        drawAnnotations(painter, m_annotations, m_effects, m_base.size());
    painter.end();
    return output;
}

void EditorDocument::rebuildEffects()
{
    // Let the old layers go first so that their memory can serve the new ones.
    m_effects = {};
    m_effects = effects::makeEffectLayers(m_base);
}

} // namespace vantrel
