// SPDX-License-Identifier: GPL-3.0-or-later
#include "CanvasView.h"

#include "ImageBuffers.h"
#include "ImageFiles.h"

#include <QDragEnterEvent>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace vantrel {

namespace {

constexpr double pencilStep = 1.5; // base pixels between recorded freehand points
constexpr double minimumShape = 3; // base pixels: a shorter drag is a click
constexpr double minimumCrop = 4; // base pixels
constexpr double maxDropWidthFraction = 0.6;

double distance(QPointF a, QPointF b)
{
    return std::hypot(a.x() - b.x(), a.y() - b.y());
}

bool hasHandles(const Annotation& a)
{
    return a.kind.isImage() || a.is(Tool::line) || a.is(Tool::arrow) || isRectShaped(*a.kind.tool());
}

bool isLineLike(const Annotation& a)
{
    return a.is(Tool::line) || a.is(Tool::arrow);
}

// The corner of `r` opposite to corner handle `index` (0 top-left, 1 top-right, 2 bottom-right,
// 3 bottom-left).
QPointF oppositeCorner(const QRectF& r, int index)
{
    switch (index) {
    case 0: return r.bottomRight();
    case 1: return r.bottomLeft();
    case 2: return r.topLeft();
    default: return r.topRight();
    }
}

QColor grey(double level)
{
    return QColor::fromRgbF(level, level, level);
}

// Accent of the desktop theme: selection outlines, handles.
QColor accentColor(const QWidget* widget)
{
    return widget->palette().color(QPalette::Highlight);
}

QString cssColor(const QColor& color)
{
    const QColor c = color.toRgb();
    return QStringLiteral("rgba(%1, %2, %3, %4)").arg(c.red()).arg(c.green()).arg(c.blue()).arg(c.alpha());
}

QImage imageFromMime(const QMimeData& data)
{
    const QList<QUrl> urls = data.urls();
    if (!urls.isEmpty() && urls.first().isLocalFile()) {
        // A dropped pipe or device must not hang the editor: regular files only.
        if (Expected<OpenedImage> opened = loadImageFile(urls.first().toLocalFile()))
            return opened->image;
    }
    if (data.hasImage()) {
        const QImage image = qvariant_cast<QImage>(data.imageData());
        if (!image.isNull())
            return image;
    }
    for (const char* format : {"image/png", "image/tiff", "image/jpeg", "image/bmp"}) {
        const QString type = QString::fromLatin1(format);
        if (!data.hasFormat(type))
            continue;
        QImage image;
        if (image.loadFromData(data.data(type)))
            return image;
    }
    return {};
}

} // namespace

// --- geometry ------------------------------------------------------------------------------

QRectF CanvasGeometry::toView(const QRectF& document) const
{
    return QRectF(toView(document.topLeft()), toView(document.bottomRight()));
}

CanvasGeometry canvasGeometry(const DocumentLayout& layout, QSizeF viewSize, double zoom, double scale)
{
    const double cw = std::max(layout.canvasSize.width(), 1.0);
    const double ch = std::max(layout.canvasSize.height(), 1.0);
    const double m = 2 * CanvasView::fitMargin;
    const double fit = std::min({(viewSize.width() - m) / cw, (viewSize.height() - m) / ch, 1 / scale});
    // A view smaller than its margins would give a negative scale and mirror the picture.
    const double s = std::max(zoom > 0 ? zoom / scale : fit, 0.01);
    CanvasGeometry g;
    g.s = s;
    g.origin = QPointF(std::round((viewSize.width() - layout.canvasSize.width() * s) / 2),
        std::round((viewSize.height() - layout.canvasSize.height() * s) / 2));
    g.offset = layout.offset;
    g.canvasSize = layout.canvasSize;
    return g;
}

