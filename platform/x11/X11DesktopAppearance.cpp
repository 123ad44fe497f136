// SPDX-License-Identifier: GPL-3.0-or-later
#include "DesktopAppearance.h"
#include "x11/X11Connection.h"
#include "x11/X11Reply.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTextStream>
#include <QUrl>
#include <QXmlStreamReader>

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

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

// The screen's colour where no window covers the root: the root window's own background, as
// `xsetroot -solid` or a window manager leaves it. None when windows cover every probe.
std::optional<QColor> uncoveredRootColour(xcb_connection_t* c, const QRect& nativeScreen)
{
    const xcb_window_t root = x11::rootWindow();
    const auto tree = x11::reply(xcb_query_tree_reply, c, xcb_query_tree(c, root));
    if (!tree)
        return std::nullopt;
    std::vector<QRect> covered;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        const auto attributes
            = x11::reply(xcb_get_window_attributes_reply, c, xcb_get_window_attributes(c, children[i]));
        if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE
            || attributes->_class == XCB_WINDOW_CLASS_INPUT_ONLY)
            continue;
        if (const auto geometry = x11::reply(xcb_get_geometry_reply, c, xcb_get_geometry(c, children[i]))) {
            const int border = geometry->border_width;
            covered.emplace_back(geometry->x, geometry->y, geometry->width + 2 * border, geometry->height + 2 * border);
        }
    }
    // Probes on a grid, from the corners in: desktops seldom cover their corners with windows.
    constexpr int steps = 12;
    for (int j = 0; j <= steps; ++j) {
        for (int i = 0; i <= steps; ++i) {
            const QPoint probe(nativeScreen.left() + (nativeScreen.width() - 1) * i / steps,
                nativeScreen.top() + (nativeScreen.height() - 1) * j / steps);
            if (std::any_of(covered.begin(), covered.end(), [&](const QRect& r) { return r.contains(probe); }))
                continue;
            const auto image = x11::reply(xcb_get_image_reply, c,
                xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, root, probe.x(), probe.y(), 1, 1, ~0u));
            if (!image || xcb_get_image_data_length(image.get()) < 4)
                return std::nullopt;
            quint32 pixel = 0;
            std::memcpy(&pixel, xcb_get_image_data(image.get()), 4);
            return QColor::fromRgb(pixel | 0xff000000u);
        }
    }
    return std::nullopt;
}

// Lines of a KDE-style INI file as (group path, key, value), for the few keys read here.
template <typename Visit> void readIni(const QString& path, Visit visit)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    QTextStream in(&file);
    QString group;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            group = line;
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0)
            visit(group, line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
    }
}

// Xfce's desktop channel: the first monitor's "last-image" and its colour "rgba1" (or the older
// "color1"), both in xfconf's XML.
struct XfceBackdrop
{
    std::optional<QString> image;
    std::optional<QColor> colour;
};
XfceBackdrop readXfceBackdrop(const QString& path)
{
    XfceBackdrop result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    QXmlStreamReader xml(&file);
    QString colourProperty;
    QList<double> components;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        const QXmlStreamAttributes a = xml.attributes();
        const QStringView name = a.value(QLatin1String("name"));
        if (xml.name() == QLatin1String("property")) {
            if (name == QLatin1String("last-image") && !result.image) {
                const QString value = a.value(QLatin1String("value")).toString();
                if (!value.isEmpty())
                    result.image = value;
            } else if ((name == QLatin1String("rgba1") || name == QLatin1String("color1")) && !result.colour) {
                colourProperty = name.toString();
                components.clear();
            } else {
                colourProperty.clear();
            }
        } else if (xml.name() == QLatin1String("value") && !colourProperty.isEmpty() && !result.colour) {
            components.append(a.value(QLatin1String("value")).toDouble());
            // rgba1 holds four doubles in 0…1; the older color1 three or four 16-bit integers.
            const bool doubles = colourProperty == QLatin1String("rgba1");
            if (components.size() == 4 || (!doubles && components.size() == 3)) {
                const double scale = doubles ? 1.0 : 65535.0;
                result.colour = QColor::fromRgbF(float(std::clamp(components[0] / scale, 0.0, 1.0)),
                    float(std::clamp(components[1] / scale, 0.0, 1.0)),
                    float(std::clamp(components[2] / scale, 0.0, 1.0)));
                colourProperty.clear();
            }
        }
    }
    return result;
}

