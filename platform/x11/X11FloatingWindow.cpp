// SPDX-License-Identifier: GPL-3.0-or-later
#include "FloatingWindow.h"
#include "x11/X11Connection.h"
#include "x11/X11Reply.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <array>
#include <vector>

namespace vantrel {

namespace {

constexpr quint32 allDesktops = 0xFFFFFFFF;
constexpr quint32 netWmStateAdd = 1;
constexpr quint32 sourceApplication = 1;

// Before the window is mapped its properties are ours to write; Qt keeps states it does not
// manage itself when it maps the window.
void setInitialStates(xcb_connection_t* c, xcb_window_t window, std::initializer_list<const char*> names)
{
    const xcb_atom_t netWmState = x11::atom("_NET_WM_STATE");
    std::vector<xcb_atom_t> states;
    const auto reply
        = x11::reply(xcb_get_property_reply, c, xcb_get_property(c, 0, window, netWmState, XCB_ATOM_ATOM, 0, 64));
    if (reply && reply->type == XCB_ATOM_ATOM && reply->format == 32) {
        const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
        states.assign(atoms, atoms + xcb_get_property_value_length(reply.get()) / 4);
    }
    for (const char* name : names) {
        const xcb_atom_t state = x11::atom(name);
        if (std::find(states.begin(), states.end(), state) == states.end())
            states.push_back(state);
    }
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, netWmState, XCB_ATOM_ATOM, 32,
        static_cast<uint32_t>(states.size()), states.data());
    xcb_change_property(
        c, XCB_PROP_MODE_REPLACE, window, x11::atom("_NET_WM_DESKTOP"), XCB_ATOM_CARDINAL, 32, 1, &allDesktops);
}

void sendToWindowManager(xcb_connection_t* c, xcb_window_t window, xcb_atom_t type, std::array<quint32, 5> data)
{
    xcb_client_message_event_t event {};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    for (size_t i = 0; i < data.size(); ++i)
        event.data.data32[i] = data[i];
    xcb_send_event(c, 0, x11::rootWindow(), XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
        reinterpret_cast<const char*>(&event));
}

// A window already mapped: the window manager owns its states, so ask it.
void askWindowManager(xcb_connection_t* c, xcb_window_t window)
{
    sendToWindowManager(c, window, x11::atom("_NET_WM_STATE"),
        {netWmStateAdd, x11::atom("_NET_WM_STATE_ABOVE"), x11::atom("_NET_WM_STATE_STICKY"), sourceApplication, 0});
    sendToWindowManager(c, window, x11::atom("_NET_WM_DESKTOP"), {allDesktops, sourceApplication, 0, 0, 0});
    xcb_flush(c);
}

} // namespace

void keepAboveOnEveryWorkspace(QWidget* window)
{
    if (!window->isVisible() && !window->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
        window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    xcb_connection_t* c = x11::connection();
    if (!c)
        return;
    // Window managers read the states when they take a window on; a request made later may be
    // refused (openbox does not let a mapped window put itself on every desktop).
    const auto id = static_cast<xcb_window_t>(window->winId());
    if (window->isVisible()) {
        askWindowManager(c, id);
    } else {
        setInitialStates(c, id, {"_NET_WM_STATE_ABOVE", "_NET_WM_STATE_STICKY"});
        xcb_flush(c);
    }
}

void keepBelowWindowsOnEveryWorkspace(QWidget* window)
{
    window->setWindowFlag(Qt::WindowStaysOnBottomHint, true);
    xcb_connection_t* c = x11::connection();
    if (!c)
        return;
    // Below every ordinary window but above the desktop, on every workspace, and in no task
    // list: a piece of the desktop, not a window of its own.
    setInitialStates(c, static_cast<xcb_window_t>(window->winId()),
        {"_NET_WM_STATE_BELOW", "_NET_WM_STATE_STICKY", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"});
    xcb_flush(c);
}

void coverScreen(QWidget* window, QScreen* screen)
{
    window->setScreen(screen);
    window->setGeometry(screen->geometry());
    // Under X11 the overlay is not managed and lies where it is put; a full-screen state there
    // would only invite the window manager in.
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        window->setWindowState(window->windowState() | Qt::WindowFullScreen);
}

} // namespace vantrel
