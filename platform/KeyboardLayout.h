// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

namespace vantrel {

// What the user's keyboard layout prints on a key.
class KeyboardLayout
{
public:
    virtual ~KeyboardLayout() = default;
    // The key's unshifted character for a virtual key code, or none when no layout is known.
    // Dead keys give their spacing character.
    virtual std::optional<QString> character(quint32 virtualKeyCode) = 0;
    // Forgets what it knows of the layout after the keyboard mapping changed.
    virtual void reload() { }
};

// The layout from xkbcommon: the X server's keymap and current group when there is a display,
// otherwise the system's default keymap (XKB_DEFAULT_* or "us"), so the self-test and
// command-line modes label keys too.
class XkbKeyboardLayout : public KeyboardLayout
{
public:
    XkbKeyboardLayout();
    ~XkbKeyboardLayout() override;

    std::optional<QString> character(quint32 virtualKeyCode) override;
    // Drops the cached keymap; the next lookup reads the current one.
    void reload() override;

private:
    struct State;
    State* m_state = nullptr;
};

} // namespace vantrel
