// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ScreenGrabber.h"

#include <QDBusConnection>
#include <QObject>
#include <QRect>

#include <functional>
#include <memory>

namespace vantrel {

namespace wayland {
class WlrScreencopy;
}

// A Wayland desktop's pixels. Where the compositor offers wlroots' screencopy, each output is
// read directly; otherwise the screenshot portal gives the whole desktop in one picture, which
// is cut into outputs by their geometry and scale. Wayland tells clients nothing about other
// windows: there is no window list, and a single window comes from the portal's own picker
// where the desktop has one.
class WaylandScreenGrabber : public ScreenGrabber
{
public:
    enum class Source {
        automatic, // screencopy where offered, else the portal
        portal, // always the portal (benchmarks compare the two)
    };
    explicit WaylandScreenGrabber(QDBusConnection bus, Source source = Source::automatic);
    ~WaylandScreenGrabber() override;

    std::optional<quint32> displayID(const QScreen* screen) override;
    Expected<QImage> grabScreen(const QScreen* screen, const QRect& nativeRect) override;
    std::vector<WindowInfo> windowsFrontToBack() override { return {}; }
    Expected<QImage> grabWindow(quint32 windowId) override;

    bool usesScreencopy() const { return m_screencopy != nullptr; }
    // Whether the desktop's portal lets the user pick a window for a screenshot.
    bool offersWindowPicker() const;

    // A stable display id: the output's name hashed, never 0.
    static quint32 displayIDForName(const QString& outputName);
    // Cuts the desktop picture (the union of `layout`, logical pixels, drawn at any scale) into
    // the part one output shows, in that output's native pixels (`logical` × `scale`).
    static QImage cutOutput(const QImage& desktop, const QRect& layout, const QRect& logical, double scale);

private:
    Expected<QImage> outputPicture(const QScreen* screen);
    Expected<QImage> desktopPicture();

    QDBusConnection m_bus;
    std::unique_ptr<wayland::WlrScreencopy> m_screencopy;
    // The portal's picture serves every screen of one capture, until the event loop runs again.
    std::optional<QImage> m_desktop;
    // Forgets m_desktop once the event loop turns; it goes with the grabber, so a grabber that
    // is gone by then is never touched.
    std::unique_ptr<QObject> m_forgetDesktop = std::make_unique<QObject>();
};

} // namespace vantrel
