// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Annotation.h"
#include "BackgroundSettings.h"
#include "ImageEffects.h"
#include "Tool.h"

#include <QColor>
#include <QImage>
#include <QObject>
#include <QPointF>
#include <QRectF>
#include <QUuid>

#include <functional>
#include <optional>
#include <vector>

class QPainter;

namespace vantrel {

// What undo restores. The base is shared with the document (QImage is implicitly shared), so a
// snapshot costs no pixel copy.
struct Snapshot
{
    QImage base;
    std::vector<Annotation> annotations;
    std::optional<QRectF> crop;
    BackgroundSettings background;
};

// The undo state before an edit starts, so that an edit that ends up changing nothing can be
// taken back without a trace (see withdrawUnchangedUndo).
struct UndoMark
{
    quint64 undoPushes = 0; // pushUndo calls before the edit
    std::vector<Snapshot> redoStack;
    bool dirty = false;
};

// What drawDocument draws. A view that redraws while one annotation is dragged draws what lies
// under it once and, each frame, that annotation and the ones over it. The split is exact when
// the annotation is drawn in the last pass (see drawnInLastPass): then `under` and `over` at the
// same index, drawn one after the other, give the whole.
struct DocumentPart
{
    enum class Kind {
        whole,
        under, // background, base, every blur, pixelate and spotlight, and the annotations before `index`
        over, // the annotations from `index` on that are drawn in the last pass, clipped like the whole
    };
    Kind kind = Kind::whole;
    std::size_t index = 0;

    static DocumentPart under(std::size_t index) { return {Kind::under, index}; }
    static DocumentPart over(std::size_t index) { return {Kind::over, index}; }
};

// Where the output pixels go, all in output pixels.
struct DocumentLayout
{
    QSizeF canvasSize;
    QPointF offset; // added to base coordinates to get output coordinates
    QRectF contentRect; // where the (cropped) base appears
};

// One editor window's document: the captured base, the annotations over it, crop, background,
// the drawing style for new annotations, the selection and the undo history. Geometry is in
// base pixels (origin top-left, y down); widths and font sizes are pixels too (points × scale).
// Main thread only. Every observed field emits its own signal and `changed` when it changes.
class EditorDocument : public QObject
{
    Q_OBJECT
public:
    static constexpr int maxUndoLevels = 200;

    // `scale` is the capture's pixels per point. Builds the effect layers at once.
    EditorDocument(QImage base, double scale, QObject* parent = nullptr);
    ~EditorDocument() override;

    // Observed state.
    const QImage& base() const { return m_base; }
    const std::vector<Annotation>& annotations() const { return m_annotations; }
    const std::optional<QRectF>& crop() const { return m_crop; }
    const BackgroundSettings& background() const { return m_background; }
    const std::optional<QUuid>& selectedID() const { return m_selectedID; }
    bool dirty() const { return m_dirty; }
    Tool tool() const { return m_tool; }
    const QColor& color() const { return m_color; }
    double lineWidth() const { return m_lineWidth; }
    double fontSize() const { return m_fontSize; }
    qint64 arrowStyle() const { return m_arrowStyle; }
    qint64 textStyle() const { return m_textStyle; }
    bool showBackgroundPanel() const { return m_showBackgroundPanel; }

    // Unobserved state.
    double scale() const { return m_scale; }
    const std::optional<QImage>& blurred() const { return m_effects.blurred; }
    const std::optional<QImage>& pixelated() const { return m_effects.pixelated; }
    const EffectLayers& effects() const { return m_effects; }
    const std::vector<Snapshot>& undoStack() const { return m_undoStack; }
    const std::vector<Snapshot>& redoStack() const { return m_redoStack; }
    bool applyingSelection() const { return m_applyingSelection; }

    // Plain setters: they change the field and notify, nothing else. Editing code records undo
    // first (pushUndo) where the change should be undoable.
    void setAnnotations(std::vector<Annotation> annotations);
    // The crop is kept integral (outward-rounded to whole pixels).
    void setCrop(std::optional<QRectF> crop);
    void setBackground(const BackgroundSettings& background);
    void setSelectedID(std::optional<QUuid> id);
    void setDirty(bool dirty);
    void setShowBackgroundPanel(bool show);

    // Style setters: they also restyle the selected annotation, as one undo step (recorded
    // whenever something is selected, even if the selected kind is unaffected).
    // Choosing any tool but select clears the selection.
    void setTool(Tool tool);
    void setColor(const QColor& color);
    void setLineWidth(double width);
    void setFontSize(double size);
    void setArrowStyle(qint64 style);
    void setTextStyle(qint64 style);