QPointF constrain(const AnnotationKind& kind, QPointF origin, QPointF q)
{
    const QPointF d = q - origin;
    if (kind.is(Tool::line) || kind.is(Tool::arrow)) {
        const double length = std::hypot(d.x(), d.y());
        const double step = M_PI / 4;
        const double angle = std::round(std::atan2(d.y(), d.x()) / step) * step;
        return origin + QPointF(std::cos(angle), std::sin(angle)) * length;
    }
    const double m = std::max(std::abs(d.x()), std::abs(d.y()));
    return origin + QPointF(d.x() < 0 ? -m : m, d.y() < 0 ? -m : m);
}

std::vector<QPointF> annotationHandles(const Annotation& a, const std::function<QPointF(QPointF)>& toView)
{
    if (isLineLike(a))
        return {toView(a.start), toView(a.end)};
    if (!hasHandles(a))
        return {};
    const QRectF r = a.normRect();
    return {toView(r.topLeft()), toView(r.topRight()), toView(r.bottomRight()), toView(r.bottomLeft())};
}

// --- the view ------------------------------------------------------------------------------

CanvasView::CanvasView(EditorDocument* doc, QWidget* parent)
    : QWidget(parent)
    , m_doc(doc)
{
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    setMinimumSize(200, 150);
    // QWidget::update coalesces: however many changes a drag step makes, one repaint follows on
    // the next turn of the event loop.
    connect(m_doc, &EditorDocument::changed, this, [this] {
        if (!m_partialRepaint)
            update();
    });
    connect(m_doc, &EditorDocument::toolChanged, this, &CanvasView::updateCursor);
    updateCursor();
}

CanvasView::~CanvasView() = default;

void CanvasView::setZoom(double zoom)
{
    m_zoom = std::max(zoom, 0.0);
    update();
}

CanvasGeometry CanvasView::geometryNow() const
{
    const bool raw = m_doc->tool() == Tool::crop;
    return canvasGeometry(m_doc->layout(raw), QSizeF(size()), m_zoom, m_doc->scale());
}

void CanvasView::updateCursor()
{
    switch (m_doc->tool()) {
    case Tool::select: setCursor(Qt::ArrowCursor); break;
    case Tool::text: setCursor(Qt::IBeamCursor); break;
    default: setCursor(Qt::CrossCursor); break;
    }
}

// --- drawing -------------------------------------------------------------------------------

void CanvasView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const CanvasGeometry g = geometryNow();
    if (m_renderingDragCache) {
        paintScene(painter, g, DocumentPart::under(m_dragCache->index));
        return;
    }
    if (dragCacheFits(g)) {
        // A drag redraws only the dragged annotation and those over it: a 4K base with blurs and
        // spotlights costs a whole frame to draw, the picture of what lies under a copy.
        painter.drawImage(QPointF(0, 0), m_dragCache->image);
        painter.save();
        painter.setClipRect(g.imageRect().intersected(rect()));
        painter.translate(g.origin);
        painter.scale(g.s, g.s);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, g.s < 1);
        m_doc->drawDocument(painter, m_dragCache->raw, DocumentPart::over(m_dragCache->index));
        painter.restore();
    } else {
        paintScene(painter, g, {});
    }

    if (m_doc->tool() == Tool::crop)
        paintCropOverlay(painter, g);
    if (!m_editingTextID)
        paintSelection(painter, g);
}

void CanvasView::prepareDragCache()
{
    const CanvasGeometry g = geometryNow();
    const std::optional<std::size_t> index = draggedLastPassIndex();
    if (!index || dragCacheFits(g))
        return;
    m_dragCache.reset();
    const double dpr = devicePixelRatioF();
    const QSize pixels = size() * dpr;
    DragCache cache;
    // Opaque, like the window's own pixels: every frame draws over them without blending.
    cache.image = imagebuffers::allocate(pixels.width(), pixels.height(), QImage::Format_RGB32);
    if (cache.image.isNull())
        return;
    cache.image.setDevicePixelRatio(dpr);
    cache.viewSize = size();
    cache.devicePixelRatio = dpr;
    cache.s = g.s;
    cache.origin = g.origin;
    cache.raw = m_doc->tool() == Tool::crop;
    cache.baseKey = m_doc->base().cacheKey();
    cache.crop = m_doc->crop();
    cache.background = m_doc->background();
    cache.index = *index;
    cache.rest = m_doc->annotations();
    cache.rest.erase(cache.rest.begin() + std::ptrdiff_t(*index));
    m_dragCache = std::move(cache);
    // Rendered as the widget paints itself (not with a painter on the image), so that the
    // picture matches the window's own pixels and shares their cached shadows.
    m_renderingDragCache = true;
    render(&m_dragCache->image, QPoint(), QRegion(), QWidget::RenderFlags());
    m_renderingDragCache = false;
}

