// SPDX-License-Identifier: GPL-3.0-or-later
#include "WebcamBubble.h"

#include "Camera.h"
#include "ChromeWindow.h"
#include "FloatingWindow.h"
#include "OverlayGeometry.h"
#include "Service.h"
#include "SystemLog.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>
#include <QWheelEvent>

#include <cmath>

namespace vantrel {

namespace {

// A notch of a mouse wheel (120 eighths of a degree) resizes by this many points; touchpads
// report points themselves.
constexpr double pointsPerNotch = 10.0;

} // namespace

BubbleView::BubbleView()
    : QWidget(nullptr,
        Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus
            | Qt::NoDropShadowWindowHint)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setWindowTitle(QStringLiteral("Vantrel camera"));
    setCursor(Qt::OpenHandCursor);
    keepAboveOnEveryWorkspace(this);
}

void BubbleView::setFrame(const QImage& frame)
{
    m_frame = frame;
    update();
}

void BubbleView::resizeBy(double delta)
{
    const QRectF resized = overlaygeometry::resizedBubble(QRectF(geometry()), delta);
    setGeometry(resized.toRect());
}

void BubbleView::resizeEvent(QResizeEvent*)
{
    if (!desktopIsCompositing()) {
        // Round without a compositor too: the window itself is a disc.
        setMask(QRegion(rect(), QRegion::Ellipse));
    }
}

void BubbleView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF disc = QRectF(rect());
    QPainterPath circle;
    circle.addEllipse(disc);
    painter.setClipPath(circle);
    if (m_frame.isNull()) {
        painter.fillPath(circle, QColor(30, 30, 32));
    } else {
        // Filled like a mirror: the picture covers the disc (cropped, not squeezed), flipped
        // left to right.
        const QSizeF frame = m_frame.size();
        const double scale = std::max(disc.width() / frame.width(), disc.height() / frame.height());
        const QSizeF shown(disc.width() / scale, disc.height() / scale);
        const QRectF source(QPointF((frame.width() - shown.width()) / 2, (frame.height() - shown.height()) / 2), shown);
        painter.save();
        painter.translate(disc.width(), 0);
        painter.scale(-1, 1);
        painter.drawImage(disc, m_frame, source);
        painter.restore();
    }
    painter.setClipping(false);
    const double border = overlaygeometry::bubbleBorder;
    painter.setPen(QPen(Qt::white, border));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(disc.adjusted(border / 2, border / 2, -border / 2, -border / 2));
}

void BubbleView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_grab = event->position().toPoint();
    setCursor(Qt::ClosedHandCursor);
}

void BubbleView::mouseMoveEvent(QMouseEvent* event)
{
    if (m_grab)
        move(event->globalPosition().toPoint() - *m_grab);
}

void BubbleView::mouseReleaseEvent(QMouseEvent*)
{
    m_grab.reset();
    setCursor(Qt::OpenHandCursor);
}

void BubbleView::wheelEvent(QWheelEvent* event)
{
    double delta = 0;
    if (!event->pixelDelta().isNull()) {
        delta = event->pixelDelta().y();
    } else {
        m_pendingWheel += event->angleDelta().y();
        delta = m_pendingWheel / 120.0 * pointsPerNotch;
        m_pendingWheel = 0;
    }
    if (delta != 0)
        resizeBy(delta);
    event->accept();
}

WebcamBubble& WebcamBubble::shared()
{
    static WebcamBubble* instance = new WebcamBubble;
    return *instance;
}

WebcamBubble::~WebcamBubble()
{
    hide();
}

void WebcamBubble::show(QScreen* screen, const QRectF& area)
{
    hide();
    Camera* camera = Service<Camera>::find();
    if (!camera)
        return;
    m_screen = screen;
    m_place = overlaygeometry::bubbleRect(screen ? QRectF(screen->geometry()) : QRectF(), area);
    const quint64 generation = ++m_generation;
    QPointer<WebcamBubble> self(this);
    m_feed = camera->openDefault(
        [self, generation](const QImage& frame) {
            if (self && generation == self->m_generation)
                self->frameArrived(frame);
        },
        [self, generation](const QString& why) {
            if (self && generation == self->m_generation)
                self->failed(why);
        });
    if (!m_feed)
        systemLog(QStringLiteral("Vantrel: no camera for the webcam bubble"));
}

void WebcamBubble::frameArrived(const QImage& frame)
{
    if (!m_feed)
        return;
    if (!m_view) {
        m_view = new BubbleView;
        if (m_screen)
            m_view->setScreen(m_screen);
        m_view->setGeometry(m_place.toRect());
        m_view->setFrame(frame);
        m_view->show();
        return;
    }
    m_view->setFrame(frame);
}

void WebcamBubble::failed(const QString& why)
{
    systemLog(QStringLiteral("Vantrel: the camera cannot be used: ") + why);
    // The recording goes on without the bubble.
    hide();
}

void WebcamBubble::hide()
{
    ++m_generation;
    if (m_feed) {
        // A failing camera may be what called: the feed goes once its call is over.
        std::shared_ptr<CameraFeed> going(std::move(m_feed));
        QTimer::singleShot(0, this, [going] {});
    }
    if (m_view) {
        m_view->hide();
        m_view->deleteLater();
    }
    m_view = nullptr;
}

} // namespace vantrel
