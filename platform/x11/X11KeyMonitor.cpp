// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeyCodes.h"
#include "KeyMonitor.h"
#include "x11/X11RawInput.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>

#include <xkbcommon/xkbcommon-keysyms.h>
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <atomic>
#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

namespace vantrel {

namespace {

constexpr quint32 commandBit = 256;
constexpr quint32 shiftBit = 512;
constexpr quint32 optionBit = 2048;
constexpr quint32 controlBit = 4096;

Error monitorError(const QString& what)
{
    return Error {.domain = QStringLiteral("X11"), .description = what};
}

bool isModifierKey(xkb_keysym_t sym)
{
    return (sym >= XKB_KEY_Shift_L && sym <= XKB_KEY_Hyper_R)
        || (sym >= XKB_KEY_ISO_Lock && sym <= XKB_KEY_ISO_Last_Group_Lock) || sym == XKB_KEY_Mode_switch
        || sym == XKB_KEY_Num_Lock;
}

// How people name the keys that print nothing; other keys by their keysym's name, with the
// vendor prefix and underscores gone ("XF86AudioMute" → "AudioMute", "KP_Home" → "KP Home").
QString symbolName(xkb_keysym_t sym)
{
    switch (sym) {
    case XKB_KEY_Prior: return QStringLiteral("Page Up");
    case XKB_KEY_Next: return QStringLiteral("Page Down");
    case XKB_KEY_Scroll_Lock: return QStringLiteral("Scroll Lock");
    case XKB_KEY_Caps_Lock: return QStringLiteral("Caps Lock");
    case XKB_KEY_KP_Enter: return QStringLiteral("Enter");
    case XKB_KEY_Sys_Req: return QStringLiteral("SysRq");
    case XKB_KEY_XF86AudioRaiseVolume: return QStringLiteral("Volume Up");
    case XKB_KEY_XF86AudioLowerVolume: return QStringLiteral("Volume Down");
    case XKB_KEY_XF86AudioMute: return QStringLiteral("Mute");
    default: break;
    }
    char buffer[64] = {};
    if (xkb_keysym_get_name(sym, buffer, sizeof buffer) <= 0)
        return {};
    QString name = QString::fromLatin1(buffer);
    if (name.startsWith(QLatin1String("XF86")))
        name = name.mid(4);
    name.replace(QLatin1Char('_'), QLatin1Char(' '));
    return name;
}

} // namespace

struct X11KeyMonitor::State
{
    QObject context; // lives on the main thread; presses are posted to it
    PressHandler handler;
    std::thread thread;
    int wake = -1; // eventfd that ends the thread
    std::atomic<bool> running {false};

    xcb_connection_t* c = nullptr;
    xkb_context* xkb = nullptr;
    xkb_keymap* keymap = nullptr;
    xkb_state* keys = nullptr;
    uint8_t opcode = 0;

    void release()
    {
        if (keys)
            xkb_state_unref(keys);
        if (keymap)
            xkb_keymap_unref(keymap);
        if (xkb)
            xkb_context_unref(xkb);
        if (c)
            xcb_disconnect(c);
        if (wake >= 0)
            ::close(wake);
        keys = nullptr;
        keymap = nullptr;
        xkb = nullptr;
        c = nullptr;
        wake = -1;
    }

