// SPDX-License-Identifier: GPL-3.0-or-later
#include "ToastService.h"

#include "ChromeWindow.h"
#include "SymbolIcons.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QScreen>
#include <QTimer>

#include <cmath>

namespace vantrel {

namespace {

constexpr int symbolSize = 16;
constexpr int spacing = 8;

QScreen* screenUnderMouse()
{
    const QPoint cursor = QCursor::pos();
    for (QScreen* screen : QGuiApplication::screens()) {
        if (screen->geometry().contains(cursor))
            return screen;
    }
    if (QScreen* primary = QGuiApplication::primaryScreen())
        return primary;
    const auto screens = QGuiApplication::screens();
    return screens.isEmpty() ? nullptr : screens.first();
}

} // namespace

ToastPanel::ToastPanel(const ToastRequest& request)
    : QWidget(nullptr,
        Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus
            | Qt::WindowTransparentForInput | Qt::X11BypassWindowManagerHint)
    , m_request(request)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_DeleteOnClose);
    setFocusPolicy(Qt::NoFocus);
    markAsChrome(this);

    m_font = font();
    m_font.setPixelSize(request.large ? 64 : 14);
    m_font.setWeight(request.large ? QFont::Bold : QFont::Medium);
    const QFontMetrics metrics(m_font);

    const QMargins insets = request.large ? QMargins(36, 20, 36, 20) : QMargins(16, 10, 16, 10);
    const bool hasLeading = !request.large;
    const int leadingWidth = hasLeading ? symbolSize + spacing : 0;
    const int textHeight = metrics.height();
    const int contentHeight = std::max(textHeight, hasLeading ? symbolSize : 0);

    // The fitting width, capped; only a text that does not fit is cut, at its tail.
    const int fittingWidth
        = insets.left() + leadingWidth + metrics.horizontalAdvance(request.text) + 1 + insets.right();
    const int width = std::min(fittingWidth, ToastService::maximumWidth);
    const int textWidth = width - insets.left() - leadingWidth - insets.right();
    m_displayedText = fittingWidth <= ToastService::maximumWidth
        ? request.text
        : metrics.elidedText(request.text, Qt::ElideRight, textWidth);
    const int height = insets.top() + contentHeight + insets.bottom();
    resize(width, height);

    if (hasLeading) {
        m_leadingRect = QRect(insets.left(), insets.top() + (contentHeight - symbolSize) / 2, symbolSize, symbolSize);
        if (!request.spinner)
            m_symbol = tintedSymbol(request.symbol, symbolSize, Qt::white, devicePixelRatioF());
    }
    m_textRect
        = QRect(insets.left() + leadingWidth, insets.top() + (contentHeight - textHeight) / 2, textWidth, textHeight);

    if (request.spinner) {
        m_spinnerTimer = new QTimer(this);
        m_spinnerTimer->setInterval(80);
        connect(m_spinnerTimer, &QTimer::timeout, this, &ToastPanel::advanceSpinner);
        m_spinnerTimer->start();
    }

    if (!desktopIsCompositing()) {
        QPainterPath shape;
        shape.addRoundedRect(rect(), cornerRadius(), cornerRadius());
        setMask(QRegion(shape.toFillPolygon().toPolygon()));
    }
}

qreal ToastPanel::cornerRadius() const
{
    return m_request.large ? 24.0 : height() / 2.0;
}

void ToastPanel::advanceSpinner()
{
    m_spinnerStep = (m_spinnerStep + 1) % 12;
    update(m_leadingRect);
}

void ToastPanel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(28, 28, 30, 224));
    p.drawRoundedRect(QRectF(rect()), cornerRadius(), cornerRadius());

    if (m_request.spinner) {
        // Twelve spokes, the brightest one turning.
        const QPointF centre = QRectF(m_leadingRect).center();
        for (int i = 0; i < 12; ++i) {
            const int age = (m_spinnerStep - i + 12) % 12;
            QColor spoke(Qt::white);
            spoke.setAlphaF(1.0 - age / 13.0);
            p.setPen(QPen(spoke, 1.6, Qt::SolidLine, Qt::RoundCap));
            const qreal angle = i * M_PI / 6.0;
            const QPointF dir(std::sin(angle), -std::cos(angle));
            p.drawLine(centre + dir * 3.5, centre + dir * 7.5);
        }
    } else if (!m_symbol.isNull()) {
        p.drawPixmap(m_leadingRect.topLeft(), m_symbol);
    }

    p.setPen(Qt::white);
    p.setFont(m_font);
    p.drawText(m_textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_displayedText);
}

void ToastPanel::fadeOut()
{
    auto* fade = new QPropertyAnimation(this, "windowOpacity", this);
    fade->setDuration(250);
    fade->setEndValue(0.0);
    connect(fade, &QPropertyAnimation::finished, this, [this] {
        hide();
        Q_EMIT hidden();
        close();
    });
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}

ToastService::ToastService(QObject* parent)
    : QObject(parent)
    , m_hideTimer(new QTimer(this))
{
    m_hideTimer->setSingleShot(true);
    connect(m_hideTimer, &QTimer::timeout, this, [this] {
        if (ToastPanel* panel = m_current.data()) {
            connect(panel, &ToastPanel::hidden, this, [this, panel] {
                if (m_current == panel)
                    m_current.clear();
            });
            panel->fadeOut();
        }
    });
}

ToastService::~ToastService()
{
    delete m_current.data();
}

void ToastService::dismiss()
{
    m_hideTimer->stop();
    if (ToastPanel* old = m_current.data()) {
        old->hide();
        old->deleteLater();
    }
    m_current.clear();
}

void ToastService::show(const ToastRequest& request)
{
    // The old toast goes at once, and with it any hide still pending for it.
    dismiss();

    auto* panel = new ToastPanel(request);
    if (QScreen* screen = screenUnderMouse()) {
        const QRect frame = screen->geometry();
        const int left = frame.x() + (frame.width() - panel->width()) / 2;
        const int top = request.large ? frame.y() + (frame.height() - panel->height()) / 2
                                      : frame.y() + frame.height() - bottomOffset - panel->height();
        panel->move(left, top);
    }
    panel->setWindowOpacity(0.0);
    panel->show();
    auto* fadeIn = new QPropertyAnimation(panel, "windowOpacity", panel);
    fadeIn->setDuration(150);
    fadeIn->setEndValue(1.0);
    fadeIn->start(QAbstractAnimation::DeleteWhenStopped);
    m_current = panel;

    m_hideTimer->start(static_cast<int>(std::lround(std::max(0.0, request.duration) * 1000.0)));
}

} // namespace vantrel
