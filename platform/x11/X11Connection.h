// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <xcb/xcb.h>

#include <optional>

// Small helpers over the connection that Qt's xcb platform already holds. Everything here is
// null-safe: without an X server (offscreen tests, the self-test) the calls answer "nothing".
namespace vantrel::x11 {

xcb_connection_t* connection();
xcb_window_t rootWindow();
xcb_atom_t atom(const char* name);
// A WINDOW-typed property of a window (XCB_WINDOW_NONE when absent).
xcb_window_t windowProperty(xcb_window_t window, xcb_atom_t property);
bool windowExists(xcb_window_t window);

} // namespace vantrel::x11
