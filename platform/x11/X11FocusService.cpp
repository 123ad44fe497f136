// SPDX-License-Identifier: GPL-3.0-or-later
#include "x11/X11FocusService.h"

#include "x11/X11Connection.h"

#include <QApplication>
#include <QWidget>

#include <xcb/xcb.h>

namespace vantrel {

std::optional<quint64> X11FocusService::frontmostOtherWindow()
{
    xcb_connection_t* c = x11::connection();
    if (!c)
        return std::nullopt;
    const xcb_window_t active = x11::windowProperty(x11::rootWindow(), x11::atom("_NET_ACTIVE_WINDOW"));
    if (active == XCB_WINDOW_NONE)
        return std::nullopt;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->testAttribute(Qt::WA_WState_Created) && widget->winId() == active)
            return std::nullopt;
    }
    return active;
}

void X11FocusService::activate(quint64 window)
{
    xcb_connection_t* c = x11::connection();
    if (!c || !x11::windowExists(static_cast<xcb_window_t>(window)))
        return;
    xcb_client_message_event_t event {};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = static_cast<xcb_window_t>(window);
    event.type = x11::atom("_NET_ACTIVE_WINDOW");
    event.data.data32[0] = 2; // source indication: a pager, so window managers do not refuse it
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c, 0, x11::rootWindow(), XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
        reinterpret_cast<const char*>(&event));
    xcb_flush(c);
}

void X11FocusService::activateSelf()
{
    // X11 has no application-level activation: the overlay window asks for focus when it maps.
}

} // namespace vantrel
