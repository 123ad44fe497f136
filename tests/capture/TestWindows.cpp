// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestWindows.h"

#include <QPainter>
#include <QProcess>
#include <QTest>

namespace vantrel::test {

QRgb patternColor(int x, int y)
{
    return qRgb((x * 7 + y) % 256, (y * 5) % 256, ((x / 16) * 37 + (y / 16) * 11) % 256);
}

PatternWindow::PatternWindow(const QRect& geometry, Placement placement, std::optional<QColor> plain)
    : m_plain(plain)
{
    Qt::WindowFlags flags = Qt::Window;
    if (placement == Placement::exact)
        flags |= Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus;
    if (placement == Placement::managedFrameless)
        flags |= Qt::FramelessWindowHint;
    setWindowFlags(flags);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    setGeometry(geometry);
}

bool PatternWindow::showAndWait()
{
    const int before = m_paints;
    show();
    if (!QTest::qWaitForWindowExposed(this, 5000))
        return false;
    if (!QTest::qWaitFor([&] { return m_paints > before; }, 5000))
        return false;
    QTest::qWait(50);
    return true;
}

void PatternWindow::paintEvent(QPaintEvent*)
{
    ++m_paints;
    QPainter painter(this);
    if (m_plain) {
        painter.fillRect(rect(), *m_plain);
        return;
    }
    // Native-resolution picture so that nothing is filtered when drawn.
    const qreal scale = devicePixelRatioF();
    const int s = int(scale);
    QImage picture(width() * s, height() * s, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x)
            row[x] = patternColor(x / s, y / s);
    }
    picture.setDevicePixelRatio(s);
    painter.drawImage(QPoint(0, 0), picture);
}

std::optional<QByteArray> runProcess(const QString& program, const QStringList& arguments, int timeoutMs)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(5000))
        return std::nullopt;
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return process.readAllStandardOutput();
}

} // namespace vantrel::test