    // Queries.
    std::optional<std::size_t> selectedIndex() const;
    const Annotation* selectedAnnotation() const;
    const Annotation* annotation(const QUuid& id) const;
    qint64 nextCounterNumber() const;
    // The topmost annotation hit at `p` (base pixels), optionally only of one tool.
    std::optional<QUuid> topmostHit(QPointF p, double tolerance, std::optional<Tool> only = std::nullopt) const;

    // Annotation edits. Creation records undo and appends on top; the others do not record.
    // Creates an annotation of `tool` at `p` with the current style (text starts 0.6 font
    // sizes above the press point, counters take the next number). None for select and crop.
    std::optional<QUuid> createAnnotation(Tool tool, QPointF p);
    QUuid createImageAnnotation(const QImage& image, QPointF start, QPointF end);
    // Changes one annotation in place; false when the id names none.
    bool modifyAnnotation(const QUuid& id, const std::function<void(Annotation&)>& change);
    bool removeAnnotation(const QUuid& id);
    bool translateAnnotation(const QUuid& id, QPointF offset);

    // Commands.
    void deleteSelected();
    void applySelectionStyle();
    // Rotates by `degrees` (positive turns clockwise) and/or mirrors, baking the annotations in.
    void transform(int degrees, bool flipHorizontal, bool flipVertical);
    // Scales the whole image to `width` pixels (height keeps the aspect), baking annotations in.
    void resize(int width);
    // The background panel's "Auto Balance": padding 8 % of the content's longer side, turned on.
    void autoBalanceBackground();

    // Undo: whole-document snapshots.
    Snapshot snapshot() const;
    void pushUndo();
    void undo();
    void redo();
    void restore(const Snapshot& snapshot);
    UndoMark undoMark() const;
    // Takes back the one undo step recorded since `mark` when the document's content (base,
    // annotations, crop, background) is again what that step saved: a click that drew, moved or
    // cropped nothing then leaves no step, keeps the redo history and does not count as an edit
    // (which would make closing the editor rewrite the capture's files). False when there is
    // nothing to take back.
    bool withdrawUnchangedUndo(const UndoMark& mark);

    // Rendering. `raw` (the crop tool) shows the whole base without crop or background.
    DocumentLayout layout(bool raw) const;
    // Draws into a y-down painter whose origin is the output's top-left.
    void drawDocument(QPainter& painter, bool raw, DocumentPart part = {}) const;
    // Whether the annotation at `index` exists and is drawn in the last pass, in list order over
    // everything else (blur, pixelate and spotlight are drawn in earlier passes).
    bool drawnInLastPass(std::size_t index) const;
    // The final output image; the base unchanged when it cannot be made.
    QImage render() const;
    // Base-sized image of the base (and annotations); no crop or background.
    QImage flattenBase(bool includeAnnotations) const;
    // Recomputes the blurred and pixelated layers from the base.
    void rebuildEffects();

Q_SIGNALS:
    void baseChanged();
    void annotationsChanged();
    void cropChanged();
    void backgroundChanged();
    void selectedIDChanged();
    void dirtyChanged();
    void toolChanged();
    void colorChanged();
    void lineWidthChanged();
    void fontSizeChanged();
    void arrowStyleChanged();
    void textStyleChanged();
    void showBackgroundPanelChanged();
    // After any of the above.
    void changed();

private:
    void setBase(QImage base);
    // Applies `change` to the selection as one undo step, when something is selected and the
    // change does not come from applySelectionStyle.
    void restyleSelection(const std::function<void(Annotation&)>& change);
    void appendAnnotation(Annotation annotation);
    void replaceBase(const QImage& image);

    QImage m_base;
    std::vector<Annotation> m_annotations;
    std::optional<QRectF> m_crop;
    BackgroundSettings m_background;
    std::optional<QUuid> m_selectedID;
    bool m_dirty = false;
    Tool m_tool = Tool::arrow;
    QColor m_color = systemRed();
    double m_lineWidth = 6;
    double m_fontSize = 36;
    qint64 m_arrowStyle = 0;
    qint64 m_textStyle = 0;
    bool m_showBackgroundPanel = false;
    double m_scale = 1;
    EffectLayers m_effects;
    std::vector<Snapshot> m_undoStack;
    std::vector<Snapshot> m_redoStack;
    bool m_applyingSelection = false;
    quint64 m_undoPushes = 0;
};

} // namespace vantrel
