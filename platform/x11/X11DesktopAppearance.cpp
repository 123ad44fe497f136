// SPDX-License-Identifier: GPL-3.0-or-later
#include "DesktopAppearance.h"
#include "x11/X11Connection.h"
#include "x11/X11Reply.h"

#include <QFile>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTextStream>

#include <functional>

namespace vantrel {

namespace {

// The pixmap wallpaper setters leave on the root window.
xcb_pixmap_t rootPixmap(xcb_connection_t* c)
{
    for (const char* name : {"_XROOTPMAP_ID", "ESETROOT_PMAP_ID"}) {
        const xcb_atom_t property = x11::atom(name);
        const auto reply = x11::reply(
            xcb_get_property_reply, c, xcb_get_property(c, 0, x11::rootWindow(), property, XCB_ATOM_PIXMAP, 0, 1));
        xcb_pixmap_t pixmap = XCB_NONE;
        if (reply && reply->type == XCB_ATOM_PIXMAP && reply->format == 32
            && xcb_get_property_value_length(reply.get()) >= 4)
            pixmap = *static_cast<xcb_pixmap_t*>(xcb_get_property_value(reply.get()));
        if (pixmap != XCB_NONE)
            return pixmap;
    }
    return XCB_NONE;
}

// A GTK or KDE setting file that switches animations off.
bool fileSaysNoAnimations(const QString& path, const QString& key, const QStringList& offValues)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0 || line.left(equals).trimmed() != key)
            continue;
        if (offValues.contains(line.mid(equals + 1).trimmed(), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

// Asks gsettings without waiting for it; `done` receives its answer on the main thread.
void askGsettings(QObject* context, const QStringList& args, std::function<void(const QString&)> done)
{
    auto* process = new QProcess(context);
    QObject::connect(process, &QProcess::finished, context, [process, done](int exitCode) {
        if (exitCode == 0)
            done(QString::fromUtf8(process->readAllStandardOutput()).trimmed());
        process->deleteLater();
    });
    QObject::connect(process, &QProcess::errorOccurred, context, [process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            process->deleteLater();
    });
    process->start(QStringLiteral("gsettings"), args);
}

} // namespace

X11DesktopAppearance::X11DesktopAppearance()
{
    askGnome();
}

X11DesktopAppearance::~X11DesktopAppearance() = default;

void X11DesktopAppearance::askGnome()
{
    // Only GNOME-like desktops keep these in dconf; elsewhere gsettings may not even exist.
    const QString desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    if (!desktop.contains(QLatin1String("GNOME"), Qt::CaseInsensitive)
        && !desktop.contains(QLatin1String("Unity"), Qt::CaseInsensitive)
        && !desktop.contains(QLatin1String("Budgie"), Qt::CaseInsensitive))
        return;
    // Asked in the background: start-up does not wait for dconf.
    askGsettings(&m_context,
        {QStringLiteral("get"), QStringLiteral("org.gnome.desktop.interface"), QStringLiteral("enable-animations")},
        [this](const QString& answer) { m_gnomeAnimationsOff = answer == QLatin1String("false"); });
    askGsettings(&m_context,
        {QStringLiteral("get"), QStringLiteral("org.gnome.desktop.background"), QStringLiteral("primary-color")},
        [this](QString answer) {
            answer.remove(QLatin1Char('\''));
            if (QColor parsed(answer); parsed.isValid())
                m_gnomeColor = parsed;
        });
}

std::optional<QImage> X11DesktopAppearance::wallpaper(const QScreen* screen)
{
    xcb_connection_t* c = x11::connection();
    if (!c || !screen)
        return std::nullopt;
    const xcb_pixmap_t pixmap = rootPixmap(c);
    if (pixmap == XCB_NONE)
        return std::nullopt;
    const auto geometry = x11::reply(xcb_get_geometry_reply, c, xcb_get_geometry(c, pixmap));
    if (!geometry)
        return std::nullopt; // a stale id: the pixmap is gone
    const QRect pixmapRect(0, 0, geometry->width, geometry->height);
    const int depth = geometry->depth;
    if (depth != 24 && depth != 32)
        return std::nullopt;

    // Qt keeps a screen's origin in native pixels and divides only its size.
    const qreal scale = screen->devicePixelRatio();
    const QRect native(screen->geometry().topLeft(), (QSizeF(screen->geometry().size()) * scale).toSize());
    const QRect area = native & pixmapRect;
    if (area.isEmpty())
        return std::nullopt;
    const auto reply = x11::reply(xcb_get_image_reply, c,
        xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, area.x(), area.y(), area.width(), area.height(), ~0u));
    if (!reply)
        return std::nullopt;
    std::optional<QImage> result;
    const int length = xcb_get_image_data_length(reply.get());
    if (length >= area.width() * area.height() * 4) {
        QImage image(area.size(), QImage::Format_RGB32);
        const auto* data = xcb_get_image_data(reply.get());
        for (int y = 0; y < area.height(); ++y) {
            const auto* src = reinterpret_cast<const quint32*>(data + qsizetype(y) * area.width() * 4);
            auto* dst = reinterpret_cast<quint32*>(image.scanLine(y));
            for (int x = 0; x < area.width(); ++x)
                dst[x] = src[x] | 0xff000000u;
        }
        result = image;
    }
    return result;
}

std::optional<QColor> X11DesktopAppearance::backgroundColor()
{
    return m_gnomeColor;
}

bool X11DesktopAppearance::reduceMotionFromConfigFiles(const QString& configHome)
{
    return fileSaysNoAnimations(configHome + QStringLiteral("/kdeglobals"), QStringLiteral("AnimationDurationFactor"),
               {QStringLiteral("0"), QStringLiteral("0.0")})
        || fileSaysNoAnimations(configHome + QStringLiteral("/gtk-3.0/settings.ini"),
            QStringLiteral("gtk-enable-animations"), {QStringLiteral("false"), QStringLiteral("0")})
        || fileSaysNoAnimations(configHome + QStringLiteral("/gtk-4.0/settings.ini"),
            QStringLiteral("gtk-enable-animations"), {QStringLiteral("false"), QStringLiteral("0")});
}

bool X11DesktopAppearance::reduceMotion()
{
    return m_gnomeAnimationsOff
        || reduceMotionFromConfigFiles(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
}

} // namespace vantrel
