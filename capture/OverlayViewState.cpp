// SPDX-License-Identifier: GPL-3.0-or-later
#include "OverlayViewState.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace vantrel {

namespace overlay {

namespace {
constexpr qreal handleSize = 10;
constexpr qreal handleSlop = 4;
constexpr qreal barGap = 12;
constexpr qreal edgeMargin = 8;
constexpr qreal magnifierSize = 128;
constexpr qreal magnifierOffset = 24;
} // namespace

std::array<QRectF, 8> handleRects(const QRectF& s)
{
    const std::array<QPointF, 8> points = {QPointF(s.left(), s.top()), QPointF(s.center().x(), s.top()),
        QPointF(s.right(), s.top()), QPointF(s.right(), s.center().y()), QPointF(s.right(), s.bottom()),
        QPointF(s.center().x(), s.bottom()), QPointF(s.left(), s.bottom()), QPointF(s.left(), s.center().y())};
    std::array<QRectF, 8> rects;
    for (size_t i = 0; i < points.size(); ++i)
        rects[i] = QRectF(points[i].x() - handleSize / 2, points[i].y() - handleSize / 2, handleSize, handleSize);
    return rects;
}

std::optional<int> handleAt(const QRectF& selection, const QPointF& point)
{
    const auto rects = handleRects(selection);
    for (size_t i = 0; i < rects.size(); ++i) {
        if (rects[i].adjusted(-handleSlop, -handleSlop, handleSlop, handleSlop).contains(point))
            return int(i);
    }
    return std::nullopt;
}

QRectF resized(int handle, const QRectF& start, const QPointF& point)
{
    qreal minX = start.left(), minY = start.top(), maxX = start.right(), maxY = start.bottom();
    if (handle == 0 || handle == 6 || handle == 7)
        minX = point.x();
    if (handle == 2 || handle == 3 || handle == 4)
        maxX = point.x();
    if (handle == 0 || handle == 1 || handle == 2)
        minY = point.y();
    if (handle == 4 || handle == 5 || handle == 6)
        maxY = point.y();
    return QRectF(std::min(minX, maxX), std::min(minY, maxY), std::abs(maxX - minX), std::abs(maxY - minY));
}

QRectF integral(const QRectF& rect)
{
    if (rect.width() <= 0 || rect.height() <= 0)
        return QRectF();
    const qreal left = std::floor(rect.left());
    const qreal top = std::floor(rect.top());
    return QRectF(left, top, std::ceil(rect.right()) - left, std::ceil(rect.bottom()) - top);
}

QPointF barPosition(const QRectF& selection, const QSizeF& bar, const QSizeF& bounds)
{
    qreal y = selection.bottom() + barGap;
    if (y + bar.height() > bounds.height() - edgeMargin)
        y = selection.bottom() - bar.height() - barGap;
    y = std::max(edgeMargin, y);
    qreal x = selection.center().x() - bar.width() / 2;
    x = std::min(x, bounds.width() - bar.width() - edgeMargin);
    x = std::max(x, edgeMargin);
    return QPointF(x, y);
}

QPointF sizePillCentre(const QRectF& selection, const QSizeF& bounds)
{
    const qreal y = bounds.height() <= selection.bottom() + 18 ? selection.bottom() - 14 : selection.bottom() + 14;
    return QPointF(selection.center().x(), y);
}

QRectF magnifierRect(const QPointF& mouse, const QSizeF& bounds)
{
    qreal x = mouse.x() + magnifierOffset;
    qreal y = mouse.y() + magnifierOffset;
    if (mouse.x() + magnifierOffset + magnifierSize > bounds.width())
        x = mouse.x() - magnifierOffset - magnifierSize;
    if (mouse.y() + magnifierOffset + magnifierSize + magnifierOffset > bounds.height())
        y = mouse.y() - magnifierOffset - magnifierSize - magnifierOffset;
    return QRectF(x, y, magnifierSize, magnifierSize);
}

QRectF pillBox(const QSizeF& textSize, const QPointF& centre, const QSizeF& bounds)
{
    const qreal width = textSize.width() + 16;
    const qreal height = textSize.height() + 6;
    qreal x = centre.x() - width / 2;
    x = std::max<qreal>(4, std::min(x, bounds.width() - width - 4));
    return QRectF(x, centre.y() - height / 2, width, height);
}

} // namespace overlay