void CanvasView::paintScene(QPainter& painter, const CanvasGeometry& g, DocumentPart part) const
{
    const QRectF image = g.imageRect();
    const QRectF view = rect();
    painter.fillRect(view, palette().color(QPalette::Window).darker(112));

    // Transparency checkerboard: 8-point squares of grey 0.82 on grey 0.92, anchored at the
    // image's top-left corner.
    static const QPixmap tile = [] {
        QPixmap pixmap(16, 16);
        pixmap.fill(grey(0.92));
        QPainter p(&pixmap);
        p.fillRect(0, 0, 8, 8, grey(0.82));
        p.fillRect(8, 8, 8, 8, grey(0.82));
        return pixmap;
    }();
    QBrush brush(tile);
    brush.setTransform(QTransform::fromTranslate(image.left(), image.top()));
    painter.fillRect(image.intersected(view), brush);

    painter.save();
    painter.setClipRect(image.intersected(view));
    painter.translate(g.origin);
    painter.scale(g.s, g.s);
    // Zoomed in, pixels stay crisp; zoomed out, they are filtered.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, g.s < 1);
    m_doc->drawDocument(painter, m_doc->tool() == Tool::crop, part);
    painter.restore();
}

std::optional<std::size_t> CanvasView::draggedLastPassIndex() const
{
    const std::optional<QUuid> id = draggedID();
    if (!id)
        return std::nullopt;
    const std::vector<Annotation>& annotations = m_doc->annotations();
    for (std::size_t i = 0; i < annotations.size(); ++i) {
        if (annotations[i].id == *id)
            return m_doc->drawnInLastPass(i) ? std::optional(i) : std::nullopt;
    }
    return std::nullopt;
}

bool CanvasView::dragCacheFits(const CanvasGeometry& g) const
{
    if (!m_dragCache || m_dragCache->index != draggedLastPassIndex())
        return false;
    const DragCache& c = *m_dragCache;
    const std::vector<Annotation>& annotations = m_doc->annotations();
    if (c.viewSize != size() || c.devicePixelRatio != devicePixelRatioF() || c.s != g.s || c.origin != g.origin
        || c.raw != (m_doc->tool() == Tool::crop) || c.baseKey != m_doc->base().cacheKey() || c.crop != m_doc->crop()
        || c.background != m_doc->background() || c.rest.size() + 1 != annotations.size())
        return false;
    // Everything but the dragged annotation is as pictured.
    const auto split = annotations.begin() + std::ptrdiff_t(c.index);
    return std::equal(annotations.begin(), split, c.rest.begin())
        && std::equal(split + 1, annotations.end(), c.rest.begin() + std::ptrdiff_t(c.index));
}

std::array<QPointF, 8> CanvasView::cropHandles(const QRectF& f)
{
    const QPointF c = f.center();
    return {f.topLeft(), f.topRight(), f.bottomRight(), f.bottomLeft(), QPointF(c.x(), f.top()),
        QPointF(f.right(), c.y()), QPointF(c.x(), f.bottom()), QPointF(f.left(), c.y())};
}

