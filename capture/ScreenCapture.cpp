// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScreenCapture.h"

#include "ChromeWindow.h"
#include "Service.h"
#include "WindowShadow.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>

#include <cmath>

namespace vantrel::ScreenCapture {

namespace {

ScreenGrabber* grabber()
{
    return Service<ScreenGrabber>::find();
}

Error displayNotFound()
{
    return Error {.domain = QStringLiteral("Vantrel"),
        .code = 1,
        .description = QCoreApplication::translate("ScreenCapture", "Display not found")};
}

Error unavailable()
{
    return Error {.domain = QStringLiteral("Vantrel"),
        .code = 2,
        .description = QCoreApplication::translate("ScreenCapture", "Screen capture is not available")};
}

// When the windowing system names no display, screens are numbered from 1 in screen order.
quint32 fallbackID(const QScreen* screen)
{
    const auto screens = QGuiApplication::screens();
    return quint32(screens.indexOf(const_cast<QScreen*>(screen)) + 1);
}

std::optional<quint32> knownID(const QScreen* screen)
{
    ScreenGrabber* source = grabber();
    return source && screen ? source->displayID(screen) : std::nullopt;
}

// Points to pixels: the origin floors, the size truncates, so 100.3 points at scale 2 give 200.
QRect toPixels(const QRectF& points, qreal scale)
{
    const int width = std::max(0, int(points.width() * scale));
    const int height = std::max(0, int(points.height() * scale));
    return QRect(int(std::floor(points.x() * scale)), int(std::floor(points.y() * scale)), width, height);
}

} // namespace

QScreen* screenUnderMouse()
{
    const QPoint mouse = QCursor::pos();
    const auto screens = QGuiApplication::screens();
    for (QScreen* screen : screens) {
        if (screen->geometry().contains(mouse))
            return screen;
    }
    if (QScreen* primary = QGuiApplication::primaryScreen())
        return primary;
    return screens.isEmpty() ? nullptr : screens.first();
}

quint32 displayID(const QScreen* screen)
{
    if (auto id = knownID(screen))
        return *id;
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (auto id = knownID(primary))
        return *id;
    return fallbackID(primary ? primary : screen);
}

QScreen* screenForDisplay(quint32 id)
{
    const auto screens = QGuiApplication::screens();
    for (QScreen* screen : screens) {
        if (knownID(screen) == id)
            return screen;
    }
    // Screens without an id of their own answer with the primary screen's.
    QScreen* primary = QGuiApplication::primaryScreen();
    if (primary && displayID(primary) == id)
        return primary;
    return nullptr;
}

Expected<Capture> captureDisplay(quint32 id, std::optional<QRectF> rect, QImage recycled)
{
    QScreen* screen = screenForDisplay(id);
    if (!screen)
        return displayNotFound();
    ScreenGrabber* source = grabber();
    if (!source)
        return unavailable();
    const qreal scale = screen->devicePixelRatio();
    const QRectF area = rect.value_or(QRectF(QPointF(0, 0), QSizeF(screen->geometry().size())));
    const QRect pixels = toPixels(area, scale);
    if (pixels.isEmpty())
        return Error {.domain = QStringLiteral("Vantrel"),
            .code = 3,
            .description = QCoreApplication::translate("ScreenCapture", "The capture area is empty")};
    Expected<QImage> image = source->grabScreenInto(screen, pixels, std::move(recycled));
    if (!image)
        return image.error();
    return Capture {.image = std::move(*image), .scale = scale, .kind = CaptureKind::screenshot};
}

std::map<quint32, Capture> captureAllDisplays()
{
    std::map<quint32, Capture> result;
    // Each grab runs the event loop: a screen unplugged meanwhile is gone from the list.
    std::vector<QPointer<QScreen>> screens;
    for (QScreen* screen : QGuiApplication::screens())
        screens.emplace_back(screen);
    for (const QPointer<QScreen>& screen : screens) {
        if (!screen)
            continue;
        const quint32 id = displayID(screen);
        if (result.count(id))
            continue;
        if (Expected<Capture> capture = captureDisplay(id))
            result.emplace(id, std::move(*capture));
    }
    return result;
}

std::vector<WindowInfo> selectableWindows()
{
    ScreenGrabber* source = grabber();
    if (!source)
        return {};
    const std::set<quint32> chrome = chromeWindowIDs();
    std::vector<WindowInfo> result;
    // The grabber lists windows front to back already; filtering keeps that order.
    for (WindowInfo& window : source->windowsFrontToBack()) {
        if (window.onScreen && window.layer == 0 && window.frame.width() > 40 && window.frame.height() > 40
            && !chrome.count(window.id))
            result.push_back(std::move(window));
    }
    return result;
}

Expected<Capture> captureWindow(const WindowInfo& window, bool withShadow)
{
    ScreenGrabber* source = grabber();
    if (!source)
        return unavailable();
    Expected<QImage> image = source->grabWindow(window.id);
    if (!image)
        return image.error();
    QScreen* screen = QGuiApplication::screenAt(window.frame.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const qreal scale = screen ? screen->devicePixelRatio() : 1.0;
    QImage picture = image->convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (withShadow)
        picture = addWindowShadow(picture, scale);
    return Capture {.image = std::move(picture), .scale = scale, .kind = CaptureKind::window};
}

std::set<quint32> chromeWindowIDs()
{
    std::set<quint32> ids;
    for (QWidget* widget : chromeWindows()) {
        if (widget->testAttribute(Qt::WA_WState_Created))
            ids.insert(quint32(widget->winId()));
    }
    return ids;
}

} // namespace vantrel::ScreenCapture
