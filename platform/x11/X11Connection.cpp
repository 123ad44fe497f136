// SPDX-License-Identifier: GPL-3.0-or-later
#include "x11/X11Connection.h"

#include <QGuiApplication>
#include <QHash>

#include <cstdlib>

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
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, key.size(), name), nullptr);
    if (!reply)
        return XCB_ATOM_NONE;
    const xcb_atom_t result = reply->atom;
    std::free(reply);
    cache.insert(key, result);
    return result;
}

xcb_window_t windowProperty(xcb_window_t window, xcb_atom_t property)
{
    xcb_connection_t* c = connection();
    if (!c || window == XCB_WINDOW_NONE || property == XCB_ATOM_NONE)
        return XCB_WINDOW_NONE;
    xcb_get_property_reply_t* reply
        = xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, XCB_ATOM_WINDOW, 0, 1), nullptr);
    if (!reply)
        return XCB_WINDOW_NONE;
    xcb_window_t result = XCB_WINDOW_NONE;
    if (reply->type == XCB_ATOM_WINDOW && reply->format == 32 && xcb_get_property_value_length(reply) >= 4)
        result = *static_cast<xcb_window_t*>(xcb_get_property_value(reply));
    std::free(reply);
    return result;
}

bool windowExists(xcb_window_t window)
{
    xcb_connection_t* c = connection();
    if (!c || window == XCB_WINDOW_NONE)
        return false;
    xcb_get_window_attributes_reply_t* reply
        = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr);
    const bool exists = reply != nullptr;
    std::free(reply);
    return exists;
}

} // namespace vantrel::x11
