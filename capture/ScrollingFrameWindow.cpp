// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScrollingFrameWindow.h"

#include "ChromeWindow.h"
#include "ScrollingCaptureLayout.h"

#include <QPainter>
#include <QPalette>

namespace vantrel {

QColor ScrollingFrameWindow::accentColour()
{
    // The desktop's selection colour is the nearest thing X11 desktops have to an accent.
    return QPalette().color(QPalette::Active, QPalette::Highlight);
}

ScrollingFrameWindow::ScrollingFrameWindow(const QRect& captured)
    : QWidget(nullptr,
        Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowTransparentForInput
            | Qt::WindowDoesNotAcceptFocus | Qt::X11BypassWindowManagerHint)
{
    setWindowTitle(QStringLiteral("Vantrel Scrolling Frame"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    markAsChrome(this);
    const int outset = ScrollingCaptureLayout::ringOutset;
    setGeometry(captured.adjusted(-outset, -outset, outset, outset));
    // Only the ring is window; inside it the captured pixels show through untouched, with a
    // point of the screen between them and the ring.
    const int ring = ScrollingCaptureLayout::ringWidth;
    setMask(QRegion(rect()).subtracted(QRegion(rect().adjusted(ring, ring, -ring, -ring))));
}

void ScrollingFrameWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), accentColour());
}

} // namespace vantrel
