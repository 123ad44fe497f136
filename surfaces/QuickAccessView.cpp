// SPDX-License-Identifier: GPL-3.0-or-later
#include "QuickAccessView.h"

#include "CaptureItem.h"
#include "HoverButton.h"
#include "QuickAccessPanel.h"
#include "ThumbnailPicture.h"

#include <QDrag>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>

#include <cmath>

namespace vantrel {

namespace {

constexpr qreal cornerRadius = 12;
constexpr int hoverFadeMs = 150;
constexpr qreal dragThreshold = 4; // points of travel before a press becomes a drag
constexpr double swipeDistance = 60; // points of horizontal scrolling that send the thumbnail away
constexpr int dragWidth = 160;

// The dark veil that carries the buttons; it passes every click it does not use to the view.
class HoverLayer : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, qRound(0.45 * 255)));
        p.drawRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    }
};

} // namespace

QuickAccessView::QuickAccessView(QuickAccessPanel* panel, std::shared_ptr<CaptureItem> item)
    : QWidget(panel)
    , m_panel(panel)
    , m_item(std::move(item))
    , m_picture(thumbnailPicture(*m_item))
{
    setAttribute(Qt::WA_Hover);
    setAcceptDrops(false);
    const bool imageItem = m_item->image.has_value();

    m_hoverLayer = new HoverLayer(this);
    m_hoverOpacity = new QGraphicsOpacityEffect(m_hoverLayer);
    m_hoverOpacity->setOpacity(0);
    m_hoverLayer->setGraphicsEffect(m_hoverOpacity);
    m_hoverFade = new QPropertyAnimation(m_hoverOpacity, "opacity", this);
    m_hoverFade->setDuration(hoverFadeMs);

    m_buttonStack = new QWidget(m_hoverLayer);
    m_buttonStack->resize(100, 68);
    HoverButton* copy = HoverButton::titled(tr("Copy"), m_buttonStack);
    HoverButton* save = HoverButton::titled(tr("Save"), m_buttonStack);
    copy->move(2, 0);
    save->move(2, 38);
    connect(copy, &QAbstractButton::clicked, panel, &QuickAccessPanel::copyAction);
    connect(save, &QAbstractButton::clicked, panel, &QuickAccessPanel::saveAction);
    m_buttons = {copy, save};

    auto addCorner = [&](const char* symbol, const QString& toolTip, void (QuickAccessPanel::*action)()) {
        HoverButton* button = HoverButton::symbol(QString::fromLatin1(symbol), toolTip, m_hoverLayer);
        connect(button, &QAbstractButton::clicked, panel, action);
        m_buttons.append(button);
    };
    // Command is Ctrl in Vantrel's own windows, and the tooltips say so.
    addCorner("xmark", tr("Close (Ctrl+W)"), &QuickAccessPanel::closeAction);
    if (imageItem) {
        addCorner("pin.fill", tr("Pin to screen"), &QuickAccessPanel::pinAction);
        addCorner("pencil", tr("Annotate (Ctrl+E)"), &QuickAccessPanel::annotateAction);
        addCorner("text.viewfinder", tr("Copy text (OCR)"), &QuickAccessPanel::copyTextAction);
    } else {
        addCorner("play.fill", tr("Open"), &QuickAccessPanel::annotateAction);
    }

    // Made after the hover layer, so the badge stays readable above it.
    if (!imageItem) {
        m_badge = new QLabel(badgeText(), this);
        m_badge->setAlignment(Qt::AlignCenter);
        m_badge->setAttribute(Qt::WA_TransparentForMouseEvents);
        QFont font = m_badge->font();
        font.setPixelSize(10);
        font.setBold(true);
        m_badge->setFont(font);
        m_badge->setStyleSheet(QStringLiteral("color: white; background: rgba(0, 0, 0, 153); border-radius: 4px;"));
        m_badge->resize(44, 16);
    }
}

HoverButton* QuickAccessView::button(const QString& titleOrToolTip) const
{
    for (HoverButton* b : m_buttons) {
        if (b->text() == titleOrToolTip || b->toolTip() == titleOrToolTip)
            return b;
    }
    return nullptr;
}

QString QuickAccessView::badgeText() const
{
    if (m_item->image)
        return {};
    return m_item->kind == CaptureKind::gif ? tr("GIF") : tr("VIDEO");
}

void QuickAccessView::setHovering(bool hovering)
{
    m_hovering = hovering;
    m_hoverFade->stop();
    m_hoverFade->setStartValue(m_hoverOpacity->opacity());
    m_hoverFade->setEndValue(hovering ? 1.0 : 0.0);
    m_hoverFade->start();
}

qreal QuickAccessView::hoverOpacity() const
{
    return m_hoverOpacity->opacity();
}

void QuickAccessView::resizeEvent(QResizeEvent*)
{
    m_hoverLayer->setGeometry(rect());
    layoutButtons();
    if (m_badge)
        m_badge->move(8, height() - 8 - m_badge->height());
    m_scaledPicture = {};
}

