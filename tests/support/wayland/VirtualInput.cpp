// SPDX-License-Identifier: GPL-3.0-or-later
#include "VirtualInput.h"

#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"

#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>
#include <wayland-client.h>

namespace vantrel::test {

namespace {

constexpr uint32_t keymapFormatXkbV1 = 1; // wl_keyboard.keymap_format.xkb_v1
constexpr int evdevToXkb = 8; // xkb key codes are evdev codes + 8

uint32_t nowMs()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint32_t(ts.tv_sec * 1000 + ts.tv_nsec / 1000000);
}

// An output's place in the desktop's layout, logical pixels.
struct Output
{
    wl_output* output = nullptr;
    zxdg_output_v1* xdgOutput = nullptr;
    int x = 0, y = 0, width = 0, height = 0;
};

} // namespace

struct VirtualInput::State
{
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_seat* seat = nullptr;
    zwlr_virtual_pointer_manager_v1* pointerManager = nullptr;
    zwp_virtual_keyboard_manager_v1* keyboardManager = nullptr;
    zxdg_output_manager_v1* outputManager = nullptr;
    zwlr_virtual_pointer_v1* pointer = nullptr;
    zwp_virtual_keyboard_v1* keyboard = nullptr;
    std::vector<std::unique_ptr<Output>> outputs;
    xkb_context* xkb = nullptr;
    xkb_keymap* keymap = nullptr;
    xkb_state* keyState = nullptr;

    ~State()
    {
        if (keyboard)
            zwp_virtual_keyboard_v1_destroy(keyboard);
        if (pointer)
            zwlr_virtual_pointer_v1_destroy(pointer);
        if (pointerManager)
            zwlr_virtual_pointer_manager_v1_destroy(pointerManager);
        if (keyboardManager)
            zwp_virtual_keyboard_manager_v1_destroy(keyboardManager);
        for (auto& output : outputs) {
            if (output->xdgOutput)
                zxdg_output_v1_destroy(output->xdgOutput);
            wl_output_destroy(output->output);
        }
        if (outputManager)
            zxdg_output_manager_v1_destroy(outputManager);
        if (seat)
            wl_seat_destroy(seat);
        if (registry)
            wl_registry_destroy(registry);
        if (display) {
            wl_display_flush(display);
            wl_display_disconnect(display);
        }
        if (keyState)
            xkb_state_unref(keyState);
        if (keymap)
            xkb_keymap_unref(keymap);
        if (xkb)
            xkb_context_unref(xkb);
    }

    // The bounding box of every output: absolute motion is given as a fraction of it.
    void layout(int& left, int& top, int& right, int& bottom) const
    {
        left = top = 0;
        right = bottom = 0;
        bool first = true;
        for (const auto& output : outputs) {
            const int r = output->x + output->width;
            const int b = output->y + output->height;
            left = first ? output->x : std::min(left, output->x);
            top = first ? output->y : std::min(top, output->y);
            right = first ? r : std::max(right, r);
            bottom = first ? b : std::max(bottom, b);
            first = false;
        }
    }
};

namespace {

void xdgPosition(void* data, zxdg_output_v1*, int32_t x, int32_t y)
{
    auto* output = static_cast<Output*>(data);
    output->x = x;
    output->y = y;
}
void xdgSize(void* data, zxdg_output_v1*, int32_t width, int32_t height)
{
    auto* output = static_cast<Output*>(data);
    output->width = width;
    output->height = height;
}
void xdgDone(void*, zxdg_output_v1*)
{ }
void xdgName(void*, zxdg_output_v1*, const char*)
{ }
void xdgDescription(void*, zxdg_output_v1*, const char*)
{ }
const zxdg_output_v1_listener xdgOutputListener = {xdgPosition, xdgSize, xdgDone, xdgName, xdgDescription};

void registryGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version)
{
    auto* state = static_cast<VirtualInput::State*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !state->seat) {
        state->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
        auto output = std::make_unique<Output>();
        output->output = static_cast<wl_output*>(wl_registry_bind(registry, name, &wl_output_interface, 1));
        state->outputs.push_back(std::move(output));
    } else if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0) {
        state->outputManager = static_cast<zxdg_output_manager_v1*>(
            wl_registry_bind(registry, name, &zxdg_output_manager_v1_interface, std::min(version, 2u)));
    } else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
        state->pointerManager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
    } else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0) {
        state->keyboardManager = static_cast<zwp_virtual_keyboard_manager_v1*>(
            wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
    }
}
void registryGlobalRemove(void*, wl_registry*, uint32_t)
{ }
const wl_registry_listener registryListener = {registryGlobal, registryGlobalRemove};

