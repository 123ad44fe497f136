// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QPixmap>
#include <QPointF>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>

class QGraphicsOpacityEffect;
class QLabel;
class QPropertyAnimation;

namespace vantrel {

class CaptureItem;
class HoverButton;
class QuickAccessPanel;

// The thumbnail itself: the picture in a rounded frame, a "GIF"/"VIDEO" badge for recordings,
// and a dark hover layer with the action buttons. Dragging it hands the capture's file to other
// applications; a double click annotates; a horizontal swipe sends it away. Sizes are in points
// with y down (the top-left corner button sits at (6, 6)).
class QuickAccessView : public QWidget
{
    Q_OBJECT
public:
    QuickAccessView(QuickAccessPanel* panel, std::shared_ptr<CaptureItem> item);

    const QImage& picture() const { return m_picture; }
    QWidget* hoverLayer() const { return m_hoverLayer; }
    const QList<HoverButton*>& buttons() const { return m_buttons; }
    // The button with this title ("Copy") or tooltip ("Pin to screen"), or none.
    HoverButton* button(const QString& titleOrToolTip) const;
    // "GIF" or "VIDEO" for file items; empty for pictures.
    QString badgeText() const;
    QLabel* badge() const { return m_badge; }

    bool hovering() const { return m_hovering; }
    // What the pointer entering and leaving does: the hover layer fades in or out over 0.15 s.
    void setHovering(bool hovering);
    // Opacity of the hover layer now (0 hidden … 1 shown).
    qreal hoverOpacity() const;

    std::optional<QPointF> mouseDownPoint() const { return m_mouseDownPoint; }
    // A file drag started here is still under way.
    bool dragging() const { return m_dragging; }
    double swipeAccum() const { return m_swipeAccum; }

    // The picture the drag carries: the thumbnail picture at min(view width, 160) points wide.
    QPixmap dragPixmap() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void layoutButtons();
    void startFileDrag();

    QPointer<QuickAccessPanel> m_panel;
    std::shared_ptr<CaptureItem> m_item;
    QImage m_picture;
    QPixmap m_scaledPicture; // m_picture fitted to the view, at the view's device pixel ratio
    QWidget* m_hoverLayer = nullptr;
    QGraphicsOpacityEffect* m_hoverOpacity = nullptr;
    QPropertyAnimation* m_hoverFade = nullptr;
    QWidget* m_buttonStack = nullptr;
    QList<HoverButton*> m_buttons;
    QLabel* m_badge = nullptr;
    bool m_hovering = false;
    std::optional<QPointF> m_mouseDownPoint; // view points
    double m_swipeAccum = 0; // points of horizontal scrolling since the gesture began
    bool m_dragging = false;
};

} // namespace vantrel
