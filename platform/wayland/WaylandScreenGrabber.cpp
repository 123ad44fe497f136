// SPDX-License-Identifier: GPL-3.0-or-later
#include "wayland/WaylandScreenGrabber.h"

#include "portal/PortalRequest.h"
#include "wayland/WlrScreencopy.h"

#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include <cmath>

namespace vantrel {

namespace {

// The user may be answering a permission question.
constexpr int portalTimeoutMs = 60000;

Error grabError(const QString& description)
{
    return Error {.domain = QStringLiteral("Wayland"), .description = description};
}

QRect desktopLayout()
{
    QRect layout;
    for (const QScreen* screen : QGuiApplication::screens())
        layout |= screen->geometry();
    return layout;
}

// Reads the picture the portal wrote and removes the file: Vantrel did not ask to keep it (some
// desktops save it in the user's pictures), and it may hold secrets.
Expected<QImage> takePicture(const QVariantMap& results)
{
    const QUrl uri(results.value(QStringLiteral("uri")).toString());
    if (!uri.isLocalFile())
        return grabError(QStringLiteral("The screenshot portal returned no file"));
    const QString path = uri.toLocalFile();
    QImageReader reader(path);
    QImage image = reader.read();
    QFile::remove(path);
    if (image.isNull())
        return grabError(QStringLiteral("The screenshot portal's picture is unreadable: %1").arg(reader.errorString()));
    return image.convertToFormat(QImage::Format_RGB32);
}

Expected<QImage> portalScreenshot(const QDBusConnection& bus, bool interactive)
{
    QVariantMap options {{QStringLiteral("modal"), true}, {QStringLiteral("interactive"), interactive}};
    Expected<portal::Response> response = portal::callAndWait(bus, QStringLiteral("org.freedesktop.portal.Screenshot"),
        QStringLiteral("Screenshot"), {QString(), options}, portalTimeoutMs);
    if (!response)
        return response.error();
    if (response->code == 1)
        return grabError(QStringLiteral("The screenshot was cancelled"));
    if (response->code != 0)
        return grabError(QStringLiteral("The desktop refused the screenshot"));
    return takePicture(response->results);
}

} // namespace

WaylandScreenGrabber::WaylandScreenGrabber(QDBusConnection bus, Source source)
    : m_bus(std::move(bus))
{
    if (source == Source::automatic)
        m_screencopy = wayland::WlrScreencopy::connect();
}

WaylandScreenGrabber::~WaylandScreenGrabber() = default;

quint32 WaylandScreenGrabber::displayIDForName(const QString& outputName)
{
    // FNV-1a over the UTF-8 name: the same output keeps its id across starts, as saved
    // per-display selections expect.
    quint32 hash = 2166136261u;
    for (const char byte : outputName.toUtf8()) {
        hash ^= quint8(byte);
        hash *= 16777619u;
    }
    return hash == 0 ? 1 : hash;
}

std::optional<quint32> WaylandScreenGrabber::displayID(const QScreen* screen)
{
    if (!screen || screen->name().isEmpty())
        return std::nullopt;
    return displayIDForName(screen->name());
}

QImage WaylandScreenGrabber::cutOutput(const QImage& desktop, const QRect& layout, const QRect& logical, double scale)
{
    if (desktop.isNull() || layout.isEmpty())
        return {};
    // The portal draws the layout at one scale (the largest output's, usually).
    const double drawn = double(desktop.width()) / layout.width();
    const QRect part(int(std::lround((logical.x() - layout.x()) * drawn)),
        int(std::lround((logical.y() - layout.y()) * drawn)), int(std::lround(logical.width() * drawn)),
        int(std::lround(logical.height() * drawn)));
    QImage cut = desktop.copy(part);
    const QSize native(int(std::lround(logical.width() * scale)), int(std::lround(logical.height() * scale)));
    if (cut.size() != native)
        cut = cut.scaled(native, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return cut;
}

Expected<QImage> WaylandScreenGrabber::desktopPicture()
{
    if (m_desktop)
        return *m_desktop;
    Expected<QImage> picture = portalScreenshot(m_bus, false);
    if (!picture)
        return picture;
    m_desktop = *picture;
    QTimer::singleShot(0, m_forgetDesktop.get(), [this] { m_desktop.reset(); });
    return picture;
}

Expected<QImage> WaylandScreenGrabber::outputPicture(const QScreen* screen)
{
    if (m_screencopy) {
        Expected<QImage> picture = m_screencopy->capture(screen->name());
        if (picture)
            return picture;
    }
    Expected<QImage> desktop = desktopPicture();
    if (!desktop)
        return desktop;
    return cutOutput(*desktop, desktopLayout(), screen->geometry(), screen->devicePixelRatio());
}

Expected<QImage> WaylandScreenGrabber::grabScreen(const QScreen* screen, const QRect& nativeRect)
{
    if (!screen)
        return grabError(QStringLiteral("Display not found"));
    Expected<QImage> picture = outputPicture(screen);
    if (!picture)
        return picture;
    const QRect inside = nativeRect & picture->rect();
    if (inside.isEmpty())
        return grabError(QStringLiteral("The area lies outside the screen"));
    return inside == picture->rect() ? *picture : picture->copy(inside);
}

bool WaylandScreenGrabber::offersWindowPicker() const
{
    // Only GNOME's and KDE's screenshot portals show a dialog in which a window can be picked;
    // wlroots' portal ignores the interactive option.
    const QByteArray desktop = qgetenv("XDG_CURRENT_DESKTOP").toLower();
    const bool pickerDesktop = desktop.contains("gnome") || desktop.contains("kde");
    return pickerDesktop && portal::interfaceVersion(m_bus, QStringLiteral("org.freedesktop.portal.Screenshot"));
}

Expected<QImage> WaylandScreenGrabber::grabWindow(quint32)
{
    // The window id means nothing here: the user picks the window in the portal's dialog.
    return portalScreenshot(m_bus, true);
}

} // namespace vantrel
