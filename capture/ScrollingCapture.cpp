// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScrollingCapture.h"

#include "CaptureCoordinator.h"
#include "FocusService.h"
#include "ScreenCapture.h"
#include "ScrollingCaptureLayout.h"
#include "Service.h"

#include <QGuiApplication>
#include <QTimer>

#include <memory>

namespace vantrel {

namespace {

std::unique_ptr<ScrollingCapture>& activeSlot()
{
    static std::unique_ptr<ScrollingCapture> slot;
    return slot;
}

} // namespace

ScrollingCapture* ScrollingCapture::active()
{
    return activeSlot().get();
}

void ScrollingCapture::start(QScreen* screen, const QRectF& rect)
{
    if (active() || !screen || rect.isEmpty())
        return;
    activeSlot().reset(new ScrollingCapture(screen, rect));
    ScrollingCapture* capture = active();
    capture->buildInterface();
    capture->m_timer->start();
    capture->tick();
}

ScrollingCapture::ScrollingCapture(QScreen* screen, const QRectF& rect)
    : m_screen(screen)
    , m_rect(rect)
    , m_timer(new QTimer(this))
{
    m_timer->setInterval(frameIntervalMs);
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &ScrollingCapture::tick);
    // A screen unplugged mid-capture: what was collected is kept.
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, [this](QScreen* removed) {
        if (removed == m_screen)
            finish(true);
    });
}

ScrollingCapture::~ScrollingCapture()
{
    delete m_frameWindow.data();
    delete m_panel.data();
}

void ScrollingCapture::buildInterface()
{
    const QPoint origin = m_screen->geometry().topLeft();
    const QRect area = m_rect.toRect().translated(origin);
    const ScrollingCaptureLayout layout = ScrollingCaptureLayout::place(area, m_screen->availableGeometry());
    m_capturedRect = QRectF(layout.captured.translated(-origin));

    m_frameWindow = new ScrollingFrameWindow(layout.captured);
    m_frameWindow->show();
    m_frameWindow->raise();

    if (FocusService* focus = Service<FocusService>::find())
        m_previousFocus = focus->frontmostOtherWindow();
    m_panel = new ScrollingCapturePanel(layout.ringFrame());
    m_panel->move(layout.panel.topLeft());
    connect(m_panel, &ScrollingCapturePanel::doneClicked, this, &ScrollingCapture::doneAction);
    connect(m_panel, &ScrollingCapturePanel::cancelClicked, this, &ScrollingCapture::cancelAction);
    m_panel->show();
    m_panel->raise();
    m_panel->takeKeyboard();
}

QString ScrollingCapture::statusText() const
{
    if (m_stitcher.empty())
        return tr("Scroll slowly…");
    return tr("Scroll slowly…  %1 pt").arg(qint64(double(m_stitcher.height()) / m_scale));
}

void ScrollingCapture::updateStatus()
{
    if (m_panel)
        m_panel->setStatus(statusText());
}

void ScrollingCapture::tick()
{
    if (m_finished || m_capturing)
        return;
    if (!m_screen) {
        finish(true);
        return;
    }
    m_capturing = true;
    // The grab may run the event loop (to let windows repaint), and Done may be pressed then.
    QPointer<ScrollingCapture> self(this);
    Expected<Capture> frame
        = ScreenCapture::captureDisplay(ScreenCapture::displayID(m_screen), m_capturedRect, m_stitcher.takeSpare());
    if (!self)
        return;
    m_capturing = false;
    // Finished meanwhile: the picture went out as it stood; this frame is not part of it.
    if (m_finished || !frame)
        return;
    ++m_framesGrabbed;
    m_scale = frame->scale;
    const ScrollStitcher::Result result = m_stitcher.addFrame(std::move(frame->image));
    if (result.outcome == ScrollStitcher::Outcome::first || result.outcome == ScrollStitcher::Outcome::appended)
        updateStatus();
    if (m_stitcher.limitReached())
        finish(true);
}

void ScrollingCapture::finish(bool deliver)
{
    if (m_finished)
        return;
    m_finished = true;
    m_timer->stop();
    const bool hadKeyboard = m_panel && m_panel->isActiveWindow();
    // Hidden at once, deleted later: Done arrives from inside the panel's own click handler.
    for (QWidget* window : {static_cast<QWidget*>(m_frameWindow.data()), static_cast<QWidget*>(m_panel.data())}) {
        if (window) {
            window->hide();
            window->deleteLater();
        }
    }
    // The panel had the keyboard; give it back to the window the user was scrolling.
    FocusService* focus = Service<FocusService>::find();
    if (hadKeyboard && focus && m_previousFocus)
        focus->activate(*m_previousFocus);

    const double scale = m_scale;
    const QImage picture = deliver ? m_stitcher.takePicture() : QImage();
    if (activeSlot().get() == this)
        activeSlot().release()->deleteLater();
    if (!picture.isNull())
        CaptureCoordinator::shared().deliver(picture, CaptureKind::scrolling, scale);
}

} // namespace vantrel