OverlayViewState::OverlayViewState(OverlayHost& host, OverlayPurpose purpose, QSizeF bounds, QPointF displayOrigin,
    const std::vector<WindowInfo>* windows)
    : m_host(host)
    , m_purpose(purpose)
    , m_bounds(bounds)
    , m_displayOrigin(displayOrigin)
    , m_windows(windows)
{ }

void OverlayViewState::mouseDown(const QPointF& point, int clickCount, bool)
{
    m_mouse = point;
    if (!m_windowMode) {
        if (hasBar(m_purpose) && m_selection) {
            if (const auto handle = overlay::handleAt(*m_selection, point)) {
                m_drag = Resizing {*handle, *m_selection};
                return;
            }
            if (m_selection->contains(point)) {
                if (clickCount >= 2) {
                    commit(defaultAction(m_purpose));
                    return;
                }
                m_drag = Moving {point, *m_selection};
                return;
            }
        }
        m_host.clearOtherSelections(*this);
        m_drag = Creating {point};
        m_selection = QRectF(point, QSizeF(0, 0));
        return;
    }

    const WindowInfo* window = windowUnderMouse();
    if (!window)
        return;
    if (m_purpose != OverlayPurpose::record) {
        m_host.finishWithWindow(*this, *window);
        return;
    }
    // Recording a window records its rectangle, which the toolbar then offers.
    const QRectF area = toView(window->frame).intersected(QRectF(QPointF(0, 0), m_bounds));
    m_selection = area;
    m_host.setWindowModeEverywhere(false);
}

void OverlayViewState::mouseDragged(const QPointF& raw, bool shift)
{
    const QPointF point(std::clamp(raw.x(), 0.0, m_bounds.width()), std::clamp(raw.y(), 0.0, m_bounds.height()));
    m_mouse = point;
    if (const auto* creating = std::get_if<Creating>(&m_drag)) {
        const QPointF start = creating->start;
        qreal width = std::abs(point.x() - start.x());
        qreal height = std::abs(point.y() - start.y());
        qreal x = std::min(start.x(), point.x());
        qreal y = std::min(start.y(), point.y());
        if (shift) {
            const qreal side = std::max(width, height);
            width = height = side;
            x = point.x() < start.x() ? start.x() - side : start.x();
            y = point.y() < start.y() ? start.y() - side : start.y();
        }
        m_selection = QRectF(x, y, width, height);
    } else if (const auto* moving = std::get_if<Moving>(&m_drag)) {
        QRectF rect = moving->startRect.translated(point - moving->start);
        // Upper bound first, then 0: a selection wider than the screen sticks to the left edge.
        rect.moveLeft(std::max(0.0, std::min(rect.left(), m_bounds.width() - rect.width())));
        rect.moveTop(std::max(0.0, std::min(rect.top(), m_bounds.height() - rect.height())));
        m_selection = rect;
    } else if (const auto* resizing = std::get_if<Resizing>(&m_drag)) {
        m_selection = overlay::resized(resizing->handle, resizing->startRect, point);
    }
}

void OverlayViewState::mouseUp()
{
    const bool wasCreating = std::holds_alternative<Creating>(m_drag);
    m_drag = std::monostate {};
    if (!m_selection)
        return;
    if (m_selection->width() < 3 || m_selection->height() < 3) {
        if (wasCreating)
            m_selection.reset();
        if (m_purpose == OverlayPurpose::screenshot || m_purpose == OverlayPurpose::window) {
            // A click without a drag captures the window under the pointer.
            m_windowMode = true;
            if (const WindowInfo* window = windowUnderMouse()) {
                m_host.finishWithWindow(*this, *window);
                return;
            }
            m_windowMode = false;
        }
        return;
    }
    if (!hasBar(m_purpose))
        commit(defaultAction(m_purpose));
}

void OverlayViewState::mouseMoved(const QPointF& point)
{
    m_mouse = point;
    m_mouseInside = QRectF(QPointF(0, 0), m_bounds).contains(point);
}

void OverlayViewState::mouseEntered()
{
    m_mouseInside = true;
}

void OverlayViewState::mouseExited()
{
    m_mouseInside = false;
}

void OverlayViewState::rightMouseDown()
{
    m_host.cancel();
}