void CanvasView::paintCropOverlay(QPainter& painter, const CanvasGeometry& g) const
{
    const QRectF image = g.imageRect();
    const std::optional<QRectF>& crop = m_doc->crop();
    const QRectF k = crop ? g.toView(*crop) : image;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shade;
    shade.setFillRule(Qt::OddEvenFill);
    shade.addRect(image);
    shade.addRect(k);
    painter.fillPath(shade, QColor(0, 0, 0, 128));

    // A dark line under the white one keeps the frame visible on white pictures too.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0, 0, 0, 140), 3));
    painter.drawRect(k);
    painter.setPen(QPen(Qt::white, 1.5));
    painter.drawRect(k);

    QColor third = Qt::white;
    third.setAlphaF(0.4);
    painter.setPen(QPen(third, 0.5));
    for (int i = 1; i <= 2; ++i) {
        const double x = k.left() + k.width() * i / 3;
        const double y = k.top() + k.height() * i / 3;
        painter.drawLine(QPointF(x, k.top()), QPointF(x, k.bottom()));
        painter.drawLine(QPointF(k.left(), y), QPointF(k.right(), y));
    }

    // The handles: white squares with a dark rim, so they read on light and dark pictures alike.
    painter.setPen(QPen(QColor(0, 0, 0, 170), 1));
    painter.setBrush(Qt::white);
    for (const QPointF& handle : cropHandles(k)) {
        const double half = handleDiameter / 2;
        painter.drawRect(QRectF(handle - QPointF(half, half), QSizeF(handleDiameter, handleDiameter)));
    }

    if (crop) {
        const QString label = QStringLiteral(" %1 × %2 ")
                                  .arg(static_cast<long long>(crop->width()))
                                  .arg(static_cast<long long>(crop->height()));
        QFont font = systemFont(11, QFont::Medium);
        font.setStyleHint(QFont::SansSerif);
        painter.setFont(font);
        const QFontMetricsF metrics(font);
        const QRectF box(k.topLeft() + QPointF(4, 4), QSizeF(metrics.horizontalAdvance(label), metrics.height()));
        painter.fillRect(box, QColor(0, 0, 0, 179));
        painter.setPen(Qt::white);
        painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, label);
    }
    painter.restore();
}

void CanvasView::paintSelection(QPainter& painter, const CanvasGeometry& g) const
{
    const Annotation* selected = m_doc->selectedAnnotation();
    if (!selected)
        return;
    const QColor accent = accentColor(this);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPen outline(accent, 1);
    outline.setDashPattern({4, 3});
    painter.setPen(outline);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(g.toView(bounds(*selected)).normalized().adjusted(-4, -4, 4, 4));
    painter.setPen(QPen(accent, 1));
    painter.setBrush(Qt::white);
    const double r = handleDiameter / 2;
    for (const QPointF& h : annotationHandles(*selected, [&](QPointF p) { return g.toView(p); }))
        painter.drawEllipse(h, r, r);
    painter.restore();
}

// --- mouse ---------------------------------------------------------------------------------

void CanvasView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    press(event->position(), 1, event->modifiers());
}

void CanvasView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    press(event->position(), 2, event->modifiers());
}

void CanvasView::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() & Qt::LeftButton)
        dragTo(event->position(), event->modifiers());
}

void CanvasView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        release();
}