// KDE Plasma's desktop containment: the image plugin's "Image" and the colour plugin's "Color".
struct KdeWallpaper
{
    std::optional<QString> image;
    std::optional<QColor> colour;
};
KdeWallpaper readKdeWallpaper(const QString& path)
{
    KdeWallpaper result;
    readIni(path, [&](const QString& group, const QString& key, const QString& value) {
        if (!group.contains(QLatin1String("[Wallpaper]")))
            return;
        if (key == QLatin1String("Image") && !result.image && !value.isEmpty()) {
            result.image = value;
        } else if (key == QLatin1String("Color") && !result.colour) {
            const QStringList parts = value.split(QLatin1Char(','));
            if (parts.size() >= 3) {
                result.colour = QColor(std::clamp(parts[0].toInt(), 0, 255), std::clamp(parts[1].toInt(), 0, 255),
                    std::clamp(parts[2].toInt(), 0, 255));
            } else if (QColor named(value); named.isValid()) {
                result.colour = named;
            }
        }
    });
    return result;
}

QString localPath(const QString& pathOrUrl)
{
    const QUrl url(pathOrUrl);
    return url.isLocalFile() ? url.toLocalFile() : pathOrUrl;
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
    askGsettings(&m_context,
        {QStringLiteral("get"), QStringLiteral("org.gnome.desktop.background"), QStringLiteral("picture-uri")},
        [this](QString answer) {
            answer.remove(QLatin1Char('\''));
            if (!answer.isEmpty())
                m_gnomePicture = localPath(answer);
        });
}

DesktopAppearanceConfig X11DesktopAppearance::configuredBackground(const QString& configHome)
{
    // Plasma and Xfce keep their desktop in files; the first that names a picture or a colour wins.
    const KdeWallpaper kde = readKdeWallpaper(configHome + QStringLiteral("/plasma-org.kde.plasma.desktop-appletsrc"));
    const XfceBackdrop xfce
        = readXfceBackdrop(configHome + QStringLiteral("/xfce4/xfconf/xfce-perchannel-xml/xfce4-desktop.xml"));
    DesktopAppearanceConfig config;
    if (kde.image)
        config.picture = localPath(*kde.image);
    else if (xfce.image)
        config.picture = localPath(*xfce.image);
    config.colour = kde.colour ? kde.colour : xfce.colour;
    return config;
}

DesktopAppearanceConfig X11DesktopAppearance::configured() const
{
    DesktopAppearanceConfig config
        = configuredBackground(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
    if (m_gnomePicture)
        config.picture = m_gnomePicture;
    if (m_gnomeColor)
        config.colour = m_gnomeColor;
    return config;
}

std::optional<QImage> X11DesktopAppearance::wallpaper(const QScreen* screen)
{
    if (!screen)
        return std::nullopt;
    if (std::optional<QImage> root = rootPixmapImage(screen))
        return root;
    // The desktop's configured picture, as a file: the cover scales it as the desktop would.
    if (const std::optional<QString> picture = configured().picture) {
        QImage image(*picture);
        if (!image.isNull())
            return image;
    }
    return std::nullopt;
}

std::optional<QImage> X11DesktopAppearance::rootPixmapImage(const QScreen* screen)
{
    xcb_connection_t* c = x11::connection();
    if (!c)
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

std::optional<QColor> X11DesktopAppearance::backgroundColor(const QScreen* screen)
{
    if (const std::optional<QColor> colour = configured().colour)
        return colour;
    xcb_connection_t* c = x11::connection();
    if (!c || !screen)
        return std::nullopt;
    const qreal scale = screen->devicePixelRatio();
    const QRect native(screen->geometry().topLeft(), (QSizeF(screen->geometry().size()) * scale).toSize());
    return uncoveredRootColour(c, native);
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
