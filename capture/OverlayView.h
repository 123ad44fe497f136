// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "OverlayViewState.h"

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <optional>

class QScreen;

namespace vantrel {

class DropEntrance;
class OverlayBar;

// The borderless window over one screen: draws the still picture (or lets the live screen show
// through), the dimming, the selection, handles, pills, crosshair and magnifier, and feeds mouse
// and key events to its state.
class OverlayView : public QWidget
{
    Q_OBJECT
public:
    // A view over `screen`; `translucent` views let the live screen show through (no still
    // picture). Views are kept and reused between overlays: a fresh window and its backing store
    // cost more than everything else the overlay does before its first paint.
    OverlayView(QScreen* screen, bool translucent);

    // Prepares the view for a new overlay. `backdrop` is a fresh picture of the screen shown
    // instead of the live screen where nothing could blend a translucent window over it (no
    // compositor); unlike `frozen` it is never what a capture crops.
    void reset(OverlayHost& host, OverlayPurpose purpose, std::optional<Capture> frozen,
        const std::vector<WindowInfo>* windows, std::optional<Capture> backdrop = std::nullopt);
    // Lets go of the still picture once the overlay is gone (and stops the entrance).
    void release();
    // Plays the water-drop entrance over the still picture.
    void startEntrance();
    DropEntrance* entrance() const { return m_entrance; }

    QScreen* screen() const { return m_screen; }
    const std::optional<Capture>& frozen() const { return m_frozen; }
    bool showsBackdrop() const { return m_backdrop.has_value(); }
    OverlayViewState& state() { return *m_state; }
    const OverlayViewState& state() const { return *m_state; }
    OverlayBar* bar() const { return m_bar; }

    // Keys arrive here from whichever overlay window has keyboard focus.
    void handleKey(QKeyEvent* event);
    // Shows, places or hides the toolbar for the current selection.
    void updateBar();
    // Cursor, toolbar and a repaint after any change of state.
    void refresh();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void paintContent(QPainter& p);
    void drawPill(QPainter& p, const QString& text, const QPointF& centre);
    void drawMagnifier(QPainter& p);

    QScreen* m_screen;
    std::optional<Capture> m_frozen;
    std::optional<Capture> m_backdrop;
    std::optional<OverlayViewState> m_state;
    OverlayBar* m_bar = nullptr;
    DropEntrance* m_entrance = nullptr;
    QFont m_pillFont;
};

} // namespace vantrel
