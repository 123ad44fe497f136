// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QImage>
#include <QObject>
#include <QString>

#include <optional>

class QScreen;

namespace vantrel {

// What a desktop's own settings say it shows: a picture file and a plain colour.
struct DesktopAppearanceConfig
{
    std::optional<QString> picture; // a local path
    std::optional<QColor> colour;
};

// What the desktop shows behind its windows, and whether the user asked for less motion.
class DesktopAppearance
{
public:
    virtual ~DesktopAppearance() = default;
    // The wallpaper of `screen`: as it lies on the screen in native pixels when the root window
    // holds it, else the desktop's configured picture (to be scaled to fill); none when unknown.
    virtual std::optional<QImage> wallpaper(const QScreen* screen) = 0;
    // The desktop's plain colour on `screen`: the configured one, else the root window's own.
    virtual std::optional<QColor> backgroundColor(const QScreen* screen) = 0;
    // The desktop's "animations off" setting.
    virtual bool reduceMotion() = 0;
};

// On X11: the root window's background pixmap (_XROOTPMAP_ID, as set by wallpaper setters and
// most desktops); GNOME's background picture, colour and animation setting through gsettings
// (asked once, in the background, when the object is made); Plasma's and Xfce's desktop
// picture and colour, KDE's animation speed and GTK's gtk-enable-animations from their
// configuration files; else the colour the root window shows where no window covers it
// (`xsetroot -solid`). Main thread only.
class X11DesktopAppearance : public DesktopAppearance
{
public:
    X11DesktopAppearance();
    ~X11DesktopAppearance() override;

    std::optional<QImage> wallpaper(const QScreen* screen) override;
    std::optional<QColor> backgroundColor(const QScreen* screen) override;
    bool reduceMotion() override;

    // Plasma's, else Xfce's, desktop picture and colour from their files under `configHome`.
    static DesktopAppearanceConfig configuredBackground(const QString& configHome);
    // The files' verdict alone (tests point XDG_CONFIG_HOME at their own folder).
    static bool reduceMotionFromConfigFiles(const QString& configHome);

private:
    void askGnome();
    std::optional<QImage> rootPixmapImage(const QScreen* screen);
    DesktopAppearanceConfig configured() const;

    QObject m_context; // owns the gsettings processes while they run
    std::optional<QColor> m_gnomeColor;
    std::optional<QString> m_gnomePicture;
    bool m_gnomeAnimationsOff = false;
};

} // namespace vantrel