// The compositor reads the keymap from a file it maps: the default US layout of xkbcommon,
// the same one the compositor gives its own keyboards.
bool sendKeymap(VirtualInput::State& state)
{
    state.xkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!state.xkb)
        return false;
    state.keymap = xkb_keymap_new_from_names(state.xkb, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!state.keymap)
        return false;
    state.keyState = xkb_state_new(state.keymap);
    char* text = xkb_keymap_get_as_string(state.keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    if (!text)
        return false;
    const size_t size = std::strlen(text) + 1;
    const int fd = memfd_create("vantrel-test-keymap", MFD_CLOEXEC);
    bool written = fd >= 0 && ftruncate(fd, off_t(size)) == 0;
    if (written) {
        void* map = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        written = map != MAP_FAILED;
        if (written) {
            std::memcpy(map, text, size);
            munmap(map, size);
        }
    }
    std::free(text);
    if (written)
        zwp_virtual_keyboard_v1_keymap(state.keyboard, keymapFormatXkbV1, fd, uint32_t(size));
    if (fd >= 0)
        close(fd);
    return written;
}

} // namespace

VirtualInput::VirtualInput()
    : m_state(std::make_unique<State>())
{ }

VirtualInput::~VirtualInput() = default;

std::unique_ptr<VirtualInput> VirtualInput::connect(std::string* error)
{
    auto fail = [error](const char* why) -> std::unique_ptr<VirtualInput> {
        if (error)
            *error = why;
        return nullptr;
    };
    std::unique_ptr<VirtualInput> input(new VirtualInput);
    State& state = *input->m_state;
    state.display = wl_display_connect(nullptr);
    if (!state.display)
        return fail("no Wayland display");
    state.registry = wl_display_get_registry(state.display);
    wl_registry_add_listener(state.registry, &registryListener, &state);
    if (wl_display_roundtrip(state.display) < 0)
        return fail("the compositor did not answer");
    if (!state.outputManager)
        return fail("the compositor does not say where its outputs are (no xdg-output)");
    for (auto& output : state.outputs) {
        output->xdgOutput = zxdg_output_manager_v1_get_xdg_output(state.outputManager, output->output);
        zxdg_output_v1_add_listener(output->xdgOutput, &xdgOutputListener, output.get());
    }
    if (wl_display_roundtrip(state.display) < 0)
        return fail("the compositor did not answer");
    if (!state.seat)
        return fail("the compositor has no seat");
    if (!state.pointerManager)
        return fail("the compositor offers no virtual pointer");
    if (!state.keyboardManager)
        return fail("the compositor offers no virtual keyboard");
    state.pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(state.pointerManager, state.seat);
    state.keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(state.keyboardManager, state.seat);
    if (!sendKeymap(state))
        return fail("no keymap for the virtual keyboard");
    if (!input->roundTrip())
        return fail("the compositor refused the virtual devices");
    return input;
}

bool VirtualInput::roundTrip()
{
    return wl_display_roundtrip(m_state->display) >= 0;
}

bool VirtualInput::moveTo(int x, int y)
{
    // The layout may have changed since the last call (an output added, moved or scaled): its
    // news are read first.
    if (!roundTrip())
        return false;
    int left, top, right, bottom;
    m_state->layout(left, top, right, bottom);
    if (right <= left || bottom <= top)
        return false;
    // The compositor maps x / extent onto the layout's width: a point is reached exactly when
    // the extent is the layout's size in logical pixels.
    const uint32_t px = uint32_t(std::clamp(x - left, 0, right - left - 1));
    const uint32_t py = uint32_t(std::clamp(y - top, 0, bottom - top - 1));
    zwlr_virtual_pointer_v1_motion_absolute(
        m_state->pointer, nowMs(), px, py, uint32_t(right - left), uint32_t(bottom - top));
    zwlr_virtual_pointer_v1_frame(m_state->pointer);
    return roundTrip();
}

bool VirtualInput::button(uint32_t code, bool pressed)
{
    zwlr_virtual_pointer_v1_button(
        m_state->pointer, nowMs(), code, pressed ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
    zwlr_virtual_pointer_v1_frame(m_state->pointer);
    return roundTrip();
}

bool VirtualInput::drag(int fromX, int fromY, int toX, int toY)
{
    return moveTo(fromX, fromY) && button(leftButton, true) && moveTo((fromX + toX) / 2, (fromY + toY) / 2)
        && moveTo(toX, toY) && button(leftButton, false);
}

bool VirtualInput::key(uint32_t code, bool pressed)
{
    State& state = *m_state;
    zwp_virtual_keyboard_v1_key(
        state.keyboard, nowMs(), code, pressed ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    // The compositor takes a virtual keyboard's modifiers as it is told them, not from its keys.
    const xkb_state_component changed
        = xkb_state_update_key(state.keyState, code + evdevToXkb, pressed ? XKB_KEY_DOWN : XKB_KEY_UP);
    if (changed
        & (XKB_STATE_MODS_DEPRESSED | XKB_STATE_MODS_LATCHED | XKB_STATE_MODS_LOCKED | XKB_STATE_LAYOUT_EFFECTIVE))
        zwp_virtual_keyboard_v1_modifiers(state.keyboard,
            xkb_state_serialize_mods(state.keyState, XKB_STATE_MODS_DEPRESSED),
            xkb_state_serialize_mods(state.keyState, XKB_STATE_MODS_LATCHED),
            xkb_state_serialize_mods(state.keyState, XKB_STATE_MODS_LOCKED),
            xkb_state_serialize_layout(state.keyState, XKB_STATE_LAYOUT_EFFECTIVE));
    return roundTrip();
}

} // namespace vantrel::test
