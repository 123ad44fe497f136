// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "OverlayTypes.h"
#include "ScreenGrabber.h"

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <array>
#include <optional>
#include <variant>
#include <vector>

namespace vantrel {

class OverlayViewState;

// The controller that owns every screen's view: what a view asks of the overlay as a whole.
class OverlayHost
{
public:
    virtual ~OverlayHost() = default;
    // Only one screen holds a selection at a time.
    virtual void clearOtherSelections(const OverlayViewState& keep) = 0;
    virtual void setWindowModeEverywhere(bool windowMode) = 0;
    virtual void finishWithArea(const OverlayViewState& view, const QRectF& rect, OverlayAction action) = 0;
    virtual void finishWithWindow(const OverlayViewState& view, const WindowInfo& window) = 0;
    virtual void cancel() = 0;
};

// Geometry of the selection UI, all in view points (origin top-left of the screen, y down).
namespace overlay {

// The eight resize handles: top-left, top-middle, top-right, right-middle, bottom-right,
// bottom-middle, bottom-left, left-middle; each a 10-point square centred on its point.
std::array<QRectF, 8> handleRects(const QRectF& selection);
// The first handle whose square, grown by 4 points on every side, holds the point.
std::optional<int> handleAt(const QRectF& selection, const QPointF& point);
// The rectangle a resize drag gives: the handle's edges follow the point, and the result is
// normalised so that dragging past the opposite edge flips it.
QRectF resized(int handle, const QRectF& start, const QPointF& point);
// Smallest rectangle with whole-point edges that holds `rect` (empty stays empty).
QRectF integral(const QRectF& rect);
// Top-left of the toolbar: below the selection, or inside its bottom when there is no room,
// never nearer than 8 points to a screen edge.
QPointF barPosition(const QRectF& selection, const QSizeF& barSize, const QSizeF& bounds);
// Centre of the "W × H" pill: under the selection, or inside it near the bottom edge.
QPointF sizePillCentre(const QRectF& selection, const QSizeF& bounds);
// The magnifier's 128-point circle: right of and below the pointer, flipped at the edges.
QRectF magnifierRect(const QPointF& mouse, const QSizeF& bounds);
// The capsule behind a label of `textSize`, centred on `centre`, kept inside the view.
QRectF pillBox(const QSizeF& textSize, const QPointF& centre, const QSizeF& bounds);

} // namespace overlay

// One screen's selection: the drag state machine, window mode, keys, commit rules and the
// toolbar's placement. Knows no widgets; the view draws it and feeds it events.
class OverlayViewState
{
public:
    struct Creating
    {
        QPointF start;
    };
    struct Moving
    {
        QPointF start;
        QRectF startRect;
    };
    struct Resizing
    {
        int handle;
        QRectF startRect;
    };
    using Drag = std::variant<std::monostate, Creating, Moving, Resizing>;

    enum class Key {
        left,
        right,
        up,
        down,
        space,
        escape,
        returnKey,
        enter,
        other
    };
    enum class Cursor {
        crosshair,
        pointingHand,
        openHand,
        closedHand
    };

    // `displayOrigin` is the screen's top-left in global points: window frames are global.
    OverlayViewState(OverlayHost& host, OverlayPurpose purpose, QSizeF bounds, QPointF displayOrigin,
        const std::vector<WindowInfo>* windows);

    OverlayPurpose purpose() const { return m_purpose; }
    QSizeF bounds() const { return m_bounds; }

    const std::optional<QRectF>& selection() const { return m_selection; }
    void setSelection(std::optional<QRectF> selection) { m_selection = selection; }
    bool windowMode() const { return m_windowMode; }
    void setWindowMode(bool windowMode) { m_windowMode = windowMode; }
    const Drag& drag() const { return m_drag; }
    bool dragging() const { return !std::holds_alternative<std::monostate>(m_drag); }
    QPointF mouse() const { return m_mouse; }
    bool mouseInside() const { return m_mouseInside; }

    void mouseDown(const QPointF& point, int clickCount, bool shift);
    void mouseDragged(const QPointF& point, bool shift);
    void mouseUp();
    void mouseMoved(const QPointF& point);
    void mouseEntered();
    void mouseExited();
    void rightMouseDown();
    // Answers whether the key was taken.
    bool key(Key key, bool shift, bool option);

    // The toolbar and its fields.
    void actionPressed(OverlayAction action) { commit(action); }
    void cancelPressed();
    void fullscreenPressed();
    void sizeFieldsChanged(const QString& width, const QString& height);

    void commit(OverlayAction action);

    // The window whose frame holds the pointer, front-most first; none outside window mode.
    const WindowInfo* windowUnderMouse() const;
    // The window's frame in this view's coordinates.
    QRectF toView(const QRect& globalFrame) const;

    Cursor cursor() const;
    bool wantsBar() const;
    bool showsHandles() const;
    bool showsSizePill() const;
    bool showsCrosshairAndMagnifier() const;
    // The hint pill's text; empty when no hint shows.
    QString hint() const;

private:
    OverlayHost& m_host;
    OverlayPurpose m_purpose;
    QSizeF m_bounds;
    QPointF m_displayOrigin;
    const std::vector<WindowInfo>* m_windows;

    std::optional<QRectF> m_selection;
    bool m_windowMode = false;
    QPointF m_mouse;
    bool m_mouseInside = false;
    Drag m_drag;
};

} // namespace vantrel
