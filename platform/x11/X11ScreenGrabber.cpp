// SPDX-License-Identifier: GPL-3.0-or-later
#include "x11/X11ScreenGrabber.h"

#include "ChromeWindow.h"
#include "x11/X11Connection.h"
#include "x11/X11Reply.h"
#include "x11/X11ShmImage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QHash>
#include <QPointer>
#include <QScreen>
#include <QSet>
#include <QThread>
#include <QWidget>

#include <xcb/composite.h>
#include <xcb/randr.h>
#include <xcb/xcb.h>

#include <cmath>
#include <cstring>

namespace vantrel {

struct X11ScreenGrabber::Monitor
{
    QString name;
    quint32 id = 0;
    QRect native;
};

namespace {

using x11::Reply;

Error xError(const QString& what)
{
    return Error {.domain = QStringLiteral("X11"), .code = 0, .description = what};
}

// Atom names never change while the server runs: one round trip per monitor name, ever.
QString atomName(xcb_connection_t* c, xcb_atom_t atom)
{
    static QHash<xcb_atom_t, QString> names;
    if (auto it = names.constFind(atom); it != names.constEnd())
        return *it;
    const auto reply = x11::reply(xcb_get_atom_name_reply, c, xcb_get_atom_name(c, atom));
    if (!reply)
        return {};
    const QString name
        = QString::fromLatin1(xcb_get_atom_name_name(reply.get()), xcb_get_atom_name_name_length(reply.get()));
    names.insert(atom, name);
    return name;
}

Reply<xcb_get_property_reply_t> property(xcb_connection_t* c, xcb_window_t window, const char* name, xcb_atom_t type)
{
    return x11::reply(xcb_get_property_reply, c, xcb_get_property(c, 0, window, x11::atom(name), type, 0, 1u << 16));
}

std::vector<quint32> cardinals(xcb_connection_t* c, xcb_window_t window, const char* name, xcb_atom_t type)
{
    auto reply = property(c, window, name, type);
    if (!reply || reply->format != 32)
        return {};
    const auto* values = static_cast<const quint32*>(xcb_get_property_value(reply.get()));
    return std::vector<quint32>(values, values + xcb_get_property_value_length(reply.get()) / 4);
}

QString textProperty(xcb_connection_t* c, xcb_window_t window)
{
    if (auto reply = property(c, window, "_NET_WM_NAME", x11::atom("UTF8_STRING"));
        reply && reply->format == 8 && xcb_get_property_value_length(reply.get()) > 0)
        return QString::fromUtf8(
            static_cast<const char*>(xcb_get_property_value(reply.get())), xcb_get_property_value_length(reply.get()));
    if (auto reply = property(c, window, "WM_NAME", XCB_GET_PROPERTY_TYPE_ANY); reply && reply->format == 8)
        return QString::fromLocal8Bit(
            static_cast<const char*>(xcb_get_property_value(reply.get())), xcb_get_property_value_length(reply.get()));
    return {};
}

// WM_CLASS holds "instance\0Class\0"; the class names the application.
QString applicationName(xcb_connection_t* c, xcb_window_t window)
{
    auto reply = property(c, window, "WM_CLASS", XCB_ATOM_STRING);
    if (!reply || reply->format != 8)
        return {};
    const QByteArray raw(
        static_cast<const char*>(xcb_get_property_value(reply.get())), xcb_get_property_value_length(reply.get()));
    const QList<QByteArray> parts = raw.split('\0');
    if (parts.size() >= 2 && !parts.at(1).isEmpty())
        return QString::fromLocal8Bit(parts.at(1));
    return parts.isEmpty() ? QString() : QString::fromLocal8Bit(parts.at(0));
}

// Window layers as the window list reports them: normal and dialog windows (or windows of no
// declared type) are 0; desktops lie below, docks and every other type above. The first type
// that EWMH defines counts; toolkits put private types (_KDE_NET_WM_WINDOW_TYPE_OVERRIDE) first.
int layerOf(const std::vector<quint32>& types)
{
    static const char* const others[] = {"_NET_WM_WINDOW_TYPE_TOOLBAR", "_NET_WM_WINDOW_TYPE_MENU",
        "_NET_WM_WINDOW_TYPE_UTILITY", "_NET_WM_WINDOW_TYPE_SPLASH", "_NET_WM_WINDOW_TYPE_DROPDOWN_MENU",
        "_NET_WM_WINDOW_TYPE_POPUP_MENU", "_NET_WM_WINDOW_TYPE_TOOLTIP", "_NET_WM_WINDOW_TYPE_NOTIFICATION",
        "_NET_WM_WINDOW_TYPE_COMBO", "_NET_WM_WINDOW_TYPE_DND"};
    for (const xcb_atom_t type : types) {
        if (type == x11::atom("_NET_WM_WINDOW_TYPE_NORMAL") || type == x11::atom("_NET_WM_WINDOW_TYPE_DIALOG"))
            return 0;
        if (type == x11::atom("_NET_WM_WINDOW_TYPE_DESKTOP"))
            return -1;
        if (type == x11::atom("_NET_WM_WINDOW_TYPE_DOCK"))
            return 20;
        for (const char* other : others) {
            if (type == x11::atom(other))
                return 3;
        }
    }
    return 0;
}

// The client's rectangle in root coordinates, or none when it has gone away.
std::optional<QRect> rootGeometry(xcb_connection_t* c, xcb_window_t window)
{
    auto geometryCookie = xcb_get_geometry(c, window);
    auto translateCookie = xcb_translate_coordinates(c, window, x11::rootWindow(), 0, 0);
    const auto geometry = x11::reply(xcb_get_geometry_reply, c, geometryCookie);
    const auto origin = x11::reply(xcb_translate_coordinates_reply, c, translateCookie);
    if (!geometry || !origin)
        return std::nullopt;
    return QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
}

// The window that the window manager put around a client: the client's ancestor whose parent is
// the root window (the client itself without a window manager).
xcb_window_t topLevelAncestor(xcb_connection_t* c, xcb_window_t window)
{
    const xcb_window_t root = x11::rootWindow();
    xcb_window_t current = window;
    for (int depth = 0; depth < 16; ++depth) {
        const auto tree = x11::reply(xcb_query_tree_reply, c, xcb_query_tree(c, current));
        if (!tree)
            return XCB_WINDOW_NONE;
        if (tree->parent == root || tree->parent == XCB_WINDOW_NONE)
            return current;
        current = tree->parent;
    }
    return current;
}

void sync(xcb_connection_t* c)
{
    x11::reply(xcb_get_input_focus_reply, c, xcb_get_input_focus(c));
}

// Gives other clients, and this process's own windows, time to repaint what was exposed. On
// the main thread Qt's events keep flowing so that our own windows can paint too.
void letWindowsRepaint(int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    const bool mainThread = QCoreApplication::instance() && QThread::currentThread() == qApp->thread();
    while (timer.elapsed() < milliseconds) {
        if (mainThread)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
}

// Whether a window's visible shape reaches into a rectangle of the root window. A shaped window
// shows only its shape: the ring around a scrolling capture's area never lies on the area's
// pixels even though its rectangle spans them. Mask rectangles are in the widget's points; a
// pixel of slack on each side absorbs the rounding of the scaled shape.
bool shapeMeets(const QWidget* widget, const QRect& native, const QRect& nativeArea)
{
    if (!native.intersects(nativeArea))
        return false;
    const QRegion shape = widget->mask();
    if (shape.isEmpty())
        return true;
    const qreal scale = widget->devicePixelRatioF();
    for (const QRect& part : shape) {
        const QRect scaled = QRectF(part.x() * scale, part.y() * scale, part.width() * scale, part.height() * scale)
                                 .toAlignedRect()
                                 .adjusted(-1, -1, 1, 1)
                                 .translated(native.topLeft());
        if (scaled.intersects(nativeArea))
            return true;
    }
    return false;
}

// Vantrel's chrome windows that overlap a rectangle of the root window, taken off the screen
// for one grab and put back afterwards. The repaint wait runs the event loop, so a window may
// close, hide or be deleted meanwhile (a thumbnail's auto-close, a toast fading out): each one
// is held through a guarded pointer, and only a window still alive and still meant to be on
// screen comes back.
class ChromeWithdrawal
{
public:
    ChromeWithdrawal(xcb_connection_t* c, const QRect& nativeArea)
        : m_connection(c)
    {
        if (!qApp || QThread::currentThread() != qApp->thread())
            return;
        for (QWidget* widget : chromeWindows()) {
            if (!widget->testAttribute(Qt::WA_WState_Created))
                continue;
            const auto window = static_cast<xcb_window_t>(widget->winId());
            const std::optional<QRect> native = rootGeometry(c, window);
            if (!native || !shapeMeets(widget, *native, nativeArea))
                continue;
            const auto attributes
                = x11::reply(xcb_get_window_attributes_reply, c, xcb_get_window_attributes(c, window));
            if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
                continue;
            if (attributes->override_redirect) {
                // Unmanaged windows come back exactly where they were. Qt still counts them as
                // shown, so its own hide meanwhile is what tells that they should stay away.
                xcb_unmap_window(c, window);
                m_withdrawn.push_back({widget, window, true});
            } else {
                // A managed window must be withdrawn through the window manager, which Qt does.
                m_withdrawn.push_back({widget, window, false});
                widget->hide();
                widget->installEventFilter(&m_watcher);
            }
        }
        if (m_withdrawn.empty())
            return;
        sync(c);
        letWindowsRepaint(X11ScreenGrabber::chromeRepaintWait);
    }
    ~ChromeWithdrawal()
    {
        bool mapped = false;
        for (const Withdrawn& entry : m_withdrawn) {
            QWidget* widget = entry.widget.data();
            // Deleted, or its X window replaced (a window that was destroyed and made anew has a
            // new id, and the old id may name someone else's window by now).
            if (!widget || !widget->testAttribute(Qt::WA_WState_Created)
                || static_cast<xcb_window_t>(widget->winId()) != entry.window)
                continue;
            if (entry.unmappedDirectly) {
                if (widget->isVisible()) {
                    xcb_map_window(m_connection, entry.window);
                    mapped = true;
                }
                continue;
            }
            widget->removeEventFilter(&m_watcher);
            // Shown again, closed or on its way to deletion meanwhile: its owner decided.
            if (!widget->isHidden() || m_watcher.released.contains(widget))
                continue;
            // An explicit geometry keeps the window manager from placing it anew; an animation
            // may have moved it while it was away, so it is the one it has now.
            widget->setGeometry(widget->geometry());
            widget->show();
        }
        if (mapped)
            xcb_flush(m_connection);
    }
    ChromeWithdrawal(const ChromeWithdrawal&) = delete;
    ChromeWithdrawal& operator=(const ChromeWithdrawal&) = delete;

private:
    // Notes the withdrawn windows whose owner closed them or asked for their deletion while
    // they were away: those stay away.
    class CloseWatcher : public QObject
    {
    public:
        bool eventFilter(QObject* watched, QEvent* event) override
        {
            if (event->type() == QEvent::Close || event->type() == QEvent::DeferredDelete)
                released.insert(watched);
            return false;
        }
        QSet<QObject*> released;
    };

    struct Withdrawn
    {
        QPointer<QWidget> widget;
        xcb_window_t window;
        bool unmappedDirectly;
    };

    xcb_connection_t* m_connection;
    std::vector<Withdrawn> m_withdrawn;
    CloseWatcher m_watcher;
};

} // namespace

X11ScreenGrabber::X11ScreenGrabber() = default;
X11ScreenGrabber::~X11ScreenGrabber() = default;

x11::ShmImageReader* X11ScreenGrabber::reader()
{
    if (!m_reader && x11::connection())
        m_reader = std::make_unique<x11::ShmImageReader>(x11::connection());
    return m_reader.get();
}

std::vector<X11ScreenGrabber::Monitor> X11ScreenGrabber::monitors()
{
    xcb_connection_t* c = x11::connection();
    if (!c)
        return {};
    std::vector<Monitor> result;
    // RandR 1.5 monitors first: they are what Qt makes its screens from.
    const auto list = x11::reply(xcb_randr_get_monitors_reply, c, xcb_randr_get_monitors(c, x11::rootWindow(), 1));
    if (list) {
        for (auto it = xcb_randr_get_monitors_monitors_iterator(list.get()); it.rem; xcb_randr_monitor_info_next(&it)) {
            const xcb_randr_monitor_info_t* info = it.data;
            result.push_back({atomName(c, info->name), info->name, QRect(info->x, info->y, info->width, info->height)});
        }
        if (!result.empty())
            return result;
    }
    // Older servers: connected outputs with a CRTC, named as Qt names them.
    const auto resources = x11::reply(
        xcb_randr_get_screen_resources_current_reply, c, xcb_randr_get_screen_resources_current(c, x11::rootWindow()));
    if (!resources)
        return result;
    const xcb_randr_output_t* outputs = xcb_randr_get_screen_resources_current_outputs(resources.get());
    const int count = xcb_randr_get_screen_resources_current_outputs_length(resources.get());
    for (int i = 0; i < count; ++i) {
        const auto output = x11::reply(
            xcb_randr_get_output_info_reply, c, xcb_randr_get_output_info(c, outputs[i], resources->config_timestamp));
        if (!output || output->crtc == XCB_NONE)
            continue;
        const auto crtc = x11::reply(
            xcb_randr_get_crtc_info_reply, c, xcb_randr_get_crtc_info(c, output->crtc, resources->config_timestamp));
        if (!crtc)
            continue;
        const QString name
            = QString::fromUtf8(reinterpret_cast<const char*>(xcb_randr_get_output_info_name(output.get())),
                xcb_randr_get_output_info_name_length(output.get()));
        result.push_back({name, outputs[i], QRect(crtc->x, crtc->y, crtc->width, crtc->height)});
    }
    return result;
}

std::optional<X11ScreenGrabber::Monitor> X11ScreenGrabber::monitorFor(const QScreen* screen)
{
    if (!screen)
        return std::nullopt;
    for (const Monitor& monitor : monitors()) {
        if (monitor.name == screen->name())
            return monitor;
    }
    return std::nullopt;
}

std::optional<quint32> X11ScreenGrabber::displayID(const QScreen* screen)
{
    if (auto monitor = monitorFor(screen))
        return monitor->id;
    return std::nullopt;
}

std::optional<QRect> X11ScreenGrabber::nativeGeometry(const QScreen* screen)
{
    if (!screen)
        return std::nullopt;
    if (auto monitor = monitorFor(screen))
        return monitor->native;
    // Qt keeps a screen's origin in native pixels and divides only its size.
    const QRect logical = screen->geometry();
    const qreal scale = screen->devicePixelRatio();
    return QRect(logical.topLeft(), QSize(int(logical.width() * scale), int(logical.height() * scale)));
}

Expected<QImage> X11ScreenGrabber::grabScreen(const QScreen* screen, const QRect& nativeRect)
{
    return grabScreenInto(screen, nativeRect, QImage());
}

Expected<QImage> X11ScreenGrabber::grabScreenInto(const QScreen* screen, const QRect& nativeRect, QImage recycled)
{
    xcb_connection_t* c = x11::connection();
    x11::ShmImageReader* shm = reader();
    if (!c || !shm)
        return xError(QCoreApplication::translate("ScreenCapture", "No X11 display"));
    const std::optional<QRect> screenRect = nativeGeometry(screen);
    if (!screenRect)
        return Error {.code = 1, .description = QCoreApplication::translate("ScreenCapture", "Display not found")};
    const QRect area = nativeRect.translated(screenRect->topLeft()) & *screenRect;
    if (area.isEmpty())
        return xError(QCoreApplication::translate("ScreenCapture", "The capture rectangle lies outside the display"));
    ChromeWithdrawal withdrawal(c, area);
    return shm->read(x11::rootWindow(), area, 24, std::move(recycled));
}

std::vector<WindowInfo> X11ScreenGrabber::windowsFrontToBack()
{
    xcb_connection_t* c = x11::connection();
    if (!c)
        return {};
    const xcb_window_t root = x11::rootWindow();
    const std::vector<quint32> stacking = cardinals(c, root, "_NET_CLIENT_LIST_STACKING", XCB_ATOM_WINDOW);
    const std::vector<quint32> currentDesktop = cardinals(c, root, "_NET_CURRENT_DESKTOP", XCB_ATOM_CARDINAL);

    struct ScreenMap
    {
        QRect native;
        QRect logical;
        qreal scale;
    };
    std::vector<ScreenMap> screens;
    for (QScreen* screen : QGuiApplication::screens()) {
        if (auto native = nativeGeometry(screen))
            screens.push_back({*native, screen->geometry(), screen->devicePixelRatio()});
    }
    // Native pixels to Qt's points through the screen that holds most of the frame.
    auto toPoints = [&](const QRect& native) -> QRect {
        const ScreenMap* best = nullptr;
        qint64 bestArea = -1;
        for (const ScreenMap& screen : screens) {
            const QRect overlap = screen.native & native;
            const qint64 area = overlap.isEmpty() ? 0 : qint64(overlap.width()) * overlap.height();
            if (area > bestArea) {
                best = &screen;
                bestArea = area;
            }
        }
        if (!best || best->scale == 1.0)
            return best ? native.translated(best->logical.topLeft() - best->native.topLeft()) : native;
        const QPointF origin
            = QPointF(best->logical.topLeft()) + QPointF(native.topLeft() - best->native.topLeft()) / best->scale;
        return QRectF(origin, QSizeF(native.size()) / best->scale).toAlignedRect();
    };

    std::vector<WindowInfo> result;
    for (auto it = stacking.rbegin(); it != stacking.rend(); ++it) {
        const xcb_window_t window = *it;
        const std::vector<quint32> desktop = cardinals(c, window, "_NET_WM_DESKTOP", XCB_ATOM_CARDINAL);
        if (!desktop.empty() && !currentDesktop.empty() && desktop.front() != 0xffffffffu
            && desktop.front() != currentDesktop.front())
            continue;
        const std::optional<QRect> client = rootGeometry(c, window);
        if (!client)
            continue; // gone meanwhile
        const std::vector<quint32> extents = cardinals(c, window, "_NET_FRAME_EXTENTS", XCB_ATOM_CARDINAL);
        QRect native = *client;
        if (extents.size() == 4)
            native.adjust(-int(extents[0]), -int(extents[2]), int(extents[1]), int(extents[3]));

        const auto attributes = x11::reply(xcb_get_window_attributes_reply, c, xcb_get_window_attributes(c, window));
        const std::vector<quint32> states = cardinals(c, window, "_NET_WM_STATE", XCB_ATOM_ATOM);
        const bool hidden = std::find(states.begin(), states.end(), x11::atom("_NET_WM_STATE_HIDDEN")) != states.end();

        WindowInfo info;
        info.id = window;
        info.nativeFrame = native;
        info.frame = toPoints(native);
        info.layer = layerOf(cardinals(c, window, "_NET_WM_WINDOW_TYPE", XCB_ATOM_ATOM));
        info.onScreen = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE && !hidden;
        info.title = textProperty(c, window);
        info.applicationName = applicationName(c, window);
        result.push_back(std::move(info));
    }
    return result;
}

Expected<QImage> X11ScreenGrabber::grabWindow(quint32 windowId)
{
    xcb_connection_t* c = x11::connection();
    x11::ShmImageReader* shm = reader();
    if (!c || !shm)
        return xError(QCoreApplication::translate("ScreenCapture", "No X11 display"));
    if (!m_compositeReady) {
        const auto version = x11::reply(xcb_composite_query_version_reply, c, xcb_composite_query_version(c, 0, 4));
        if (!version)
            return xError(QCoreApplication::translate("ScreenCapture", "The X server has no Composite extension"));
        m_compositeReady = true;
    }
    const xcb_window_t frame = topLevelAncestor(c, windowId);
    if (frame == XCB_WINDOW_NONE)
        return xError(QCoreApplication::translate("ScreenCapture", "The window has closed"));

    // Redirecting gives the frame an off-screen pixmap that holds all of it, covered parts
    // included, once its clients have repainted what was hidden. A compositing manager keeps
    // every window redirected already, so its pixmaps are complete at once.
    const bool composited = desktopIsCompositing();
    const bool redirected
        = !x11::check(c, xcb_composite_redirect_window_checked(c, frame, XCB_COMPOSITE_REDIRECT_AUTOMATIC));
    if (redirected && !composited) {
        sync(c);
        letWindowsRepaint(redirectRepaintWait);
    }

    const xcb_pixmap_t pixmap = xcb_generate_id(c);
    Expected<QImage> result = xError(QCoreApplication::translate("ScreenCapture", "The window is not on screen"));
    if (!x11::check(c, xcb_composite_name_window_pixmap_checked(c, frame, pixmap))) {
        const auto geometry = x11::reply(xcb_get_geometry_reply, c, xcb_get_geometry(c, pixmap));
        if (geometry)
            result = shm->read(pixmap, QRect(0, 0, geometry->width, geometry->height), geometry->depth);
        xcb_free_pixmap(c, pixmap);
    }
    if (redirected)
        xcb_composite_unredirect_window(c, frame, XCB_COMPOSITE_REDIRECT_AUTOMATIC);
    xcb_flush(c);
    return result;
}

} // namespace vantrel
