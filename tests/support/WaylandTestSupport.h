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
#include <QTemporaryDir>

#include <memory>
#include <optional>
#include <vector>

class QProcess;

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

// The capture history's pictures, by file name.
QStringList historyPictures();
// Waits until the history holds `count` pictures and returns the one not in `before`, once it
// reads whole; a null image after `timeoutMs`.
QImage waitForNewHistoryPicture(const QStringList& before, int timeoutMs = 10000);

// sway's view of a window, by its title: the rectangle in the layout (logical pixels) of each
// window so titled that is on screen, on any output.
QList<QRect> swayWindows(const QString& title);
// The colour on screen at a point of the layout (logical pixels), read through screencopy: what
// the compositor shows there now, whoever draws it. None when no output holds the point.
std::optional<QRgb> outputPixel(QPoint at);

// sway lists a window before it has taken its place on screen: input reaches the selection
// overlay once the screen shows, dimmed, another colour than `colour` at `at`.
bool overlayIsUp(QPoint at, QRgb colour, int timeoutMs = 10000);

// Runs `swaymsg` with `arguments`; its output, none when it failed.
std::optional<QByteArray> swaymsg(const QStringList& arguments);

// The screenshot portal of a wlroots desktop on the test's private bus: xdg-desktop-portal with
// the wlroots backend (which draws the picture with grim into the fixed file /tmp/out.png, so
// a test using it holds a ctest RESOURCE_LOCK), a PipeWire daemon unless one runs (the backend
// does not start without), and an access dialog that always allows. Ended with the object.
class ScreenshotPortal
{
public:
    ScreenshotPortal();
    ~ScreenshotPortal();
    ScreenshotPortal(const ScreenshotPortal&) = delete;
    ScreenshotPortal& operator=(const ScreenshotPortal&) = delete;

    // Whether org.freedesktop.portal.Screenshot answers on the bus; `why` says what is missing.
    bool ready() const { return m_ready; }
    QString why() const { return m_why; }

private:
    QProcess* start(const QString& program, const QStringList& arguments);
    bool start();

    QTemporaryDir m_portals;
    std::vector<std::unique_ptr<QProcess>> m_processes;
    bool m_ready = false;
    QString m_why;
};

} // namespace vantrel::test