    std::optional<Error> open()
    {
        c = xcb_connect(nullptr, nullptr);
        if (!c || xcb_connection_has_error(c))
            return monitorError(QStringLiteral("Could not connect to the X server"));
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        if (!xkb_x11_setup_xkb_extension(c, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr))
            return monitorError(QStringLiteral("The X server has no keyboard extension"));
        xkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
        const int32_t device = xkb ? xkb_x11_get_core_keyboard_device_id(c) : -1;
        if (device >= 0)
            keymap = xkb_x11_keymap_new_from_device(xkb, c, device, XKB_KEYMAP_COMPILE_NO_FLAGS);
        // The state as the server has it now, so modifiers already held count.
        if (keymap)
            keys = xkb_x11_state_new_from_device(keymap, c, device);
        if (!keys)
            return monitorError(QStringLiteral("Could not read the keyboard map"));
        const std::optional<uint8_t> raw = x11::selectRawInput(c, root, x11::rawKeys);
        if (!raw)
            return monitorError(QStringLiteral("The X server has no XInput 2"));
        opcode = *raw;
        xcb_flush(c);
        wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (wake < 0)
            return monitorError(QStringLiteral("Could not create an event descriptor"));
        return std::nullopt;
    }

    quint32 modifiers() const
    {
        auto held
            = [&](const char* name) { return xkb_state_mod_name_is_active(keys, name, XKB_STATE_MODS_EFFECTIVE) > 0; };
        quint32 bits = 0;
        if (held(XKB_MOD_NAME_CTRL))
            bits |= controlBit;
        if (held(XKB_MOD_NAME_ALT))
            bits |= optionBit;
        if (held(XKB_MOD_NAME_SHIFT))
            bits |= shiftBit;
        if (held(XKB_MOD_NAME_LOGO))
            bits |= commandBit;
        return bits;
    }

    void handle(const xcb_generic_event_t* event)
    {
        const xcb_input_raw_key_press_event_t* raw = x11::rawInputEvent(event, opcode);
        if (!raw)
            return;
        const xkb_keycode_t keycode = raw->detail;
        if (raw->event_type == XCB_INPUT_RAW_KEY_RELEASE) {
            xkb_state_update_key(keys, keycode, XKB_KEY_UP);
            return;
        }
        if (raw->event_type != XCB_INPUT_RAW_KEY_PRESS)
            return;
        const xkb_keysym_t sym = xkb_state_key_get_one_sym(keys, keycode);
        KeyPress press;
        press.modifiers = modifiers();
        xkb_state_update_key(keys, keycode, XKB_KEY_DOWN);
        // Auto-repeat sends presses without releases; a held modifier alone is no keystroke.
        if (isModifierKey(sym) || keycode < keycodes::xkbOffset)
            return;
        press.keyCode = keycodes::virtualKeyForEvdev(keycode - keycodes::xkbOffset);
        press.symbolName = symbolName(sym);
        QMetaObject::invokeMethod(
            &context,
            [this, press] {
                if (running && handler)
                    handler(press);
            },
            Qt::QueuedConnection);
    }

    void run()
    {
        const int fd = xcb_get_file_descriptor(c);
        while (running) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
                handle(event);
                std::free(event);
            }
            if (xcb_connection_has_error(c))
                return;
            pollfd fds[2] = {{fd, POLLIN, 0}, {wake, POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0 && errno != EINTR)
                return;
            if (fds[1].revents)
                return;
        }
    }
};

X11KeyMonitor::X11KeyMonitor()
    : m_state(std::make_unique<State>())
{ }

X11KeyMonitor::~X11KeyMonitor()
{
    stop();
}

std::optional<Error> X11KeyMonitor::start(PressHandler handler)
{
    stop();
    // Under a Wayland compositor, XWayland gives X clients the keys of X windows only.
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        || (qGuiApp && QGuiApplication::platformName() != QLatin1String("xcb")))
        return monitorError(QStringLiteral("This desktop does not let applications read each other's keys"));
    State& s = *m_state;
    if (std::optional<Error> error = s.open()) {
        s.release();
        return error;
    }
    s.handler = std::move(handler);
    s.running = true;
    s.thread = std::thread([&s] { s.run(); });
    return std::nullopt;
}

void X11KeyMonitor::stop()
{
    State& s = *m_state;
    s.running = false;
    if (s.thread.joinable()) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(s.wake, &one, sizeof one);
        s.thread.join();
    }
    s.handler = {};
    s.release();
}

} // namespace vantrel
