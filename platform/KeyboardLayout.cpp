// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeyboardLayout.h"

#include "KeyCodes.h"
#include "x11/X11Connection.h"

#include <xkbcommon/xkbcommon-keysyms.h>
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <array>

namespace vantrel {

namespace {

// Dead keys are named by the character they put in front of the next letter.
QString spacingCharacterForDeadKey(xkb_keysym_t sym)
{
    switch (sym) {
    case XKB_KEY_dead_grave: return QStringLiteral("`");
    case XKB_KEY_dead_acute: return QStringLiteral("\u00B4");
    case XKB_KEY_dead_circumflex: return QStringLiteral("^");
    case XKB_KEY_dead_tilde: return QStringLiteral("~");
    case XKB_KEY_dead_macron: return QStringLiteral("\u00AF");
    case XKB_KEY_dead_breve: return QStringLiteral("\u02D8");
    case XKB_KEY_dead_abovedot: return QStringLiteral("\u02D9");
    case XKB_KEY_dead_diaeresis: return QStringLiteral("\u00A8");
    case XKB_KEY_dead_abovering: return QStringLiteral("\u02DA");
    case XKB_KEY_dead_doubleacute: return QStringLiteral("\u02DD");
    case XKB_KEY_dead_caron: return QStringLiteral("\u02C7");
    case XKB_KEY_dead_cedilla: return QStringLiteral("\u00B8");
    case XKB_KEY_dead_ogonek: return QStringLiteral("\u02DB");
    default: return {};
    }
}

} // namespace

struct XkbKeyboardLayout::State
{
    xkb_context* context = nullptr;
    xkb_keymap* keymap = nullptr;
    xkb_state* state = nullptr;
    bool loaded = false;

    void clear()
    {
        if (state)
            xkb_state_unref(state);
        if (keymap)
            xkb_keymap_unref(keymap);
        state = nullptr;
        keymap = nullptr;
        loaded = false;
    }

    void load()
    {
        loaded = true;
        if (!context)
            context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
        if (!context)
            return;
        if (xcb_connection_t* c = x11::connection()) {
            const int32_t device = xkb_x11_get_core_keyboard_device_id(c);
            if (device >= 0)
                keymap = xkb_x11_keymap_new_from_device(context, c, device, XKB_KEYMAP_COMPILE_NO_FLAGS);
            if (keymap)
                state = xkb_x11_state_new_from_device(keymap, c, device);
        }
        if (!keymap) {
            keymap = xkb_keymap_new_from_names(context, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS);
            if (keymap)
                state = xkb_state_new(keymap);
        }
    }

    // A layout that types Latin letters on the letter keys; shortcuts are named in it, as a
    // Russian or Greek user expects their shortcuts named by the Latin letters.
    bool isAsciiCapable(xkb_layout_index_t layout) const
    {
        constexpr std::array<quint32, 3> probes = {16, 30, 44}; // Q, A, Z
        for (quint32 evdev : probes) {
            const xkb_keysym_t* syms = nullptr;
            const int n = xkb_keymap_key_get_syms_by_level(keymap, evdev + keycodes::xkbOffset, layout, 0, &syms);
            if (n < 1)
                return false;
            const uint32_t cp = xkb_keysym_to_utf32(syms[0]);
            if (!((cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z')))
                return false;
        }
        return true;
    }
};

XkbKeyboardLayout::XkbKeyboardLayout()
    : m_state(new State)
{ }

XkbKeyboardLayout::~XkbKeyboardLayout()
{
    m_state->clear();
    if (m_state->context)
        xkb_context_unref(m_state->context);
    delete m_state;
}

void XkbKeyboardLayout::reload()
{
    m_state->clear();
}

std::optional<QString> XkbKeyboardLayout::character(quint32 virtualKeyCode)
{
    if (!m_state->loaded)
        m_state->load();
    if (!m_state->keymap)
        return std::nullopt;
    const auto evdev = keycodes::evdevForVirtualKey(virtualKeyCode);
    if (!evdev)
        return QString();
    const xkb_keycode_t keycode = *evdev + keycodes::xkbOffset;

    const xkb_layout_index_t layouts = xkb_keymap_num_layouts(m_state->keymap);
    xkb_layout_index_t current = 0;
    if (m_state->state)
        current = xkb_state_serialize_layout(m_state->state, XKB_STATE_LAYOUT_EFFECTIVE);
    xkb_layout_index_t chosen = current;
    for (xkb_layout_index_t i = 0; i < layouts; ++i) {
        const xkb_layout_index_t candidate = (current + i) % layouts;
        if (m_state->isAsciiCapable(candidate)) {
            chosen = candidate;
            break;
        }
    }

    const xkb_keysym_t* syms = nullptr;
    const int n = xkb_keymap_key_get_syms_by_level(m_state->keymap, keycode, chosen, 0, &syms);
    if (n < 1)
        return QString();
    const QString dead = spacingCharacterForDeadKey(syms[0]);
    if (!dead.isEmpty())
        return dead;
    char buffer[64] = {};
    const int length = xkb_keysym_to_utf8(syms[0], buffer, sizeof buffer);
    if (length <= 1)
        return QString();
    return QString::fromUtf8(buffer, length - 1);
}

} // namespace vantrel
