// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace vantrel::test {

// A pointer and a keyboard of the test's own on a wlroots compositor (sway), through the virtual
// pointer and virtual keyboard protocols, on a Wayland connection of its own. Both devices live
// as long as the object: a keyboard made for one key loses that key while the seat switches to
// it, and the seat has no pointer (so clicks reach no client) without one.
// Every call returns once the compositor has handled it (a round trip), so its events are on
// their way to the client under the pointer or with the focus.
class VirtualInput
{
public:
    // None when there is no Wayland display or the compositor lacks either protocol; `error`
    // then says why.
    static std::unique_ptr<VirtualInput> connect(std::string* error = nullptr);
    ~VirtualInput();
    VirtualInput(const VirtualInput&) = delete;
    VirtualInput& operator=(const VirtualInput&) = delete;

    // Moves the pointer to a point of the desktop's layout (logical pixels, the union of every
    // output, y downwards).
    bool moveTo(int x, int y);
    // Linux input button codes: 0x110 left, 0x111 right, 0x112 middle.
    bool button(uint32_t code, bool pressed);
    // Linux input key codes (evdev: 1 Escape, 28 Enter, 42 left Shift…). Modifier keys held
    // down change the modifiers the focused client sees.
    bool key(uint32_t code, bool pressed);
    bool tap(uint32_t code) { return key(code, true) && key(code, false); }
    // A drag with the left button, through the middle point, the way a hand makes one.
    bool drag(int fromX, int fromY, int toX, int toY);

    static constexpr uint32_t leftButton = 0x110;

    struct State; // the connection's objects, for the protocol listeners

private:
    VirtualInput();
    bool roundTrip();
    std::unique_ptr<State> m_state;
};

} // namespace vantrel::test
