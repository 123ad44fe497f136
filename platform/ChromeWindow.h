// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>

class QWidget;

namespace vantrel {

// Vantrel's own transient windows (overlays, toasts, thumbnails, recording frames) carry this
// identifier, both as a Qt property and as the X11 WM_WINDOW_ROLE, so that captures and the
// window list can leave them out.
inline constexpr char chromeIdentifier[] = "vantrel.capture-chrome";

void markAsChrome(QWidget* window);
bool isChrome(const QWidget* window);
// Every visible top-level widget of this process marked as chrome.
QList<QWidget*> chromeWindows();

} // namespace vantrel

namespace vantrel {

// Whether a compositing manager blends translucent windows. Without one, rounded chrome needs
// a window shape, or its corners show black.
bool desktopIsCompositing();
// Whether a translucent window covering a whole screen shows the screen beneath it. On X11 a
// compositing manager must blend it; a Wayland compositor draws nothing beneath a full-screen
// window (the selection overlay is one there), so the screen would show black.
bool fullScreenTranslucencyShowsDesktop();

} // namespace vantrel
