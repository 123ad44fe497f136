// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QImage>
#include <QObject>

#include <optional>

class QScreen;

namespace vantrel {

// What the desktop shows behind its windows, and whether the user asked for less motion.
class DesktopAppearance
{
public:
    virtual ~DesktopAppearance() = default;
    // The wallpaper as it lies on `screen`, in the screen's native pixels; none when unknown.
    virtual std::optional<QImage> wallpaper(const QScreen* screen) = 0;
    // The desktop's plain background colour, when it is one.
    virtual std::optional<QColor> backgroundColor() = 0;
    // The desktop's "animations off" setting.
    virtual bool reduceMotion() = 0;
};

// On X11: the root window's background pixmap (_XROOTPMAP_ID, as set by wallpaper setters and
// most desktops); the GNOME background colour and animation setting through gsettings (asked
// once, in the background, when the object is made); KDE's animation speed and GTK's
// gtk-enable-animations from their configuration files. Main thread only.
class X11DesktopAppearance : public DesktopAppearance
{
public:
    X11DesktopAppearance();
    ~X11DesktopAppearance() override;

    std::optional<QImage> wallpaper(const QScreen* screen) override;
    std::optional<QColor> backgroundColor() override;
    bool reduceMotion() override;

    // The files' verdict alone (tests point XDG_CONFIG_HOME at their own folder).
    static bool reduceMotionFromConfigFiles(const QString& configHome);

private:
    void askGnome();

    QObject m_context; // owns the gsettings processes while they run
    std::optional<QColor> m_gnomeColor;
    bool m_gnomeAnimationsOff = false;
};

} // namespace vantrel
