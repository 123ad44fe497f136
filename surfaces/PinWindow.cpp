// SPDX-License-Identifier: GPL-3.0-or-later
#include "PinWindow.h"

#include "CaptureItem.h"
#include "ChromeWindow.h"
#include "FloatingWindow.h"
#include "PlatformCapabilities.h"
#include "ScreenCapture.h"
#include "SurfaceGeometry.h"
#include "SurfaceHandOff.h"
#include "SystemLog.h"
#include "Toasts.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace vantrel {

namespace {

constexpr qreal cornerRadius = 6;
constexpr qreal edgeGrip = 6; // points along the border that resize instead of move
constexpr double keyZoom = 1.1;
constexpr int opacityLevels[] = {100, 85, 70, 50, 30};

QList<PinWindow*>& openPins()
{
    static QList<PinWindow*> list;
    return list;
}

} // namespace

PinContentView::PinContentView(PinWindow* owner)
    : QWidget(owner)
    , pin(owner)
{
    setAcceptDrops(false);
    setAttribute(Qt::WA_TransparentForMouseEvents); // the pin handles the mouse
}

void PinContentView::paintEvent(QPaintEvent*)
{
    if (!pin)
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds(rect());
    // Scaled once per size: a large capture is not resampled again for every repaint.
    const QSize pixels = (QSizeF(size()) * devicePixelRatioF()).toSize();
    if (m_scaled.size() != pixels) {
        m_scaled = QPixmap::fromImage(
            pin->image().scaled(pixels.expandedTo(QSize(1, 1)), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        m_scaled.setDevicePixelRatio(devicePixelRatioF());
    }
    QPainterPath clip;
    clip.addRoundedRect(bounds, cornerRadius, cornerRadius);
    p.setClipPath(clip);
    p.drawPixmap(bounds, m_scaled, QRectF(m_scaled.rect()));
    p.setClipping(false);
    p.setPen(QPen(QColor(0, 0, 0, qRound(0.15 * 255)), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(bounds.adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius, cornerRadius);
}

PinWindow* PinWindow::pin(const QImage& image, double scale)
{
    if (image.isNull()) {
        systemLog(QStringLiteral("Vantrel: nothing to pin: the picture is empty"));
        return nullptr;
    }
    const double s = scale > 0 ? scale : 1.0;
    const QSizeF points(image.width() / s, image.height() / s);
    const double aspect = points.height() / std::max(points.width(), 1.0);
    QScreen* screen = ScreenCapture::screenUnderMouse();
    const QRectF visible = screen ? QRectF(screen->availableGeometry()) : QRectF(QPointF(), points);
    QRectF frame(QPointF(), pinFitSize(points, aspect, visible.size()));
    frame.moveCenter(visible.center());

    auto* window = new PinWindow(image, aspect, frame);
    openPins().append(window);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

QList<PinWindow*> PinWindow::pins()
{
    return openPins();
}

int PinWindow::pinCount()
{
    return openPins().size();
}

bool PinWindow::anyLocked()
{
    return std::any_of(openPins().cbegin(), openPins().cend(), [](const PinWindow* p) { return p->locked(); });
}

void PinWindow::unlockPins()
{
    for (PinWindow* window : openPins())
        window->unlock();
}

void PinWindow::closePins()
{
    const QList<PinWindow*> all = openPins();
    for (PinWindow* window : all)
        window->closeAction();
}

PinWindow::PinWindow(const QImage& image, double aspect, const QRectF& frame)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , m_image(image)
    , m_aspect(aspect)
    , m_imageView(new PinContentView(this))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_DeleteOnClose);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setWindowTitle(QStringLiteral("Vantrel pin"));
    keepAboveOnEveryWorkspace(this);
    setFrame(frame);
}

PinWindow::~PinWindow()
{
    openPins().removeAll(this);
}

void PinWindow::setFrame(const QRectF& frame)
{
    m_frame = frame;
    const QRect whole(
        qRound(frame.x()), qRound(frame.y()), std::max(1, qRound(frame.width())), std::max(1, qRound(frame.height())));
    setGeometry(whole);
}

void PinWindow::moveEvent(QMoveEvent*)
{
    // The window manager may place it elsewhere; the frame follows what is on screen.
    if (pos() != QPoint(qRound(m_frame.x()), qRound(m_frame.y())))
        m_frame.moveTopLeft(pos());
}

void PinWindow::resizeEvent(QResizeEvent*)
{
    if (size() != QSize(std::max(1, qRound(m_frame.width())), std::max(1, qRound(m_frame.height()))))
        m_frame.setSize(size());
    m_imageView->setGeometry(rect());
    if (!desktopIsCompositing()) {
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
        setMask(QRegion(shape.toFillPolygon().toPolygon()));
    }
}

double PinWindow::screenScale() const
{
    QScreen* current = screen();
    return current ? current->devicePixelRatio() : 2.0;
}

void PinWindow::zoom(double factor)
{
    setFrame(zoomedPinFrame(m_frame, factor, m_aspect));
}

QMenu* PinWindow::makeContextMenu(QWidget* parent)
{
    auto* menu = new QMenu(parent);
    menu->addAction(tr("Copy"), QKeySequence(Qt::CTRL | Qt::Key_C), this, &PinWindow::copyImage);
    menu->addAction(tr("Save"), QKeySequence(Qt::CTRL | Qt::Key_S), this, &PinWindow::saveImage);
    menu->addAction(tr("Annotate"), this, &PinWindow::annotate);
    menu->addSeparator();
    QMenu* opacity = menu->addMenu(tr("Opacity"));
    for (int percent : opacityLevels) {
        QAction* level = opacity->addAction(QStringLiteral("%1%").arg(percent));
        level->setData(percent);
        level->setCheckable(true);
        level->setChecked(std::abs(percent - m_alpha * 100) <= 1);
        connect(level, &QAction::triggered, this, [this, percent] { setOpacity(percent); });
    }
    menu->addAction(tr("Reset Size"), QKeySequence(Qt::CTRL | Qt::Key_0), this, &PinWindow::resetAction);
    // A lock the desktop cannot honour would leave a pin that takes clicks but answers none.
    if (platformCapabilities().clickThrough)
        menu->addAction(tr("Lock (Click Through)"), this, &PinWindow::lockAction);
    menu->addSeparator();
    menu->addAction(tr("Close"), QKeySequence(Qt::CTRL | Qt::Key_W), this, &PinWindow::closeAction);
    return menu;
}

void PinWindow::copyImage()
{
    CaptureItem::fromImage(m_image, 1.0, CaptureKind::screenshot)->copyToClipboard(false);
}

void PinWindow::saveImage()
{
    CaptureItem::fromImage(m_image, 1.0, CaptureKind::screenshot)->save(false);
}

void PinWindow::annotate()
{
    openInEditor(CaptureItem::fromImage(m_image, screenScale(), CaptureKind::screenshot));
}

void PinWindow::setOpacity(int percent)
{
    m_alpha = std::clamp(percent, 0, 100) / 100.0;
    setWindowOpacity(m_alpha);
}

void PinWindow::resetAction()
{
    const double scale = screenScale();
    const QSizeF size(m_image.width() / scale, m_image.height() / scale);
    // The bottom-left corner stays where it is.
    setFrame(QRectF(m_frame.left(), m_frame.bottom() - size.height(), size.width(), size.height()));
}

void PinWindow::lockAction()
{
    m_locked = true;
    m_drag = Drag::none;
    setInputTransparent(true);
    showToast(
        {.text = tr("Pin locked — unlock from the tray menu"), .symbol = QStringLiteral("lock.fill"), .duration = 1.6});
}

void PinWindow::unlock()
{
    if (!m_locked)
        return;
    m_locked = false;
    setInputTransparent(false);
}

void PinWindow::setInputTransparent(bool transparent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents, transparent);
    // Changed on the native window directly: through the widget's flags the window would be
    // hidden and shown again.
    overrideWindowFlags(
        transparent ? windowFlags() | Qt::WindowTransparentForInput : windowFlags() & ~Qt::WindowTransparentForInput);
    if (QWindow* native = windowHandle())
        native->setFlag(Qt::WindowTransparentForInput, transparent);
    if (transparent)
        unsetCursor();
}

void PinWindow::closeAction()
{
    openPins().removeAll(this);
    close();
}

Qt::Edges PinWindow::edgesAt(const QPointF& point) const
{
    Qt::Edges edges;
    if (point.x() < edgeGrip)
        edges |= Qt::LeftEdge;
    if (point.x() >= width() - edgeGrip)
        edges |= Qt::RightEdge;
    if (point.y() < edgeGrip)
        edges |= Qt::TopEdge;
    if (point.y() >= height() - edgeGrip)
        edges |= Qt::BottomEdge;
    // A pin too small for both a grip and a handle is moved, not resized.
    if (width() < 4 * edgeGrip || height() < 4 * edgeGrip)
        return {};
    return edges;
}

void PinWindow::keyPressEvent(QKeyEvent* event)
{
    if (m_locked) {
        event->ignore();
        return;
    }
    const int key = event->key();
    if (key == Qt::Key_Backspace || key == Qt::Key_Delete || key == Qt::Key_Escape) {
        closeAction();
        return;
    }
    const double step = event->modifiers() & Qt::ShiftModifier ? 10 : 1;
    switch (key) {
    case Qt::Key_Left: setFrame(m_frame.translated(-step, 0)); return;
    case Qt::Key_Right: setFrame(m_frame.translated(step, 0)); return;
    case Qt::Key_Up: setFrame(m_frame.translated(0, -step)); return;
    case Qt::Key_Down: setFrame(m_frame.translated(0, step)); return;
    default: break;
    }
    if (event->modifiers() & Qt::ControlModifier) {
        switch (key) {
        case Qt::Key_C: copyImage(); return;
        case Qt::Key_S: saveImage(); return;
        case Qt::Key_W: closeAction(); return;
        case Qt::Key_Equal:
        case Qt::Key_Plus: zoom(keyZoom); return;
        case Qt::Key_Minus: zoom(1 / keyZoom); return;
        case Qt::Key_0: resetAction(); return;
        default: break;
        }
    }
    QWidget::keyPressEvent(event);
}

void PinWindow::mousePressEvent(QMouseEvent* event)
{
    if (m_locked || event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    activateWindow();
    m_pressGlobal = event->globalPosition();
    m_pressFrame = m_frame;
    m_dragEdges = edgesAt(event->position());
    m_drag = m_dragEdges ? Drag::resize : Drag::move;
}

void PinWindow::mouseMoveEvent(QMouseEvent* event)
{
    if (m_locked)
        return;
    if (m_drag == Drag::none) {
        const Qt::Edges edges = edgesAt(event->position());
        if ((edges & (Qt::LeftEdge | Qt::TopEdge)) == (Qt::LeftEdge | Qt::TopEdge)
            || (edges & (Qt::RightEdge | Qt::BottomEdge)) == (Qt::RightEdge | Qt::BottomEdge))
            setCursor(Qt::SizeFDiagCursor);
        else if ((edges & (Qt::RightEdge | Qt::TopEdge)) == (Qt::RightEdge | Qt::TopEdge)
            || (edges & (Qt::LeftEdge | Qt::BottomEdge)) == (Qt::LeftEdge | Qt::BottomEdge))
            setCursor(Qt::SizeBDiagCursor);
        else if (edges & (Qt::LeftEdge | Qt::RightEdge))
            setCursor(Qt::SizeHorCursor);
        else if (edges & (Qt::TopEdge | Qt::BottomEdge))
            setCursor(Qt::SizeVerCursor);
        else
            unsetCursor();
        return;
    }
    const QPointF delta = event->globalPosition() - m_pressGlobal;
    if (m_drag == Drag::move) {
        setFrame(m_pressFrame.translated(delta));
        return;
    }
    // Resizing keeps the proportions: the edge dragged furthest decides the new width, and the
    // opposite corner stays put.
    double width = m_pressFrame.width();
    double change = 0;
    if (m_dragEdges & (Qt::LeftEdge | Qt::RightEdge)) {
        const double dx = m_dragEdges & Qt::RightEdge ? delta.x() : -delta.x();
        width = m_pressFrame.width() + dx;
        change = std::abs(dx);
    }
    if ((m_dragEdges & (Qt::TopEdge | Qt::BottomEdge)) && m_aspect > 0) {
        const double dy = m_dragEdges & Qt::BottomEdge ? delta.y() : -delta.y();
        if (std::abs(dy) / m_aspect > change)
            width = (m_pressFrame.height() + dy) / m_aspect;
    }
    width = std::clamp(width, pinMinimumWidth, pinMaximumWidth);
    const double height = width * m_aspect;
    const double left = m_dragEdges & Qt::LeftEdge ? m_pressFrame.right() - width : m_pressFrame.left();
    const double top = m_dragEdges & Qt::TopEdge ? m_pressFrame.bottom() - height : m_pressFrame.top();
    setFrame(QRectF(left, top, width, height));
}

void PinWindow::mouseReleaseEvent(QMouseEvent*)
{
    m_drag = Drag::none;
}

void PinWindow::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (m_locked || event->button() != Qt::LeftButton)
        return;
    m_drag = Drag::none;
    closeAction();
}

void PinWindow::wheelEvent(QWheelEvent* event)
{
    if (m_locked)
        return;
    // Touchpads scroll in points, gently (1/200 each); a wheel notch (120 eighths of a degree)
    // is 1/20. Powers rather than sums, so that zooming out and back in by the same amount
    // returns the pin to exactly its size.
    const double factor = !event->pixelDelta().isNull() ? std::pow(1 + 1 / 200.0, event->pixelDelta().y())
                                                        : std::pow(1 + 1 / 20.0, event->angleDelta().y() / 120.0);
    zoom(factor);
}

bool PinWindow::event(QEvent* event)
{
    if (event->type() == QEvent::NativeGesture && !m_locked) {
        auto* gesture = static_cast<QNativeGestureEvent*>(event);
        if (gesture->gestureType() == Qt::ZoomNativeGesture) {
            zoom(1 + gesture->value());
            return true;
        }
    }
    return QWidget::event(event);
}

void PinWindow::contextMenuEvent(QContextMenuEvent* event)
{
    if (m_locked)
        return;
    QMenu* menu = makeContextMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

} // namespace vantrel
