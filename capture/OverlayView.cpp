// SPDX-License-Identifier: GPL-3.0-or-later
#include "OverlayView.h"

#include "ChromeWindow.h"
#include "DropEntrance.h"
#include "FloatingWindow.h"
#include "OverlayBar.h"
#include "Settings.h"

#include <QCursor>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#include <cmath>

namespace vantrel {

namespace {

const QColor systemBlue(10, 132, 255);

OverlayViewState::Key keyOf(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Left: return OverlayViewState::Key::left;
    case Qt::Key_Right: return OverlayViewState::Key::right;
    case Qt::Key_Up: return OverlayViewState::Key::up;
    case Qt::Key_Down: return OverlayViewState::Key::down;
    case Qt::Key_Space: return OverlayViewState::Key::space;
    case Qt::Key_Escape: return OverlayViewState::Key::escape;
    case Qt::Key_Return: return OverlayViewState::Key::returnKey;
    case Qt::Key_Enter: return OverlayViewState::Key::enter;
    default: return OverlayViewState::Key::other;
    }
}

Qt::CursorShape shapeOf(OverlayViewState::Cursor cursor)
{
    switch (cursor) {
    case OverlayViewState::Cursor::pointingHand: return Qt::PointingHandCursor;
    case OverlayViewState::Cursor::openHand: return Qt::OpenHandCursor;
    case OverlayViewState::Cursor::closedHand: return Qt::ClosedHandCursor;
    case OverlayViewState::Cursor::crosshair: return Qt::CrossCursor;
    }
    return Qt::CrossCursor;
}

} // namespace

OverlayView::OverlayView(QScreen* screen, bool translucent)
    : QWidget(nullptr,
        Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::X11BypassWindowManagerHint
            | Qt::NoDropShadowWindowHint)
    , m_screen(screen)
{
    setAttribute(Qt::WA_OpaquePaintEvent, !translucent);
    if (translucent)
        setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    markAsChrome(this);
    setWindowTitle(QStringLiteral("Vantrel Selection"));
    m_pillFont = font();
    m_pillFont.setPixelSize(12);
    m_pillFont.setWeight(QFont::Medium);
}

void OverlayView::reset(OverlayHost& host, OverlayPurpose purpose, std::optional<Capture> frozen,
    const std::vector<WindowInfo>* windows, std::optional<Capture> backdrop)
{
    m_frozen = std::move(frozen);
    m_backdrop = m_frozen ? std::nullopt : std::move(backdrop);
    if (m_bar && (!m_state || m_state->purpose() != purpose)) {
        delete m_bar;
        m_bar = nullptr;
    }
    if (m_bar)
        m_bar->hide();
    m_state.emplace(host, purpose, m_screen->geometry().size(), m_screen->geometry().topLeft(), windows);
    coverScreen(this, m_screen);

    const QPoint cursor = QCursor::pos();
    m_state->mouseMoved(QPointF(cursor - m_screen->geometry().topLeft()));
    if (!m_screen->geometry().contains(cursor))
        m_state->mouseExited();
}

void OverlayView::release()
{
    if (m_entrance)
        m_entrance->stop();
    m_frozen.reset();
    m_backdrop.reset();
}

void OverlayView::startEntrance()
{
    if (!m_frozen)
        return;
    if (!m_entrance)
        m_entrance = new DropEntrance(this);
    m_entrance->start();
}

void OverlayView::updateBar()
{
    if (!hasBar(m_state->purpose()))
        return;
    if (!m_state->wantsBar()) {
        if (m_bar)
            m_bar->hide();
        return;
    }
    if (!m_bar) {
        m_bar = new OverlayBar(m_state->purpose(), this);
        connect(
            m_bar, &OverlayBar::actionPressed, this, [this](OverlayAction action) { m_state->actionPressed(action); });
        connect(m_bar, &OverlayBar::cancelPressed, this, [this] { m_state->cancelPressed(); });
        connect(m_bar, &OverlayBar::fullscreenPressed, this, [this] { m_state->fullscreenPressed(); });
        connect(m_bar, &OverlayBar::sizeFieldChanged, this, [this] {
            m_state->sizeFieldsChanged(m_bar->widthText(), m_bar->heightText());
            refresh();
            setFocus();
        });
    }
    m_bar->setSelectionSize(m_state->selection()->size());
    m_bar->adjustSize();
    const QPointF at = overlay::barPosition(*m_state->selection(), m_bar->size(), size());
    m_bar->move(at.toPoint());
    m_bar->show();
    m_bar->raise();
}

