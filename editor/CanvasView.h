// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "EditorDocument.h"

#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QUuid>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>
#include <variant>
#include <vector>

class QLineEdit;
class QMimeData;

namespace vantrel {

// How the canvas shows the document: view point = origin + s × (document point + offset).
// View points are the widget's device-independent pixels; document points are base pixels.
struct CanvasGeometry
{
    double s = 1; // view points per base pixel
    QPointF origin; // view point of the output canvas's top-left corner
    QPointF offset; // the layout offset: base pixels → output pixels
    QSizeF canvasSize; // output pixels

    QPointF toView(QPointF document) const { return origin + s * (document + offset); }
    QPointF toDocument(QPointF view) const { return (view - origin) / s - offset; }
    QRectF toView(const QRectF& document) const;
    // Where the output canvas appears in the view.
    QRectF imageRect() const { return QRectF(origin, canvasSize * s); }
};

// The view transform: the output canvas (the raw base while cropping) centred in a view of
// `viewSize` points, fitted with 20-point margins but never above actual size (1 / scale points
// per pixel) when `zoom` is 0, else `zoom` × actual size.
CanvasGeometry canvasGeometry(const DocumentLayout& layout, QSizeF viewSize, double zoom, double scale);

// The Shift constraint of a drag from `origin` to `q` (base pixels): lines and arrows snap to the
// nearest multiple of 45° keeping their length, everything else becomes a square.
QPointF constrain(const AnnotationKind& kind, QPointF origin, QPointF q);

// Handles of an annotation, in the coordinates `toView` maps to: both ends of lines and arrows,
// the corners of images and rectangle-shaped annotations (top-left, top-right, bottom-right,
// bottom-left), none for the rest.
std::vector<QPointF> annotationHandles(const Annotation& annotation, const std::function<QPointF(QPointF)>& toView);

// The editing surface: shows the document, turns mouse, keys, inline text and drops into
// document edits. Main thread only.
class CanvasView : public QWidget
{
    Q_OBJECT
public:
    struct Drawing
    {
        QUuid id;
    };
    struct Moving
    {
        QUuid id;
        QPointF last; // base pixels
    };
    struct Handle
    {
        QUuid id;
        int index;
        // Fixed for the whole drag, so that a corner dragged past the opposite one flips the
        // shape instead of chasing the pointer: the opposite corner at the press (base pixels)
        // and, for images, the height / width ratio to keep (none when the width was 0).
        QPointF anchor;
        std::optional<double> aspect;
    };
    struct Cropping
    {
        QPointF from; // base pixels, inside the base
    };
    struct MovingCrop
    {
        QPointF from;
        QRectF cropAtPress;
    };
    // A crop handle dragged: the sides it moves follow the pointer, the opposite ones stay at
    // `anchor` (base pixels).
    struct ResizingCrop
    {
        QPointF anchor;
        bool horizontal;
        bool vertical;
        QRectF cropAtPress;
        std::optional<QRectF> before; // the crop as it was, restored when the drag ends too small
    };
    using Drag = std::variant<std::monostate, Drawing, Moving, Handle, Cropping, MovingCrop, ResizingCrop>;

    // The crop frame's eight handles in `frame`'s coordinates: corners first (top-left,
    // top-right, bottom-right, bottom-left), then the middles of the top, right, bottom and left
    // sides.
    static std::array<QPointF, 8> cropHandles(const QRectF& frame);

    // Distances in view points.
    static constexpr double handleDiameter = 10;
    static constexpr double handleReach = 9;
    static constexpr double hitTolerance = 8;
    static constexpr double fitMargin = 20;

    // `doc` outlives the view (the editor window owns both).
    explicit CanvasView(EditorDocument* doc, QWidget* parent = nullptr);
    ~CanvasView() override;

    EditorDocument& document() const { return *m_doc; }
    // 0 = fit to the view; otherwise the fraction of actual size (1 = 100 %). Redraws.
    double zoom() const { return m_zoom; }
    void setZoom(double zoom);
    CanvasGeometry geometryNow() const;
    const Drag& drag() const { return m_drag; }

    // Inline text editing of a text annotation.
    void beginTextEditing(const QUuid& id);
    // Commits an open text field: an emptied text is removed, otherwise it keeps the typed text and
    // becomes the selection. Does nothing when no text is being edited.
    void endTextEditing();
    QLineEdit* textField() const { return m_textField; }
    const std::optional<QUuid>& editingTextID() const { return m_editingTextID; }

    // Places a dropped image centred on `viewPoint`, at most 60 % of the base width, selected.
    // False when `data` holds no image (the drop is refused).
    bool dropImage(const QMimeData& data, QPointF viewPoint);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void press(QPointF viewPoint, int clickCount, Qt::KeyboardModifiers modifiers);
    void dragTo(QPointF viewPoint, Qt::KeyboardModifiers modifiers);
    void dragDocument(QPointF viewPoint, Qt::KeyboardModifiers modifiers);
    std::optional<QUuid> draggedID() const;
    // The view area a dragged blur, pixelate or spotlight repaints; none for other drags.
    std::optional<QRect> effectRepaintRect(const CanvasGeometry& g) const;
    void release();
    void updateCursor();
    void fitTextField();
    // Background, checkerboard and the document (or a part of it).
    void paintScene(QPainter& painter, const CanvasGeometry& g, DocumentPart part) const;
    // Where the dragged annotation is in the list, when it is drawn in the last pass: frames then
    // draw it and the annotations over it onto a cached picture of what lies under it.
    std::optional<std::size_t> draggedLastPassIndex() const;
    bool dragCacheFits(const CanvasGeometry& g) const;
    // Pictures what lies under the dragged annotation, unless the picture still fits.
    void prepareDragCache();
    void paintCropOverlay(QPainter& painter, const CanvasGeometry& g) const;
    void paintSelection(QPainter& painter, const CanvasGeometry& g) const;

    QPointer<EditorDocument> m_doc;
    Drag m_drag;
    QLineEdit* m_textField = nullptr;
    std::optional<QUuid> m_editingTextID;
    double m_zoom = 0;
    // The undo state when the current drag (or the editing of a new text) began.
    std::optional<UndoMark> m_pressMark;
    std::optional<UndoMark> m_newTextMark;

    // The view of what lies under the dragged annotation, with what it was made from.
    struct DragCache
    {
        QImage image;
        std::size_t index = 0; // of the dragged annotation
        QSize viewSize;
        double devicePixelRatio = 0;
        double s = 0;
        QPointF origin;
        bool raw = false;
        qint64 baseKey = 0;
        std::optional<QRectF> crop;
        BackgroundSettings background;
        std::vector<Annotation> rest; // every annotation but the dragged one
    };
    std::optional<DragCache> m_dragCache;
    bool m_renderingDragCache = false;
    // Set while a drag step changes the document and repaints only what it changed itself.
    bool m_partialRepaint = false;
};

} // namespace vantrel
