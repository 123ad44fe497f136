// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <optional>

namespace vantrel::keycodes {

// Shortcuts are stored with the virtual key codes of an ANSI keyboard (1 = S, 53 = Escape,
// 122 = F1 …). The keyboard speaks evdev codes (X keycode = evdev + 8). Keys that have no
// virtual code are stored as evdevFlag + evdev code so that they round-trip.
inline constexpr quint32 evdevFlag = 0x10000;
inline constexpr quint32 xkbOffset = 8;

std::optional<quint32> evdevForVirtualKey(quint32 virtualKey);
quint32 virtualKeyForEvdev(quint32 evdev);

} // namespace vantrel::keycodes
