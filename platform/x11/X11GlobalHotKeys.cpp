// SPDX-License-Identifier: GPL-3.0-or-later
#include "x11/X11GlobalHotKeys.h"

#include "KeyCodes.h"
#include "KeyboardLayout.h"
#include "x11/X11Connection.h"
#include "x11/X11Reply.h"

#include <QCoreApplication>
#include <QTimer>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
// The XKB protocol header names a field "explicit", which C++ reserves.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-keysyms.h>

#include <set>

namespace vantrel {

namespace {

constexpr quint32 commandBit = 256;
constexpr quint32 shiftBit = 512;
constexpr quint32 optionBit = 2048;
constexpr quint32 controlBit = 4096;

} // namespace

X11GlobalHotKeys::X11GlobalHotKeys(KeyboardLayout* layoutToReload)
    : m_layout(layoutToReload)
    , m_keymapDebounce(new QTimer(this))
{
    m_keymapDebounce->setSingleShot(true);
    m_keymapDebounce->setInterval(150);
    connect(m_keymapDebounce, &QTimer::timeout, this, &X11GlobalHotKeys::keymapChanged);
    if (xcb_connection_t* c = x11::connection()) {
        if (const xcb_query_extension_reply_t* xkb = xcb_get_extension_data(c, &xcb_xkb_id); xkb && xkb->present)
            m_xkbFirstEvent = xkb->first_event;
    }
    readModifierMapping();
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11GlobalHotKeys::~X11GlobalHotKeys()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
    for (const auto& [ref, grab] : m_grabs)
        ungrab(grab);
    if (xcb_connection_t* c = x11::connection())
        xcb_flush(c);
}

void X11GlobalHotKeys::readModifierMapping()
{
    m_masks = Masks {};
    m_masks.shift = XCB_MOD_MASK_SHIFT;
    m_masks.control = XCB_MOD_MASK_CONTROL;
    quint16 numLock = 0, scrollLock = 0;

    xcb_connection_t* c = x11::connection();
    if (c) {
        // Which of Mod1…Mod5 carries Alt, Super, Num Lock and Scroll Lock depends on the keymap.
        xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(c);
        const auto mapping = x11::reply(xcb_get_modifier_mapping_reply, c, xcb_get_modifier_mapping(c));
        if (symbols && mapping) {
            const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(mapping.get());
            const int perModifier = mapping->keycodes_per_modifier;
            for (int mod = 3; mod < 8; ++mod) { // Mod1 … Mod5
                const quint16 bit = quint16(1u << mod);
                for (int k = 0; k < perModifier; ++k) {
                    const xcb_keycode_t code = codes[mod * perModifier + k];
                    if (code == 0)
                        continue;
                    for (int col = 0; col < 4; ++col) {
                        const xcb_keysym_t sym = xcb_key_symbols_get_keysym(symbols, code, col);
                        if (sym == XKB_KEY_Alt_L || sym == XKB_KEY_Alt_R || sym == XKB_KEY_Meta_L
                            || sym == XKB_KEY_Meta_R) {
                            if (!m_masks.alt)
                                m_masks.alt = bit;
                        } else if (sym == XKB_KEY_Super_L || sym == XKB_KEY_Super_R) {
                            if (!m_masks.super)
                                m_masks.super = bit;
                        } else if (sym == XKB_KEY_Num_Lock) {
                            numLock = bit;
                        } else if (sym == XKB_KEY_Scroll_Lock) {
                            scrollLock = bit;
                        }
                    }
                }
            }
        }
        if (symbols)
            xcb_key_symbols_free(symbols);
    }
    // The conventional layout when the server does not say otherwise.
    if (!m_masks.alt)
        m_masks.alt = XCB_MOD_MASK_1;
    if (!m_masks.super)
        m_masks.super = XCB_MOD_MASK_4;

    std::set<quint16> locks = {XCB_MOD_MASK_LOCK};
    if (numLock)
        locks.insert(numLock);
    if (scrollLock)
        locks.insert(scrollLock);
    std::set<quint16> variants = {0};
    for (quint16 lock : locks) {
        std::set<quint16> more = variants;
        for (quint16 v : variants)
            more.insert(v | lock);
        variants = more;
        m_masks.allLocks |= lock;
    }
    m_masks.lockVariants.assign(variants.begin(), variants.end());
}

std::optional<GlobalHotKeys::Reference> X11GlobalHotKeys::registerHotKey(
    quint32 keyCode, quint32 modifiers, quint32 identifier)
{
    xcb_connection_t* c = x11::connection();
    const auto evdev = keycodes::evdevForVirtualKey(keyCode);
    if (!c || !evdev || *evdev + keycodes::xkbOffset > 255)
        return std::nullopt;
    Grab grab {quint8(*evdev + keycodes::xkbOffset), 0, identifier};
    if (modifiers & commandBit)
        grab.mask |= m_masks.super;
    if (modifiers & shiftBit)
        grab.mask |= m_masks.shift;
    if (modifiers & optionBit)
        grab.mask |= m_masks.alt;
    if (modifiers & controlBit)
        grab.mask |= m_masks.control;

    // Grab every lock variant, then check each request: one refusal refuses the shortcut.
    std::vector<xcb_void_cookie_t> cookies;
    for (quint16 lock : m_masks.lockVariants) {
        cookies.push_back(xcb_grab_key_checked(
            c, 1, x11::rootWindow(), grab.mask | lock, grab.keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    }
    bool refused = false;
    for (xcb_void_cookie_t cookie : cookies) {
        if (x11::check(c, cookie))
            refused = true;
    }
    if (refused) {
        // Release the variants that did succeed; the other client keeps its own.
        ungrab(grab);
        xcb_flush(c);
        return std::nullopt;
    }
    const Reference ref = ++m_next;
    m_grabs[ref] = grab;
    return ref;
}

void X11GlobalHotKeys::ungrab(const Grab& grab)
{
    xcb_connection_t* c = x11::connection();
    if (!c)
        return;
    for (quint16 lock : m_masks.lockVariants)
        xcb_ungrab_key(c, grab.keycode, x11::rootWindow(), grab.mask | lock);
}

void X11GlobalHotKeys::unregisterHotKey(Reference reference)
{
    const auto it = m_grabs.find(reference);
    if (it == m_grabs.end())
        return;
    ungrab(it->second);
    m_grabs.erase(it);
    if (xcb_connection_t* c = x11::connection())
        xcb_flush(c);
}

void X11GlobalHotKeys::keymapChanged()
{
    readModifierMapping();
    if (m_layout)
        m_layout->reload();
    if (m_keymapHandler)
        m_keymapHandler();
}

bool X11GlobalHotKeys::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    const quint8 type = event->response_type & 0x7f;

    if (type == XCB_MAPPING_NOTIFY) {
        m_keymapDebounce->start();
        return false;
    }
    if (m_xkbFirstEvent && type == m_xkbFirstEvent) {
        // The XKB event's own kind sits in the byte after the response type.
        const quint8 xkbType = reinterpret_cast<const quint8*>(event)[1];
        if (xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY || xkbType == XCB_XKB_MAP_NOTIFY)
            m_keymapDebounce->start();
        return false;
    }
    if (type == XCB_KEY_RELEASE) {
        auto* release = reinterpret_cast<xcb_key_release_event_t*>(event);
        if (release->detail == m_heldKeycode)
            m_heldKeycode = 0;
        return false;
    }
    if (type != XCB_KEY_PRESS)
        return false;
    auto* press = reinterpret_cast<xcb_key_press_event_t*>(event);
    if (press->event != x11::rootWindow())
        return false;
    const quint16 state
        = press->state & ~m_masks.allLocks & (m_masks.shift | m_masks.control | m_masks.alt | m_masks.super);
    for (const auto& [ref, grab] : m_grabs) {
        if (grab.keycode == press->detail && grab.mask == state) {
            if (m_heldKeycode == press->detail)
                return true; // auto-repeat of a held shortcut
            m_heldKeycode = press->detail;
            if (m_pressHandler)
                m_pressHandler(grab.identifier);
            return true;
        }
    }
    return false;
}

} // namespace vantrel
