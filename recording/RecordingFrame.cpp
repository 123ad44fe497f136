// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordingFrame.h"

#include "ChromeWindow.h"
#include "RecordingGeometry.h"

#include <QPainter>
#include <QRegion>
#include <QScreen>

namespace vantrel {

namespace {

constexpr double lineWidth = 2.0;
constexpr double cornerRadius = 2.0;

} // namespace

RecordingFrame::RecordingFrame(QScreen* screen, const QRectF& area)
    : QWidget(nullptr,
        Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::X11BypassWindowManagerHint
            | Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    markAsChrome(this);
    if (screen)
        setScreen(screen);
    const QRect frame
        = recordinggeometry::frameRect(screen ? QRectF(screen->geometry()) : QRectF(), area).toAlignedRect();
    setGeometry(frame);
    // The ring alone: a line of 2 points 3 points out leaves a point of air around the area.
    const int line = int(lineWidth);
    setMask(QRegion(rect()).subtracted(QRegion(rect().adjusted(line, line, -line, -line))));
}

void RecordingFrame::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor red(255, 59, 48);
    red.setAlphaF(0.85);
    painter.setPen(QPen(red, lineWidth));
    painter.setBrush(Qt::NoBrush);
    const double half = lineWidth / 2;
    painter.drawRoundedRect(QRectF(rect()).adjusted(half, half, -half, -half), cornerRadius, cornerRadius);
}

} // namespace vantrel