void OverlayView::refresh()
{
    setCursor(shapeOf(m_state->cursor()));
    updateBar();
    update();
}

void OverlayView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        m_state->rightMouseDown();
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    setFocus();
    m_state->mouseDown(event->position(), 1, event->modifiers() & Qt::ShiftModifier);
    refresh();
}

void OverlayView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        m_state->rightMouseDown();
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    m_state->mouseDown(event->position(), 2, event->modifiers() & Qt::ShiftModifier);
    refresh();
}

void OverlayView::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() & Qt::LeftButton)
        m_state->mouseDragged(event->position(), event->modifiers() & Qt::ShiftModifier);
    else
        m_state->mouseMoved(event->position());
    refresh();
}

void OverlayView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_state->mouseUp();
    refresh();
}

void OverlayView::enterEvent(QEnterEvent* event)
{
    // Where the pointer came in: a Wayland client learns where the pointer is only from events
    // over its own windows, so the place read when the overlay opened may be stale.
    m_state->mouseMoved(event->position());
    m_state->mouseEntered();
    update();
}

void OverlayView::leaveEvent(QEvent*)
{
    m_state->mouseExited();
    update();
}

void OverlayView::keyPressEvent(QKeyEvent* event)
{
    handleKey(event);
}

void OverlayView::handleKey(QKeyEvent* event)
{
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const bool option = event->modifiers() & Qt::AltModifier;
    if (!m_state->key(keyOf(event->key()), shift, option)) {
        QWidget::keyPressEvent(event);
        return;
    }
    refresh();
}

void OverlayView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const DropFrame frame = m_entrance && m_entrance->running() ? m_entrance->frame() : DropFrame {};
    if (frame.isRest() || !m_frozen) {
        paintContent(p);
        return;
    }
    // The entrance: the dimmed still picture behind, the view shrunk about its centre with
    // rounded corners, and a glowing rim along its edge.
    const QRectF bounds = rect();
    p.drawImage(bounds, m_frozen->image, QRectF(m_frozen->image.rect()));
    p.fillRect(bounds, QColor(0, 0, 0, 140));
    p.translate(bounds.center());
    p.scale(frame.scale, frame.scale);
    p.translate(-bounds.center());
    p.save();
    QPainterPath clip;
    clip.addRoundedRect(bounds, frame.cornerRadius, frame.cornerRadius);
    p.setClipPath(clip);
    paintContent(p);
    p.restore();
    if (frame.rimOpacity > 0) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(Qt::NoBrush);
        const QRectF rim = bounds.adjusted(1.5, 1.5, -1.5, -1.5);
        const qreal radius = std::max(frame.cornerRadius - 1.5, 0.0);
        // A soft white glow: wide faint strokes under the rim line.
        for (const auto& [width, alpha] : {std::pair {14.0, 0.06}, std::pair {8.0, 0.12}, std::pair {2.5, 0.55}}) {
            QColor colour(Qt::white);
            colour.setAlphaF(alpha * frame.rimOpacity * (width > 3 ? 0.8 : 1.0));
            p.setPen(QPen(colour, width));
            p.drawRoundedRect(rim, radius, radius);
        }
    }
}

