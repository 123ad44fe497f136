// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QScreen;
class QWidget;

namespace vantrel {

// Thumbnails and pins float: above ordinary windows, and on every workspace so that switching
// desktops does not leave them behind. Call it on a top-level window before its first show; a
// window already on screen is asked for the same through the window manager. On X11 these are
// the EWMH states _NET_WM_STATE_ABOVE and _NET_WM_STATE_STICKY and desktop 0xFFFFFFFF; without
// an X server only Qt's stays-on-top flag is set.
void keepAboveOnEveryWorkspace(QWidget* window);

// The desktop icon covers: below every ordinary window, above the desktop, on every workspace,
// out of task lists (_NET_WM_STATE_BELOW, STICKY, SKIP_TASKBAR, SKIP_PAGER). Before first show.
void keepBelowWindowsOnEveryWorkspace(QWidget* window);

// A borderless window over the whole of one screen (the selection overlay). On X11 the window
// is placed there itself; a Wayland client places nothing, so it asks the compositor to show it
// full screen on that screen's output. Before the window's show.
void coverScreen(QWidget* window, QScreen* screen);

} // namespace vantrel
