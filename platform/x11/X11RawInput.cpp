// SPDX-License-Identifier: GPL-3.0-or-later
#include "x11/X11RawInput.h"

#include "x11/X11Reply.h"

namespace vantrel::x11 {

std::optional<uint8_t> selectRawInput(xcb_connection_t* c, xcb_window_t root, uint32_t mask)
{
    // A request of an extension the server lacks would close the connection.
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xcb_input_id);
    if (!extension || !extension->present)
        return std::nullopt;
    // Raw events came with 2.0; asking for 2.2 tells the server this client knows the newer
    // event layouts.
    auto version = reply(xcb_input_xi_query_version_reply, c, xcb_input_xi_query_version(c, 2, 2));
    if (!version || version->major_version < 2)
        return std::nullopt;
    struct
    {
        xcb_input_event_mask_t head;
        uint32_t mask;
    } selection {{XCB_INPUT_DEVICE_ALL_MASTER, 1}, mask};
    if (check(c, xcb_input_xi_select_events_checked(c, root, 1, &selection.head)))
        return std::nullopt;
    return extension->major_opcode;
}

const xcb_input_raw_key_press_event_t* rawInputEvent(const xcb_generic_event_t* event, uint8_t opcode)
{
    if ((event->response_type & 0x7f) != XCB_GE_GENERIC)
        return nullptr;
    const auto* generic = reinterpret_cast<const xcb_ge_generic_event_t*>(event);
    if (generic->extension != opcode)
        return nullptr;
    switch (generic->event_type) {
    case XCB_INPUT_RAW_KEY_PRESS:
    case XCB_INPUT_RAW_KEY_RELEASE:
    case XCB_INPUT_RAW_BUTTON_PRESS:
    case XCB_INPUT_RAW_BUTTON_RELEASE: return reinterpret_cast<const xcb_input_raw_key_press_event_t*>(event);
    default: return nullptr;
    }
}

} // namespace vantrel::x11
