// SPDX-License-Identifier: GPL-3.0-or-later
#include "QuickAccessPanel.h"

#include "CaptureItem.h"
#include "ChromeWindow.h"
#include "FloatingWindow.h"
#include "PinWindow.h"
#include "QuickAccessManager.h"
#include "QuickAccessView.h"
#include "Settings.h"
#include "SurfaceGeometry.h"
#include "SurfaceHandOff.h"

#include <QKeyEvent>
#include <QPainterPath>
#include <QParallelAnimationGroup>
#include <QPropertyAnimation>
#include <QTimer>

namespace vantrel {

namespace {

constexpr int layoutMs = 200;
constexpr int presentMs = 250;
constexpr int dismissMs = 200;
constexpr int presentOffset = 40; // points outside its place where a thumbnail starts sliding in
constexpr int dismissOffset = 60; // points it travels outwards while fading away

} // namespace

QuickAccessPanel::QuickAccessPanel(std::shared_ptr<CaptureItem> item, QuickAccessManager* manager)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , m_item(std::move(item))
    , m_manager(manager)
    , m_closeTimer(new QTimer(this))
    , m_content(nullptr)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::StrongFocus);
    setWindowTitle(QStringLiteral("Vantrel thumbnail"));
    markAsChrome(this);

    m_content = new QuickAccessView(this, m_item);
    const QSizeF size = thumbnailSize(m_content->picture().deviceIndependentSize(), Settings::shared().overlaySize());
    resize(qMax(1, qRound(size.width())), qMax(1, qRound(size.height())));
    m_content->setGeometry(rect());
    m_targetFrame = geometry();

    if (!desktopIsCompositing()) {
        // No compositor blends the rounded corners: cut them out of the window instead.
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), 12, 12);
        setMask(QRegion(shape.toFillPolygon().toPolygon()));
    }
    keepAboveOnEveryWorkspace(this);

    m_closeTimer->setSingleShot(true);
    connect(m_closeTimer, &QTimer::timeout, this, &QuickAccessPanel::closeTimerFired);
    armCloseTimer();
}

QuickAccessPanel::~QuickAccessPanel()
{
    // Animations still running would report to this panel while QWidget tears it down.
    qDeleteAll(findChildren<QAbstractAnimation*>(Qt::FindDirectChildrenOnly));
}

bool QuickAccessPanel::isImageItem() const
{
    return m_item->image.has_value();
}

bool QuickAccessPanel::closeTimerActive() const
{
    return m_closeTimer->isActive();
}

int QuickAccessPanel::closeTimerInterval() const
{
    return m_closeTimer->interval();
}

void QuickAccessPanel::armCloseTimer()
{
    // Whole seconds; below one the thumbnail stays until the user acts.
    const int seconds = Settings::shared().overlayAutoClose();
    if (seconds < 1)
        return;
    m_closeTimer->start(seconds * 1000);
}

void QuickAccessPanel::closeTimerFired()
{
    // The pointer rests on it, or is dragging its file (which runs the drag's own event loop
    // inside this panel's view): look again after the full delay.
    if (m_content->hovering() || m_content->dragging())
        armCloseTimer();
    else
        dismiss();
}

void QuickAccessPanel::moveTo(const QPoint& origin, bool animated)
{
    m_targetFrame = QRect(origin, size());
    if (m_moveAnimation)
        m_moveAnimation->stop();
    if (!animated || !isVisible()) {
        move(origin);
        return;
    }
    auto* slide = new QPropertyAnimation(this, "pos", this);
    slide->setDuration(layoutMs);
    slide->setEndValue(origin);
    m_moveAnimation = slide;
    slide->start(QAbstractAnimation::DeleteWhenStopped);
}

void QuickAccessPanel::present(OverlayCorner corner)
{
    const QPoint target = m_targetFrame.topLeft();
    const int outwards = corner == OverlayCorner::right ? presentOffset : -presentOffset;
    move(target + QPoint(outwards, 0));
    setWindowOpacity(0);
    show();
    raise();

    // Two separate animations: a layout during the slide-in takes over the movement (a group
    // would start its stopped member again) while the fade goes on.
    auto* slide = new QPropertyAnimation(this, "pos", this);
    slide->setDuration(presentMs);
    slide->setEasingCurve(QEasingCurve::OutCubic);
    slide->setEndValue(target);
    m_moveAnimation = slide;
    auto* fade = new QPropertyAnimation(this, "windowOpacity", this);
    fade->setDuration(presentMs);
    fade->setEasingCurve(QEasingCurve::OutCubic);
    fade->setEndValue(1.0);
    slide->start(QAbstractAnimation::DeleteWhenStopped);
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}

void QuickAccessPanel::animateOut(OverlayCorner corner)
{
    m_dismissing = true;
    m_closeTimer->stop();
    if (m_moveAnimation)
        m_moveAnimation->stop();
    // No more clicks or keys while it fades: a second action would act on a closed thumbnail.
    setEnabled(false);
    const int dx = corner == OverlayCorner::right ? dismissOffset : -dismissOffset;

    auto* group = new QParallelAnimationGroup(this);
    auto* slide = new QPropertyAnimation(this, "pos", group);
    slide->setDuration(dismissMs);
    slide->setEndValue(pos() + QPoint(dx, 0));
    auto* fade = new QPropertyAnimation(this, "windowOpacity", group);
    fade->setDuration(dismissMs);
    fade->setEndValue(0.0);
    group->addAnimation(slide);
    group->addAnimation(fade);
    connect(group, &QAbstractAnimation::finished, this, [this] {
        // A close rather than a bare hide: a grab that has the thumbnail withdrawn at this
        // moment sees the close and does not bring it back.
        setAttribute(Qt::WA_DeleteOnClose);
        close();
    });
    group->start(QAbstractAnimation::DeleteWhenStopped);
}

void QuickAccessPanel::dismiss()
{
    if (m_manager)
        m_manager->dismiss(this, true);
}

void QuickAccessPanel::copyAction()
{
    m_item->copyToClipboard(false);
    dismiss();
}

void QuickAccessPanel::saveAction()
{
    m_item->save(false);
    dismiss();
}

void QuickAccessPanel::closeAction()
{
    dismiss();
}

void QuickAccessPanel::annotateAction()
{
    if (isImageItem())
        openInEditor(m_item);
    else
        m_item->openExternally();
    dismiss();
}

void QuickAccessPanel::pinAction()
{
    if (!isImageItem())
        return;
    PinWindow::pin(*m_item->image, m_item->scale);
    dismiss();
}

void QuickAccessPanel::copyTextAction()
{
    if (!isImageItem())
        return;
    // Recognition runs after this click has been handled; the thumbnail stays.
    QTimer::singleShot(0, this, [image = *m_item->image, scale = m_item->scale] { recognizeTextIn(image, scale); });
}

void QuickAccessPanel::keyPressEvent(QKeyEvent* event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        switch (event->key()) {
        case Qt::Key_C: copyAction(); return;
        case Qt::Key_S: saveAction(); return;
        case Qt::Key_W: closeAction(); return;
        case Qt::Key_E: annotateAction(); return;
        case Qt::Key_P: pinAction(); return;
        default: break;
        }
    } else if (event->key() == Qt::Key_Escape) {
        closeAction();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace vantrel
