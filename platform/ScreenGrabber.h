// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Expected.h"

#include <QImage>
#include <QRect>
#include <QString>

#include <optional>
#include <vector>

class QScreen;

namespace vantrel {

// A top-level window as the window manager knows it.
struct WindowInfo
{
    quint32 id = 0; // the client window
    QRect frame; // points, Qt's global coordinates (y down), decorations included
    QRect nativeFrame; // the same frame in the X server's pixels
    int layer = 0; // 0 for normal and dialog windows; docks, desktops, panels and menus are not 0
    bool onScreen = true;
    QString title;
    QString applicationName;
};

// The windowing system's pixels. Grabs never show Vantrel's chrome windows.
class ScreenGrabber
{
public:
    virtual ~ScreenGrabber() = default;

    // The RandR monitor (or output) id of a screen; none when the server does not say.
    virtual std::optional<quint32> displayID(const QScreen* screen) = 0;
    // A rectangle of a screen in native pixels relative to the screen's top-left corner,
    // opaque (alpha 255).
    virtual Expected<QImage> grabScreen(const QScreen* screen, const QRect& nativeRect) = 0;
    // The same grab, written into `recycled` when that picture has the rectangle's size and no
    // other user, so that a stream of frames cycles through a couple of buffers rather than
    // allocating one per frame. Grabbers that cannot reuse memory ignore it.
    virtual Expected<QImage> grabScreenInto(const QScreen* screen, const QRect& nativeRect, QImage recycled)
    {
        return grabScreen(screen, nativeRect);
    }
    // Every top-level window on the current desktop, front to back.
    virtual std::vector<WindowInfo> windowsFrontToBack() = 0;
    // One window's frame with its alpha, whole even when other windows cover it.
    virtual Expected<QImage> grabWindow(quint32 windowId) = 0;
};

} // namespace vantrel
