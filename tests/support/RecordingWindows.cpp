// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordingWindows.h"

#include "ChromeWindow.h"

#include <QPainter>
#include <QTest>

namespace vantrel::test {

ClockWindow::ClockWindow(const QRect& geometry, Clock::time_point zero)
    : QWidget(
        nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus)
    , m_zero(zero)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setGeometry(geometry);
    connect(&m_timer, &QTimer::timeout, this, [this] { repaint(); });
    m_timer.start(4);
}

std::optional<double> ClockWindow::read(const QImage& picture, const QRect& where)
{
    int value = 0;
    for (int bit = 0; bit < bits; ++bit) {
        const QRect bar = barRect(where.size(), bit).translated(where.topLeft());
        const int grey = qGray(picture.pixel(bar.center()));
        if (grey > 90 && grey < 165)
            return std::nullopt;
        value = value * 2 + (grey >= 128 ? 1 : 0);
    }
    return value * 0.002;
}

void ClockWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const double seconds = std::chrono::duration<double>(Clock::now() - m_zero).count();
    const int value = int(seconds / 0.002) & ((1 << bits) - 1);
    painter.fillRect(rect(), QColor::fromHsv((value * 7) % 360, 200, 200));
    for (int bit = 0; bit < bits; ++bit) {
        const bool one = value & (1 << (bits - 1 - bit));
        painter.fillRect(barRect(size(), bit), one ? Qt::white : Qt::black);
    }
}

QRect ClockWindow::barRect(const QSize& size, int bit)
{
    const int width = size.width() / bits;
    return QRect(bit * width, 0, width, size.height() / 2);
}

PlainWindow::PlainWindow(const QRect& geometry, const QColor& colour, bool chrome, bool managed)
    : QWidget(nullptr,
        managed ? Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                : Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus)
{
    setAutoFillBackground(true);
    QPalette palette;
    palette.setColor(QPalette::Window, colour);
    setPalette(palette);
    setGeometry(geometry);
    if (chrome)
        markAsChrome(this);
}

bool PlainWindow::showAndWait()
{
    show();
    return QTest::qWaitForWindowExposed(this, 5000);
}

NoiseWindow::NoiseWindow(const QRect& geometry)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setGeometry(geometry);
    connect(&m_timer, &QTimer::timeout, this, [this] { repaint(); });
    m_timer.start(10);
}

void NoiseWindow::paintEvent(QPaintEvent*)
{
    QImage noise(size(), QImage::Format_RGB32);
    for (int y = 0; y < noise.height(); ++y) {
        auto* row = reinterpret_cast<quint32*>(noise.scanLine(y));
        for (int x = 0; x < noise.width(); ++x)
            row[x] = m_random();
    }
    QPainter(this).drawImage(0, 0, noise);
}

} // namespace vantrel::test
