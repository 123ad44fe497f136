// SPDX-License-Identifier: GPL-3.0-or-later
#include "x11/X11Connection.h"

#include "x11/X11Reply.h"

#include <QGuiApplication>
#include <QHash>

namespace vantrel::x11 {

xcb_connection_t* connection()
{
    auto* app = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return app ? app->connection() : nullptr;
}

xcb_window_t rootWindow()
{
    xcb_connection_t* c = connection();
    if (!c)
        return XCB_WINDOW_NONE;
    // Qt connects to the default screen of $DISPLAY.
    const xcb_setup_t* setup = xcb_get_setup(c);
    return xcb_setup_roots_iterator(setup).data->root;
}

xcb_atom_t atom(const char* name)
{
    static QHash<QByteArray, xcb_atom_t> cache;
    const QByteArray key(name);
    if (auto it = cache.constFind(key); it != cache.constEnd())
        return *it;
    xcb_connection_t* c = connection();
    if (!c)
        return XCB_ATOM_NONE;
    const auto reply = x11::reply(xcb_intern_atom_reply, c, xcb_intern_atom(c, 0, key.size(), name));
    if (!reply)
        return XCB_ATOM_NONE;
    const xcb_atom_t result = reply->atom;
    cache.insert(key, result);
    return result;
}

xcb_window_t windowProperty(xcb_window_t window, xcb_atom_t property)
{
    xcb_connection_t* c = connection();
    if (!c || window == XCB_WINDOW_NONE || property == XCB_ATOM_NONE)
        return XCB_WINDOW_NONE;
    const auto reply
        = x11::reply(xcb_get_property_reply, c, xcb_get_property(c, 0, window, property, XCB_ATOM_WINDOW, 0, 1));
    if (!reply)
        return XCB_WINDOW_NONE;
    if (reply->type == XCB_ATOM_WINDOW && reply->format == 32 && xcb_get_property_value_length(reply.get()) >= 4)
        return *static_cast<xcb_window_t*>(xcb_get_property_value(reply.get()));
    return XCB_WINDOW_NONE;
}

bool windowExists(xcb_window_t window)
{
    xcb_connection_t* c = connection();
    if (!c || window == XCB_WINDOW_NONE)
        return false;
    return x11::reply(xcb_get_window_attributes_reply, c, xcb_get_window_attributes(c, window)) != nullptr;
}

} // namespace vantrel::x11