void OverlayView::paintContent(QPainter& p)
{
    const QRectF bounds = rect();
    if (const std::optional<Capture>& still = m_frozen ? m_frozen : m_backdrop) {
        // One image pixel per device pixel: the view is points × scale device pixels.
        p.drawImage(bounds, still->image, QRectF(still->image.rect()));
    } else {
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.fillRect(rect(), Qt::transparent);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    p.setRenderHint(QPainter::Antialiasing);

    const auto& selection = m_state->selection();
    if (m_state->windowMode()) {
        p.fillRect(bounds, QColor(0, 0, 0, 51));
        if (const WindowInfo* window = m_state->windowUnderMouse()) {
            const QRectF frame = m_state->toView(window->frame);
            QColor fill = systemBlue;
            fill.setAlphaF(0.25);
            p.setPen(Qt::NoPen);
            p.setBrush(fill);
            p.drawRoundedRect(frame, 10, 10);
            p.setPen(QPen(systemBlue, 2));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(frame.adjusted(1, 1, -1, -1), 10, 10);
            const QString label = !window->applicationName.isEmpty() ? window->applicationName
                : !window->title.isEmpty()                           ? window->title
                                                                     : tr("Window");
            drawPill(p, label, frame.center());
        }
    } else if (!selection || selection->isEmpty()) {
        p.fillRect(bounds, QColor(0, 0, 0, 97));
    } else {
        QPainterPath dim;
        dim.setFillRule(Qt::OddEvenFill);
        dim.addRect(bounds);
        dim.addRect(*selection);
        p.fillPath(dim, QColor(0, 0, 0, 97));
        p.setPen(QPen(QColor(255, 255, 255, 230), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(selection->adjusted(-0.5, -0.5, 0.5, 0.5));
        if (m_state->showsHandles()) {
            p.setPen(QPen(QColor(0, 0, 0, 102), 0.5));
            p.setBrush(Qt::white);
            for (const QRectF& handle : overlay::handleRects(*selection))
                p.drawEllipse(handle);
        }
        if (m_state->showsSizePill()) {
            const QString size = QStringLiteral("%1 \u00D7 %2")
                                     .arg(qint64(std::trunc(selection->width())))
                                     .arg(qint64(std::trunc(selection->height())));
            drawPill(p, size, overlay::sizePillCentre(*selection, bounds.size()));
        }
    }

    if (!m_state->windowMode() && m_state->showsCrosshairAndMagnifier()) {
        const Settings& settings = Settings::shared();
        const QPointF mouse = m_state->mouse();
        if (settings.showCrosshair()) {
            QPen dashed(QColor(255, 255, 255, 153), 1);
            dashed.setDashPattern({4, 3});
            p.setRenderHint(QPainter::Antialiasing, false);
            p.setPen(dashed);
            p.drawLine(QPointF(0, mouse.y() + 0.5), QPointF(bounds.width(), mouse.y() + 0.5));
            p.drawLine(QPointF(mouse.x() + 0.5, 0), QPointF(mouse.x() + 0.5, bounds.height()));
            p.setRenderHint(QPainter::Antialiasing);
        }
        if (settings.showMagnifier() && m_frozen)
            drawMagnifier(p);
    }

    const QString hint = m_state->hint();
    if (!hint.isEmpty())
        drawPill(p, hint, QPointF(bounds.center().x(), bounds.height() - 60));
}

void OverlayView::drawPill(QPainter& p, const QString& text, const QPointF& centre)
{
    const QFontMetricsF metrics(m_pillFont);
    const QSizeF textSize(metrics.horizontalAdvance(text), metrics.height());
    const QRectF box = overlay::pillBox(textSize, centre, size());
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 184));
    p.drawRoundedRect(box, box.height() / 2, box.height() / 2);
    p.setPen(Qt::white);
    p.setFont(m_pillFont);
    p.drawText(QRectF(box.left() + 8, box.top() + 3, textSize.width() + 1, textSize.height()),
        Qt::AlignLeft | Qt::AlignTop, text);
}

void OverlayView::drawMagnifier(QPainter& p)
{
    const QPointF mouse = m_state->mouse();
    const QRectF circle = overlay::magnifierRect(mouse, size());
    const double scale = m_frozen->scale;

    // A soft shadow, then the disc.
    for (int i = 8; i > 0; i -= 2) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 16));
        p.drawEllipse(circle.adjusted(-i / 2.0, -i / 2.0 + 2, i / 2.0, i / 2.0 + 2));
    }
    p.setBrush(Qt::black);
    p.drawEllipse(circle);

    p.save();
    QPainterPath clip;
    clip.addEllipse(circle);
    p.setClipPath(clip);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    // The source rectangle is in image pixels.
    const QRectF source((mouse.x() - 8) * scale, (mouse.y() - 8) * scale, 16 * scale, 16 * scale);
    p.drawImage(circle, m_frozen->image, source);
    p.restore();

    const qreal pixel = 8.0 / scale;
    p.setPen(QPen(Qt::white, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(circle.center().x() - pixel / 2, circle.center().y() - pixel / 2, pixel, pixel));
    p.setPen(QPen(Qt::white, 3));
    p.drawEllipse(circle);
    drawPill(p, QStringLiteral("%1, %2").arg(qint64(std::trunc(mouse.x()))).arg(qint64(std::trunc(mouse.y()))),
        QPointF(circle.center().x(), circle.bottom() + 14));
}

} // namespace vantrel
