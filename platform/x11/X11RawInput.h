// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <xcb/xcb.h>
#include <xcb/xinput.h>

#include <cstdint>
#include <optional>

namespace vantrel::x11 {

// Raw input (XInput 2): every key and button of every master device, whichever window has the
// focus or a grab, with no permission asked. The recorder's click highlights and the keystroke
// overlay read it, each on an X connection of its own.
enum RawInput : uint32_t {
    rawKeys = XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE,
    rawButtons = XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_RELEASE,
};

// Selects the raw events of `mask` on `root` (raw events are only ever selected there). The
// extension's major opcode, which tells its generic events apart; none when the server has no
// XInput 2.
std::optional<uint8_t> selectRawInput(xcb_connection_t* c, xcb_window_t root, uint32_t mask);

// The raw event inside a generic event of the extension with `opcode`, else none.
// RawKeyPress/Release and RawButtonPress/Release share one layout.
const xcb_input_raw_key_press_event_t* rawInputEvent(const xcb_generic_event_t* event, uint8_t opcode);

} // namespace vantrel::x11