void QuickAccessView::layoutButtons()
{
    const int w = width();
    const int h = height();
    m_buttonStack->move((w - m_buttonStack->width()) / 2, (h - m_buttonStack->height()) / 2);
    for (HoverButton* b : m_buttons) {
        const QString symbol = b->symbolName();
        if (symbol == QLatin1String("xmark"))
            b->move(6, 6);
        else if (symbol == QLatin1String("pin.fill"))
            b->move(w - 30, 6);
        else if (symbol == QLatin1String("pencil") || symbol == QLatin1String("play.fill"))
            b->move(6, h - 30);
        else if (symbol == QLatin1String("text.viewfinder"))
            b->move(w - 30, h - 30);
    }
}

void QuickAccessView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds(rect());
    QPainterPath clip;
    clip.addRoundedRect(bounds, cornerRadius, cornerRadius);
    p.setClipPath(clip);
    p.fillRect(bounds, QColor(255, 255, 255, qRound(0.15 * 255)));

    const QSizeF points = m_picture.deviceIndependentSize();
    if (!m_picture.isNull() && points.width() > 0 && points.height() > 0) {
        // Proportionally up or down until it touches the frame, centred.
        const QSizeF fitted = points.scaled(bounds.size(), Qt::KeepAspectRatio);
        const qreal dpr = devicePixelRatioF();
        if (m_scaledPicture.isNull()) {
            m_scaledPicture = QPixmap::fromImage(m_picture.scaled(
                (fitted * dpr).toSize().expandedTo(QSize(1, 1)), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
            m_scaledPicture.setDevicePixelRatio(dpr);
        }
        const QPointF origin((bounds.width() - fitted.width()) / 2, (bounds.height() - fitted.height()) / 2);
        p.drawPixmap(QRectF(origin, fitted), m_scaledPicture, QRectF(m_scaledPicture.rect()));
    }

    p.setClipping(false);
    p.setPen(QPen(QColor(255, 255, 255, qRound(0.18 * 255)), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(bounds.adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius, cornerRadius);
}

void QuickAccessView::enterEvent(QEnterEvent*)
{
    setHovering(true);
}

void QuickAccessView::leaveEvent(QEvent*)
{
    setHovering(false);
}

void QuickAccessView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_mouseDownPoint = event->position();
    if (m_panel)
        m_panel->activateWindow(); // the key window gets the shortcuts
}

void QuickAccessView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_mouseDownPoint.reset();
    if (m_panel)
        m_panel->annotateAction();
}

void QuickAccessView::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_mouseDownPoint || !(event->buttons() & Qt::LeftButton))
        return;
    const QPointF travel = event->position() - *m_mouseDownPoint;
    if (std::hypot(travel.x(), travel.y()) <= dragThreshold)
        return;
    m_mouseDownPoint.reset();
    startFileDrag();
}

void QuickAccessView::mouseReleaseEvent(QMouseEvent*)
{
    m_mouseDownPoint.reset();
}

void QuickAccessView::wheelEvent(QWheelEvent* event)
{
    if (event->phase() == Qt::ScrollBegin)
        m_swipeAccum = 0;
    // Touchpads report points; wheels report eighths of a degree (15° a notch).
    const double dx = !event->pixelDelta().isNull() ? event->pixelDelta().x() : event->angleDelta().x() / 8.0;
    m_swipeAccum += dx;
    if (std::abs(m_swipeAccum) > swipeDistance) {
        m_swipeAccum = 0;
        if (m_panel)
            m_panel->closeAction();
    }
}

QPixmap QuickAccessView::dragPixmap() const
{
    const QSizeF points = m_picture.deviceIndependentSize();
    const qreal w = std::min<qreal>(width(), dragWidth);
    const qreal h = points.width() > 0 ? w * points.height() / points.width() : w;
    const qreal dpr = devicePixelRatioF();
    const QSize pixels = QSizeF(w * dpr, h * dpr).toSize().expandedTo(QSize(1, 1));
    QPixmap pixmap = m_picture.isNull()
        ? QPixmap(pixels)
        : QPixmap::fromImage(m_picture.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    if (m_picture.isNull())
        pixmap.fill(Qt::transparent);
    pixmap.setDevicePixelRatio(dpr);
    return pixmap;
}

void QuickAccessView::startFileDrag()
{
    // Without a file on disk there is nothing to hand over; the thumbnail stays.
    const std::optional<QUrl> url = m_item->shareableFileURL();
    if (!url)
        return;
    auto* mime = new QMimeData;
    mime->setUrls({*url});
    QPointer<QuickAccessView> self(this);
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    const QPixmap pixmap = dragPixmap();
    drag->setPixmap(pixmap);
    const QSizeF points = pixmap.deviceIndependentSize();
    drag->setHotSpot(QPoint(qRound(points.width() / 2), qRound(points.height() / 2))); // centred on the pointer
    m_dragging = true;
    const Qt::DropAction result = drag->exec(Qt::CopyAction);
    if (!self)
        return;
    m_dragging = false;
    if (result != Qt::IgnoreAction && m_panel)
        m_panel->closeAction();
}

} // namespace vantrel
