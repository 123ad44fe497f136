// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeystrokeOverlay.h"

#include "ChromeWindow.h"
#include "KeyMonitor.h"
#include "OverlayGeometry.h"
#include "Service.h"
#include "SystemLog.h"
#include "Toasts.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QWidget>

#include <chrono>
#include <cmath>

namespace vantrel {

namespace {

constexpr double cornerRadius = 12.0;
constexpr int fontPixels = 26;
constexpr int fadeFrameMs = 16;

qint64 steadyMilliseconds()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

// The panel: a dark rounded label with the key in large white letters, drawn at the overlay's
// opacity. It takes no input and no focus, and it carries no chrome mark: recordings show it.
class KeystrokePanel : public QWidget
{
public:
    explicit KeystrokePanel(KeystrokeOverlay& overlay)
        : QWidget(nullptr,
            Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::X11BypassWindowManagerHint
                | Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus)
        , m_overlay(overlay)
    {
        setAttribute(Qt::WA_TranslucentBackground);
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        setWindowTitle(QStringLiteral("Vantrel keystrokes"));
    }

    void place(const QRect& geometry)
    {
        setGeometry(geometry);
        if (!desktopIsCompositing()) {
            // Without a compositor the corners would show black.
            QPainterPath shape;
            shape.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
            setMask(QRegion(shape.toFillPolygon().toPolygon()));
        }
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        const double opacity = m_overlay.opacity();
        if (opacity <= 0)
            return;
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setOpacity(opacity);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 191));
        painter.drawRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
        QFont font = this->font();
        font.setPixelSize(fontPixels);
        font.setWeight(QFont::DemiBold);
        // A long chord ("Ctrl+Alt+Shift+Super+Scroll Lock") shrinks to fit rather than losing its ends.
        const QString text = m_overlay.text();
        const double room = width() - 2 * cornerRadius;
        const double wide = QFontMetricsF(font).horizontalAdvance(text);
        if (wide > room)
            font.setPixelSize(std::max(10, int(std::floor(fontPixels * room / wide))));
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(rect(), Qt::AlignCenter, text);
    }

private:
    KeystrokeOverlay& m_overlay;
};

KeystrokeOverlay& KeystrokeOverlay::shared()
{
    static KeystrokeOverlay* instance = new KeystrokeOverlay;
    return *instance;
}

KeystrokeOverlay::KeystrokeOverlay()
    : m_clock(steadyMilliseconds)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &KeystrokeOverlay::refresh);
}

void KeystrokeOverlay::setClock(Clock clock)
{
    m_clock = clock ? std::move(clock) : Clock(steadyMilliseconds);
}

qint64 KeystrokeOverlay::now() const
{
    return m_clock();
}

QWidget* KeystrokeOverlay::window() const
{
    return m_panel;
}

double KeystrokeOverlay::opacity() const
{
    if (!m_lastKey)
        return 0.0;
    return overlaygeometry::keystrokeOpacity(double(now() - *m_lastKey) / 1000.0);
}

void KeystrokeOverlay::start(QScreen* screen, const QRectF& area)
{
    stop();
    KeyMonitor* monitor = Service<KeyMonitor>::find();
    std::optional<Error> refused = monitor
        ? std::nullopt
        : std::optional<Error>(Error {.description = QStringLiteral("no key monitor is installed")});
    if (monitor) {
        QPointer<KeystrokeOverlay> self(this);
        refused = monitor->start([self](const KeyPress& press) {
            if (self && self->m_running)
                self->show(press);
        });
    }
    if (refused) {
        systemLog(QStringLiteral("Vantrel: keystrokes cannot be shown: ") + refused->description);
        showToast({.text = tr("Keystrokes cannot be shown on this desktop"),
            .symbol = QStringLiteral("keyboard"),
            .duration = 3.0});
        return;
    }
    m_running = true;
    m_panel = new KeystrokePanel(*this);
    if (screen)
        m_panel->setScreen(screen);
    const QRectF screenRect = screen ? QRectF(screen->geometry()) : QRectF();
    m_panel->place(overlaygeometry::keystrokePanelRect(screenRect, area).toRect());
}

void KeystrokeOverlay::stop()
{
    if (m_running) {
        if (KeyMonitor* monitor = Service<KeyMonitor>::find())
            monitor->stop();
    }
    m_running = false;
    m_timer.stop();
    m_lastKey.reset();
    m_text.clear();
    if (m_panel) {
        m_panel->hide();
        m_panel->deleteLater();
    }
    m_panel = nullptr;
}

void KeystrokeOverlay::show(const KeyPress& press)
{
    if (!m_running || !m_panel)
        return;
    m_text = overlaygeometry::keystrokeText(press);
    m_lastKey = now();
    // Shown only while there is a key to show, so no empty window sits over the recording.
    if (!m_panel->isVisible())
        m_panel->show();
    m_panel->raise();
    m_panel->update();
    m_timer.start(int(overlaygeometry::keystrokeHold * 1000));
    Q_EMIT keyShown(m_text);
}

void KeystrokeOverlay::refresh()
{
    if (!m_panel || !m_lastKey)
        return;
    const double elapsed = double(now() - *m_lastKey) / 1000.0;
    const double opacity = overlaygeometry::keystrokeOpacity(elapsed);
    m_panel->update();
    if (opacity >= 1.0) {
        // A clock that is behind the timer: wait for the rest of the hold.
        m_timer.start(std::max(1, int(std::ceil((overlaygeometry::keystrokeHold - elapsed) * 1000))));
        return;
    }
    if (opacity > 0.0) {
        m_timer.start(fadeFrameMs);
        return;
    }
    m_lastKey.reset();
    m_panel->hide();
    Q_EMIT faded();
}

} // namespace vantrel
