// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>
#include <QRasterWindow>
#include <QRect>
#include <QString>
#include <QStringList>

#include <optional>

// What the tests in a headless sway session (tests/harness/with-wayland.sh) share: windows of
// one colour, the desktop as sway describes it, Vantrel's settings and history files.
namespace vantrel::test {

// A window painted in one colour, placed by the compositor (a Wayland client places nothing).
class SolidWindow : public QRasterWindow
{
public:
    SolidWindow(QColor colour, const QString& title);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QColor m_colour;
};

// The number of pixels of exactly `colour` (alpha ignored).
int pixelsOf(const QImage& image, QRgb colour);

// Vantrel's settings file before it starts: `json` in its typed form, e.g.
// {"playSound":{"bool":false}}. The first-run window is always left out.
bool writeVantrelSettings(const QByteArray& json);
// The capture history's pictures, by file name.
QStringList historyPictures();
// Waits until the history holds `count` pictures and returns the one not in `before`, once it
// reads whole; a null image after `timeoutMs`.
QImage waitForNewHistoryPicture(const QStringList& before, int timeoutMs = 10000);

// sway's view of a window, by its title: the rectangle in the layout (logical pixels) of each
// window so titled that is on screen, on any output.
QList<QRect> swayWindows(const QString& title);
// Runs `swaymsg` with `arguments`; its output, none when it failed.
std::optional<QByteArray> swaymsg(const QStringList& arguments);

} // namespace vantrel::test
