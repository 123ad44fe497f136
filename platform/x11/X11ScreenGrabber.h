// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ScreenGrabber.h"

#include <memory>

namespace vantrel {

namespace x11 {
class ShmImageReader;
}

// Screens through RandR monitors and XShm grabs of the root window, windows through the EWMH
// stacking list and XComposite pixmaps of their frames. Runs on the main thread over Qt's own
// connection; without an X server every grab fails with an error and the window list is empty.
class X11ScreenGrabber : public ScreenGrabber
{
public:
    X11ScreenGrabber();
    ~X11ScreenGrabber() override;

    std::optional<quint32> displayID(const QScreen* screen) override;
    Expected<QImage> grabScreen(const QScreen* screen, const QRect& nativeRect) override;
    Expected<QImage> grabScreenInto(const QScreen* screen, const QRect& nativeRect, QImage recycled) override;
    std::vector<WindowInfo> windowsFrontToBack() override;
    Expected<QImage> grabWindow(quint32 windowId) override;

    // The screen's rectangle in the X server's pixels (root window coordinates).
    std::optional<QRect> nativeGeometry(const QScreen* screen);

    // How long windows get to repaint what a withdrawn chrome window covered, or what a
    // redirected window had hidden, before the grab (milliseconds).
    static constexpr int chromeRepaintWait = 60;
    static constexpr int redirectRepaintWait = 120;

private:
    struct Monitor;
    std::vector<Monitor> monitors();
    std::optional<Monitor> monitorFor(const QScreen* screen);
    x11::ShmImageReader* reader();

    std::unique_ptr<x11::ShmImageReader> m_reader;
    bool m_compositeReady = false;
};

} // namespace vantrel