void CanvasView::press(QPointF p, int clickCount, Qt::KeyboardModifiers modifiers)
{
    endTextEditing();
    setFocus(Qt::MouseFocusReason);
    m_drag = std::monostate {};
    m_pressMark = m_doc->undoMark();
    EditorDocument& doc = *m_doc;
    const CanvasGeometry g = geometryNow();

    if (const Annotation* selected = doc.selectedAnnotation()) {
        const std::vector<QPointF> handles = annotationHandles(*selected, [&](QPointF d) { return g.toView(d); });
        for (int i = 0; i < int(handles.size()); ++i) {
            if (distance(handles[i], p) >= handleReach)
                continue;
            Handle handle {selected->id, i, {}, {}};
            if (!isLineLike(*selected)) {
                const QRectF r = selected->normRect();
                handle.anchor = oppositeCorner(r, i);
                if (selected->kind.isImage() && r.width() > 0)
                    handle.aspect = r.height() / r.width();
            }
            doc.pushUndo();
            m_drag = handle;
            return;
        }
    }

    const QPointF q = g.toDocument(p);
    const double tolerance = hitTolerance / std::max(g.s, 0.01);
    switch (doc.tool()) {
    case Tool::select: {
        const std::optional<QUuid> hit = doc.topmostHit(q, tolerance);
        if (!hit) {
            doc.setSelectedID(std::nullopt);
            return;
        }
        if (clickCount == 2 && doc.annotation(*hit)->is(Tool::text)) {
            beginTextEditing(*hit);
            return;
        }
        doc.setSelectedID(*hit);
        doc.applySelectionStyle();
        doc.pushUndo();
        m_drag = Moving {*hit, q};
        return;
    }
    case Tool::crop: {
        const std::optional<QRectF>& crop = doc.crop();
        doc.pushUndo();
        // A handle resizes the frame (the whole picture's when nothing is cropped yet); only a
        // press elsewhere starts a new crop.
        const QRectF frame = crop ? *crop : QRectF(QPointF(0, 0), QSizeF(doc.base().size()));
        const std::array<QPointF, 8> handles = cropHandles(g.toView(frame));
        const std::array<QPointF, 8> anchors = cropHandles(frame);
        for (int i = 0; i < 8; ++i) {
            if (distance(handles[i], p) >= handleReach)
                continue;
            // The opposite handle stays put: corners 0↔2, 1↔3, sides 4↔6, 5↔7.
            const QPointF anchor = anchors[i < 4 ? (i + 2) % 4 : 4 + (i - 4 + 2) % 4];
            const bool horizontal = i < 4 || i == 5 || i == 7;
            const bool vertical = i < 4 || i == 4 || i == 6;
            m_drag = ResizingCrop {anchor, horizontal, vertical, frame, crop};
            return;
        }
        if (crop && crop->contains(q)) {
            m_drag = MovingCrop {q, *crop};
        } else {
            // A crop started beside the picture starts at its nearest edge: it never leaves the base.
            const QSizeF base = doc.base().size();
            m_drag = Cropping {QPointF(std::clamp(q.x(), 0.0, base.width()), std::clamp(q.y(), 0.0, base.height()))};
        }
        return;
    }
    case Tool::text: {
        if (const std::optional<QUuid> hit = doc.topmostHit(q, tolerance, Tool::text)) {
            beginTextEditing(*hit);
            return;
        }
        const UndoMark mark = doc.undoMark();
        if (const std::optional<QUuid> id = doc.createAnnotation(Tool::text, q)) {
            beginTextEditing(*id);
            m_newTextMark = mark;
        }
        return;
    }
    case Tool::counter:
        if (const std::optional<QUuid> id = doc.createAnnotation(Tool::counter, q))
            m_drag = Moving {*id, q};
        return;
    default:
        if (modifiers & Qt::ControlModifier) {
            if (const std::optional<QUuid> hit = doc.topmostHit(q, tolerance)) {
                doc.setSelectedID(*hit);
                doc.pushUndo();
                m_drag = Moving {*hit, q};
                return;
            }
        }
        if (const std::optional<QUuid> id = doc.createAnnotation(doc.tool(), q))
            m_drag = Drawing {*id};
        return;
    }
}

std::optional<QUuid> CanvasView::draggedID() const
{
    if (const auto* drawing = std::get_if<Drawing>(&m_drag))
        return drawing->id;
    if (const auto* moving = std::get_if<Moving>(&m_drag))
        return moving->id;
    if (const auto* handle = std::get_if<Handle>(&m_drag))
        return handle->id;
    return std::nullopt;
}

std::optional<QRect> CanvasView::effectRepaintRect(const CanvasGeometry& g) const
{
    const std::optional<QUuid> id = draggedID();
    const Annotation* a = id ? m_doc->annotation(*id) : nullptr;
    if (!a || !(a->is(Tool::blur) || a->is(Tool::pixelate) || a->is(Tool::spotlight)))
        return std::nullopt;
    // These draw nothing outside their rectangle (the spotlight's dimming changes only inside its
    // ellipse's rectangle); the selection outline and handles reach 4 + 5 points further.
    const double reach = 4 + handleDiameter / 2 + 2;
    return g.toView(a->normRect()).normalized().adjusted(-reach, -reach, reach, reach).toAlignedRect();
}

