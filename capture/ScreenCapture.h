// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CaptureKind.h"
#include "Expected.h"
#include "ScreenGrabber.h"

#include <QRectF>

#include <map>
#include <optional>
#include <set>
#include <vector>

class QScreen;

// The only door to the pixels on screen: displays, rectangles of displays and single windows
// become captures with their scale. Synchronous: a grab takes milliseconds.
namespace vantrel::ScreenCapture {

// The screen whose frame holds the pointer; else the primary screen; else the first one.
QScreen* screenUnderMouse();
// The display id of a screen; the primary screen's id when the screen has none.
quint32 displayID(const QScreen* screen);
// The screen with that display id, or none.
QScreen* screenForDisplay(quint32 displayID);

// The whole display, or `rect` (points, relative to the display's top-left, y down). The image
// is points × scale pixels, truncated. Fails with "Display not found" (domain "Vantrel", code 1)
// for an unknown id. A `recycled` picture of the right size that nobody else holds receives the
// pixels instead of a fresh one (continuous captures pass their spare frame).
Expected<Capture> captureDisplay(quint32 displayID, std::optional<QRectF> rect = std::nullopt, QImage recycled = {});
// One capture per screen, in screen order; screens that fail are left out.
std::map<quint32, Capture> captureAllDisplays();
// Windows that window mode offers, front to back.
std::vector<WindowInfo> selectableWindows();
// One window, with Vantrel's own soft shadow in a transparent margin when `withShadow`.
Expected<Capture> captureWindow(const WindowInfo& window, bool withShadow);
// The X11 ids of Vantrel's chrome windows on screen now.
std::set<quint32> chromeWindowIDs();

} // namespace vantrel::ScreenCapture
