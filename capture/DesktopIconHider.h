// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <optional>
#include <vector>

class QScreen;

namespace vantrel {

// One screen's cover: the wallpaper (or the desktop's colour) just above the desktop and below
// every window, so screenshots show a clean desktop. Clicks pass through to the desktop.
class DesktopCover : public QWidget
{
    Q_OBJECT
public:
    explicit DesktopCover(QScreen* screen);
    bool showsWallpaper() const { return m_wallpaper.has_value(); }
    QColor fillColor() const { return m_fill; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::optional<QImage> m_wallpaper;
    QColor m_fill;
};

// Hides the desktop's icons while `hideDesktopIcons` is on: one cover per screen, rebuilt on
// every apply (screens added later are covered at the next apply).
class DesktopIconHider
{
public:
    static DesktopIconHider& shared();
    ~DesktopIconHider();

    void apply();
    // Takes the covers away at once (when quitting, while the application object still exists).
    void removeCovers();
    std::vector<DesktopCover*> windows() const;

private:
    std::vector<QPointer<DesktopCover>> m_windows;
};

} // namespace vantrel