void CanvasView::dragTo(QPointF p, Qt::KeyboardModifiers modifiers)
{
    prepareDragCache();
    // Blur, pixelate and spotlight are drawn under the other annotations, so their drags redraw
    // the whole document; only the area they change, though.
    const CanvasGeometry g = geometryNow();
    const std::optional<QRect> before = effectRepaintRect(g);
    m_partialRepaint = before.has_value();
    dragDocument(p, modifiers);
    m_partialRepaint = false;
    if (before) {
        QRegion changed(*before);
        if (const std::optional<QRect> after = effectRepaintRect(g))
            changed += *after;
        update(changed);
    }
}

void CanvasView::dragDocument(QPointF p, Qt::KeyboardModifiers modifiers)
{
    EditorDocument& doc = *m_doc;
    const QPointF q = geometryNow().toDocument(p);
    const bool shift = modifiers & Qt::ShiftModifier;
    const QSizeF base = doc.base().size();

    if (const auto* drawing = std::get_if<Drawing>(&m_drag)) {
        doc.modifyAnnotation(drawing->id, [&](Annotation& a) {
            if (a.is(Tool::pencil) || a.is(Tool::highlighter)) {
                if (a.points.empty())
                    a.points.push_back(a.start);
                if (shift) {
                    const QPointF first = a.points.front();
                    const QPointF d = q - first;
                    const QPointF kept
                        = std::abs(d.x()) <= std::abs(d.y()) ? QPointF(first.x(), q.y()) : QPointF(q.x(), first.y());
                    a.points = {first, kept};
                } else if (distance(q, a.points.back()) > pencilStep) {
                    a.points.push_back(q);
                }
            } else {
                a.end = shift ? constrain(a.kind, a.start, q) : q;
            }
        });
    } else if (auto* moving = std::get_if<Moving>(&m_drag)) {
        doc.translateAnnotation(moving->id, q - moving->last);
        moving->last = q;
    } else if (const auto* handle = std::get_if<Handle>(&m_drag)) {
        doc.modifyAnnotation(handle->id, [&](Annotation& a) {
            if (isLineLike(a)) {
                if (handle->index == 0)
                    a.start = shift ? constrain(a.kind, a.end, q) : q;
                else
                    a.end = shift ? constrain(a.kind, a.start, q) : q;
                return;
            }
            a.start = handle->anchor;
            if (handle->aspect) {
                double k = std::abs(q.x() - handle->anchor.x()) * *handle->aspect;
                if (q.y() < handle->anchor.y())
                    k = -k;
                a.end = QPointF(q.x(), handle->anchor.y() + k);
            } else {
                a.end = q;
            }
        });
    } else if (const auto* cropping = std::get_if<Cropping>(&m_drag)) {
        const QPointF clamped(std::clamp(q.x(), 0.0, base.width()), std::clamp(q.y(), 0.0, base.height()));
        doc.setCrop(QRectF(cropping->from, clamped).normalized());
    } else if (const auto* resizing = std::get_if<ResizingCrop>(&m_drag)) {
        const QPointF clamped(std::clamp(q.x(), 0.0, base.width()), std::clamp(q.y(), 0.0, base.height()));
        const QRectF& r = resizing->cropAtPress;
        double left = r.left(), right = r.right(), top = r.top(), bottom = r.bottom();
        if (resizing->horizontal) {
            left = std::min(resizing->anchor.x(), clamped.x());
            right = std::max(resizing->anchor.x(), clamped.x());
        }
        if (resizing->vertical) {
            top = std::min(resizing->anchor.y(), clamped.y());
            bottom = std::max(resizing->anchor.y(), clamped.y());
        }
        doc.setCrop(QRectF(QPointF(left, top), QPointF(right, bottom)));
    } else if (const auto* movingCrop = std::get_if<MovingCrop>(&m_drag)) {
        QRectF r = movingCrop->cropAtPress.translated(q - movingCrop->from);
        r.moveTo(std::max(0.0, std::min(r.x(), base.width() - r.width())),
            std::max(0.0, std::min(r.y(), base.height() - r.height())));
        doc.setCrop(r);
    }
}