bool OverlayViewState::key(Key key, bool shift, bool option)
{
    switch (key) {
    case Key::left:
    case Key::right:
    case Key::up:
    case Key::down: {
        if (!m_selection)
            return true;
        const qreal step = shift ? 10 : 1;
        const qreal dx = key == Key::left ? -step : key == Key::right ? step : 0;
        const qreal dy = key == Key::up ? -step : key == Key::down ? step : 0;
        if (option) {
            m_selection->setWidth(std::max<qreal>(4, m_selection->width() + dx));
            m_selection->setHeight(std::max<qreal>(4, m_selection->height() + dy));
        } else {
            m_selection->translate(dx, dy);
        }
        return true;
    }
    case Key::space:
        if (offersWindowMode(m_purpose))
            m_host.setWindowModeEverywhere(!m_windowMode);
        return true;
    case Key::escape: m_host.cancel(); return true;
    case Key::returnKey:
    case Key::enter:
        if (m_selection)
            commit(defaultAction(m_purpose));
        return true;
    case Key::other: return false;
    }
    return false;
}

void OverlayViewState::cancelPressed()
{
    m_host.cancel();
}

void OverlayViewState::fullscreenPressed()
{
    m_selection = QRectF(QPointF(0, 0), m_bounds);
    commit(OverlayAction::recordVideo);
}

void OverlayViewState::sizeFieldsChanged(const QString& widthText, const QString& heightText)
{
    if (!m_selection)
        return;
    auto parse = [](const QString& text, qreal fallback) {
        bool ok = false;
        qreal value = QLocale().toDouble(text.trimmed(), &ok);
        if (!ok)
            value = QLocale::c().toDouble(text.trimmed(), &ok);
        return ok && std::isfinite(value) ? value : fallback;
    };
    const qreal width = parse(widthText, m_selection->width());
    const qreal height = parse(heightText, m_selection->height());
    m_selection->setWidth(std::max<qreal>(4, std::min(m_bounds.width() - m_selection->left(), width)));
    m_selection->setHeight(std::max<qreal>(4, std::min(m_bounds.height() - m_selection->top(), height)));
}

void OverlayViewState::commit(OverlayAction action)
{
    if (!m_selection)
        return;
    const QRectF rect = overlay::integral(*m_selection).intersected(QRectF(QPointF(0, 0), m_bounds));
    if (rect.width() >= 2 && rect.height() >= 2)
        m_host.finishWithArea(*this, rect, action);
}

QRectF OverlayViewState::toView(const QRect& globalFrame) const
{
    return QRectF(globalFrame).translated(-m_displayOrigin);
}

const WindowInfo* OverlayViewState::windowUnderMouse() const
{
    if (!m_windowMode || !m_mouseInside || !m_windows)
        return nullptr;
    const QPointF global = m_displayOrigin + m_mouse;
    for (const WindowInfo& window : *m_windows) {
        if (QRectF(window.frame).contains(global))
            return &window;
    }
    return nullptr;
}

OverlayViewState::Cursor OverlayViewState::cursor() const
{
    if (std::holds_alternative<Moving>(m_drag))
        return Cursor::closedHand;
    if (hasBar(m_purpose) && m_selection && !m_windowMode) {
        if (overlay::handleAt(*m_selection, m_mouse))
            return Cursor::pointingHand;
        if (m_selection->contains(m_mouse))
            return Cursor::openHand;
    }
    return Cursor::crosshair;
}

bool OverlayViewState::wantsBar() const
{
    return hasBar(m_purpose) && m_selection && m_selection->width() > 2 && m_selection->height() > 2 && !m_windowMode
        && !dragging();
}

bool OverlayViewState::showsHandles() const
{
    return hasBar(m_purpose) && m_selection && !dragging();
}

bool OverlayViewState::showsSizePill() const
{
    return m_selection && !(hasBar(m_purpose) && !dragging());
}

bool OverlayViewState::showsCrosshairAndMagnifier() const
{
    if (m_windowMode || !m_mouseInside)
        return false;
    return !(hasBar(m_purpose) && m_selection && !dragging());
}

QString OverlayViewState::hint() const
{
    if (m_windowMode)
        return windowModeHint();
    if (!m_selection && m_mouseInside)
        return areaHint(m_purpose);
    return QString();
}

} // namespace vantrel
