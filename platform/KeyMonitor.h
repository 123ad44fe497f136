// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Expected.h"

#include <QString>
#include <QtGlobal>

#include <functional>
#include <memory>
#include <optional>

namespace vantrel {

// One key pressed in any application. Pressing a modifier key alone is not a key press here.
struct KeyPress
{
    // The virtual key code shortcuts store (see KeyCodes.h); 0x10000 + evdev code for keys
    // without one.
    quint32 keyCode = 0;
    // Modifiers held, in the bits of stored shortcuts: command 256 (Super), shift 512,
    // option 2048 (Alt), control 4096.
    quint32 modifiers = 0;
    // The key's name in the keyboard map ("Home", "Page Up", "Volume Up"), for keys that have
    // neither a glyph nor a character.
    QString symbolName;
};

// Watches the keys pressed in every application, for the keystroke overlay: the desktop
// implementation, or a fake in tests.
class KeyMonitor
{
public:
    using PressHandler = std::function<void(const KeyPress&)>;

    virtual ~KeyMonitor() = default;
    // Starts delivering key presses on the main thread, replacing an earlier handler; an error
    // in words a toast can show when the desktop does not let Vantrel read other applications'
    // keys.
    virtual std::optional<Error> start(PressHandler handler) = 0;
    virtual void stop() = 0;
};

// XInput 2 raw key events on the root window, on an X connection and thread of its own, with
// an xkb state that follows every key for the modifiers. X11 asks no permission for them; a
// Wayland session does not hand other programs' keys to X clients, so there it refuses.
class X11KeyMonitor : public KeyMonitor
{
public:
    X11KeyMonitor();
    ~X11KeyMonitor() override;

    std::optional<Error> start(PressHandler handler) override;
    void stop() override;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace vantrel