void CanvasView::release()
{
    EditorDocument& doc = *m_doc;
    if (const auto* drawing = std::get_if<Drawing>(&m_drag)) {
        if (const Annotation* a = doc.annotation(drawing->id)) {
            const bool freehand = a->is(Tool::pencil) || a->is(Tool::highlighter);
            if (freehand ? a->points.size() < 2 : distance(a->start, a->end) < minimumShape)
                doc.removeAnnotation(drawing->id);
        }
    } else if (std::holds_alternative<Cropping>(m_drag)) {
        const std::optional<QRectF>& crop = doc.crop();
        if (crop && (crop->width() < minimumCrop || crop->height() < minimumCrop))
            doc.setCrop(std::nullopt);
    } else if (const auto* resizing = std::get_if<ResizingCrop>(&m_drag)) {
        // A frame squeezed to a sliver goes back to what it was rather than vanishing.
        const std::optional<QRectF>& crop = doc.crop();
        if (crop && (crop->width() < minimumCrop || crop->height() < minimumCrop))
            doc.setCrop(resizing->before);
    }
    if (m_pressMark && !std::holds_alternative<std::monostate>(m_drag))
        doc.withdrawUnchangedUndo(*m_pressMark);
    m_pressMark.reset();
    m_drag = std::monostate {};
    m_dragCache.reset();
    update();
}

// --- keys ----------------------------------------------------------------------------------

void CanvasView::keyPressEvent(QKeyEvent* event)
{
    EditorDocument& doc = *m_doc;
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers();

    if (key == Qt::Key_Backspace || key == Qt::Key_Delete) {
        doc.deleteSelected();
        return;
    }
    if (key == Qt::Key_Escape) {
        if (doc.tool() == Tool::crop)
            doc.setTool(Tool::select);
        else
            doc.setSelectedID(std::nullopt);
        return;
    }
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && doc.tool() == Tool::crop) {
        doc.setTool(Tool::select);
        return;
    }
    if ((key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down)
        && doc.selectedAnnotation()) {
        // One point, or ten with Shift, in base pixels.
        const double step = ((modifiers & Qt::ShiftModifier) ? 10 : 1) * doc.scale();
        const QPointF offset = key == Qt::Key_Left ? QPointF(-step, 0)
            : key == Qt::Key_Right                 ? QPointF(step, 0)
            : key == Qt::Key_Down                  ? QPointF(0, step)
                                                   : QPointF(0, -step);
        doc.pushUndo();
        doc.translateAnnotation(*doc.selectedID(), offset);
        return;
    }
    if (modifiers == Qt::NoModifier && !event->text().isEmpty()) {
        if (const std::optional<Tool> tool = toolForKey(event->text().at(0).toLower())) {
            doc.setTool(*tool);
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

// --- inline text ---------------------------------------------------------------------------

void CanvasView::beginTextEditing(const QUuid& id)
{
    const Annotation* found = m_doc->annotation(id);
    if (!found)
        return;
    const Annotation a = *found;
    m_editingTextID = id;
    m_doc->setSelectedID(std::nullopt);

    const CanvasGeometry g = geometryNow();
    auto* field = new QLineEdit(a.text, this);
    field->setFrame(false);
    field->setAttribute(Qt::WA_MacShowFocusRect, false);
    field->setFont(systemFont(std::max(g.s * a.fontSize, 10.0), QFont::DemiBold));
    const bool label = a.style == TextStyle::label;
    const QColor ink = label ? contrastColor(a.color) : a.color;
    const QColor paper = label ? a.color : QColor(255, 255, 255, 217);
    field->setStyleSheet(QStringLiteral("QLineEdit { border: none; padding: 0px 2px; background: %1; color: %2; }")
                             .arg(cssColor(paper), cssColor(ink)));
    const QSizeF measured = measureText(a.text, textAttributes(a).font);
    const double padX = textPadding(a).width();
    const QPointF topLeft = g.toView(a.start);
    field->setGeometry(QRect(QPoint(int(std::round(topLeft.x())), int(std::round(topLeft.y()))),
        QSize(int(std::max(g.s * (std::ceil(measured.width()) + padX) + 40, 200.0)),
            int(std::max(g.s * a.fontSize * 1.35, 22.0)))));
    field->installEventFilter(this);
    connect(field, &QLineEdit::textChanged, this, &CanvasView::fitTextField);
    m_textField = field;
    field->show();
    field->setFocus(Qt::OtherFocusReason);
    // The canvas must not draw the text a second time under the field.
    m_doc->modifyAnnotation(id, [](Annotation& edited) { edited.text.clear(); });
}

void CanvasView::fitTextField()
{
    if (!m_textField)
        return;
    const QFontMetricsF metrics(m_textField->font());
    const double fitted = metrics.horizontalAdvance(m_textField->text()) + 8;
    m_textField->resize(int(std::ceil(std::max(fitted + 30, 200.0))), m_textField->height());
}

void CanvasView::endTextEditing()
{
    if (!m_editingTextID)
        return;
    const QUuid id = *m_editingTextID;
    m_editingTextID.reset();
    QLineEdit* field = m_textField;
    m_textField = nullptr;
    const QString text = field->text();
    field->removeEventFilter(this);
    if (field->hasFocus())
        setFocus(Qt::OtherFocusReason);
    field->hide();
    field->deleteLater();

    const std::optional<UndoMark> newTextMark = std::exchange(m_newTextMark, std::nullopt);
    if (!m_doc->annotation(id)) {
        update();
        return;
    }
    QString trimmed = text;
    while (!trimmed.isEmpty() && (trimmed.back() == QLatin1Char(' ') || trimmed.back() == QLatin1Char('\t')))
        trimmed.chop(1);
    while (!trimmed.isEmpty() && (trimmed.front() == QLatin1Char(' ') || trimmed.front() == QLatin1Char('\t')))
        trimmed.remove(0, 1);
    if (trimmed.isEmpty()) {
        m_doc->removeAnnotation(id);
        // A text that was never typed leaves no trace in the history.
        if (newTextMark)
            m_doc->withdrawUnchangedUndo(*newTextMark);
        return;
    }
    m_doc->modifyAnnotation(id, [&](Annotation& a) { a.text = text; });
    m_doc->setSelectedID(id);
    if (m_doc->tool() != Tool::text)
        m_doc->applySelectionStyle();
}

bool CanvasView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_textField || !m_textField)
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
            endTextEditing();
            setFocus(Qt::OtherFocusReason);
            return true;
        }
    } else if (event->type() == QEvent::FocusOut) {
        // Menus and other windows borrow the focus for a while; anything else ends the editing.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
            endTextEditing();
    }
    return QWidget::eventFilter(watched, event);
}

// --- drops ---------------------------------------------------------------------------------

void CanvasView::dragEnterEvent(QDragEnterEvent* event)
{
    const QMimeData* data = event->mimeData();
    if (data->hasUrls() || data->hasImage() || data->hasFormat(QStringLiteral("image/png"))
        || data->hasFormat(QStringLiteral("image/tiff"))) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    }
}

void CanvasView::dragMoveEvent(QDragMoveEvent* event)
{
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void CanvasView::dropEvent(QDropEvent* event)
{
    if (dropImage(*event->mimeData(), event->position())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

bool CanvasView::dropImage(const QMimeData& data, QPointF viewPoint)
{
    QImage image = imageFromMime(data);
    if (image.isNull())
        return false;
    image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return false;
    endTextEditing();
    EditorDocument& doc = *m_doc;
    const QPointF q = geometryNow().toDocument(viewPoint);
    const double maxWidth = doc.base().width() * maxDropWidthFraction;
    QSizeF size(image.width(), image.height());
    if (size.width() > maxWidth)
        size = QSizeF(maxWidth, maxWidth * image.height() / image.width());
    const QPointF half(size.width() / 2, size.height() / 2);
    const QUuid id = doc.createImageAnnotation(image, q - half, q + half);
    doc.setTool(Tool::select);
    doc.setSelectedID(id);
    setFocus(Qt::OtherFocusReason);
    return true;
}

} // namespace vantrel
