// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShortcutRecorder.h"

#include "HotKeys.h"
#include "KeyCodes.h"
#include "Settings.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>

#include <map>

namespace vantrel {

namespace {

constexpr quint32 escapeKey = 53;
constexpr quint32 deleteKey = 51;

// Virtual key codes of the keys Qt names, for key events that carry no X keycode (other
// platforms, synthetic events).
const std::map<int, quint32>& qtKeyTable()
{
    static const std::map<int, quint32> table = {{Qt::Key_A, 0}, {Qt::Key_S, 1}, {Qt::Key_D, 2}, {Qt::Key_F, 3},
        {Qt::Key_H, 4}, {Qt::Key_G, 5}, {Qt::Key_Z, 6}, {Qt::Key_X, 7}, {Qt::Key_C, 8}, {Qt::Key_V, 9}, {Qt::Key_B, 11},
        {Qt::Key_Q, 12}, {Qt::Key_W, 13}, {Qt::Key_E, 14}, {Qt::Key_R, 15}, {Qt::Key_Y, 16}, {Qt::Key_T, 17},
        {Qt::Key_1, 18}, {Qt::Key_2, 19}, {Qt::Key_3, 20}, {Qt::Key_4, 21}, {Qt::Key_6, 22}, {Qt::Key_5, 23},
        {Qt::Key_9, 25}, {Qt::Key_7, 26}, {Qt::Key_8, 28}, {Qt::Key_0, 29}, {Qt::Key_O, 31}, {Qt::Key_U, 32},
        {Qt::Key_I, 34}, {Qt::Key_P, 35}, {Qt::Key_L, 37}, {Qt::Key_J, 38}, {Qt::Key_K, 40}, {Qt::Key_N, 45},
        {Qt::Key_M, 46}, {Qt::Key_Return, 36}, {Qt::Key_Tab, 48}, {Qt::Key_Space, 49}, {Qt::Key_Backspace, 51},
        {Qt::Key_Escape, 53}, {Qt::Key_Delete, 117}, {Qt::Key_Home, 115}, {Qt::Key_End, 119}, {Qt::Key_PageUp, 116},
        {Qt::Key_PageDown, 121}, {Qt::Key_F1, 122}, {Qt::Key_F2, 120}, {Qt::Key_F3, 99}, {Qt::Key_F4, 118},
        {Qt::Key_F5, 96}, {Qt::Key_F6, 97}, {Qt::Key_F7, 98}, {Qt::Key_F8, 100}, {Qt::Key_F9, 101}, {Qt::Key_F10, 109},
        {Qt::Key_F11, 103}, {Qt::Key_F12, 111}, {Qt::Key_F13, 105}, {Qt::Key_F14, 107}, {Qt::Key_F15, 113},
        {Qt::Key_Left, 123}, {Qt::Key_Right, 124}, {Qt::Key_Down, 125}, {Qt::Key_Up, 126},
        {Qt::Key_Print, keycodes::evdevFlag + 99}, {Qt::Key_Pause, keycodes::evdevFlag + 119},
        {Qt::Key_ScrollLock, keycodes::evdevFlag + 70}};
    return table;
}

// Keys that type nothing, so they may be shortcuts on their own: the function keys, the
// arrows, and Print, Pause and Scroll Lock (Print alone is the screenshot key on Linux).
bool usableWithoutModifiers(quint32 keyCode)
{
    switch (keyCode) {
    case 122:
    case 120:
    case 99:
    case 118:
    case 96:
    case 97:
    case 98:
    case 100:
    case 101:
    case 109:
    case 103:
    case 111:
    case 105:
    case 107:
    case 113: // F1 … F15
    case 123:
    case 124:
    case 125:
    case 126: // arrows
    case keycodes::evdevFlag + 99:
    case keycodes::evdevFlag + 119:
    case keycodes::evdevFlag + 70: return true;
    default: return false;
    }
}

} // namespace

RecorderButton::RecorderButton(QWidget* parent)
    : QPushButton(parent)
{
    setMinimumWidth(130);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(this, &QPushButton::clicked, this, &RecorderButton::toggle);
    refreshTitle();
}

RecorderButton::~RecorderButton()
{
    if (m_recording)
        stop(std::nullopt);
}

void RecorderButton::setAction(HotKeyAction action)
{
    m_action = action;
    refreshTitle();
}

void RecorderButton::refreshTitle()
{
    if (m_recording) {
        setText(tr("Type shortcut…"));
        return;
    }
    const HotKeyMap& hotKeys = Settings::shared().hotKeys();
    const auto entry = hotKeys.find(rawValue(m_action));
    setText(entry != hotKeys.end() ? shortcutText(entry->second) : tr("Record Shortcut"));
}

void RecorderButton::toggle()
{
    if (m_recording)
        stop(std::nullopt);
    else
        start();
}

void RecorderButton::start()
{
    m_recording = true;
    HotKeyManager& manager = HotKeyManager::shared();
    manager.setSuspended(true);
    manager.registerAll();
    refreshTitle();
    if (!m_monitoring) {
        qApp->installEventFilter(this);
        m_monitoring = true;
    }
}

void RecorderButton::stop(std::optional<HotKeyMap> newMap)
{
    m_recording = false;
    if (m_monitoring) {
        qApp->removeEventFilter(this);
        m_monitoring = false;
    }
    HotKeyManager& manager = HotKeyManager::shared();
    manager.setSuspended(false);
    if (newMap)
        Settings::shared().setHotKeys(*newMap); // stores and registers again
    else
        manager.registerAll();
    refreshTitle();
}

bool RecorderButton::eventFilter(QObject* watched, QEvent* event)
{
    // One key press reaches the filter once per object on its way; take it at the first.
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    return handleKey(*static_cast<QKeyEvent*>(event));
}

std::optional<quint32> RecorderButton::virtualKeyFromEvent(const QKeyEvent& event)
{
    if (event.nativeScanCode() > keycodes::xkbOffset)
        return keycodes::virtualKeyForEvdev(event.nativeScanCode() - keycodes::xkbOffset);
    const auto it = qtKeyTable().find(event.key());
    if (it == qtKeyTable().end())
        return std::nullopt;
    return it->second;
}

std::optional<KeyCombo> RecorderButton::comboFromEvent(const QKeyEvent& event)
{
    const auto keyCode = virtualKeyFromEvent(event);
    if (!keyCode)
        return std::nullopt;
    quint32 modifiers = 0;
    if (event.modifiers() & Qt::MetaModifier)
        modifiers |= KeyCombo::command;
    if (event.modifiers() & Qt::ShiftModifier)
        modifiers |= KeyCombo::shift;
    if (event.modifiers() & Qt::AltModifier)
        modifiers |= KeyCombo::option;
    if (event.modifiers() & Qt::ControlModifier)
        modifiers |= KeyCombo::control;
    if (modifiers == 0 && !usableWithoutModifiers(*keyCode))
        return std::nullopt;
    return KeyCombo {*keyCode, modifiers};
}

bool RecorderButton::handleKey(const QKeyEvent& event)
{
    if (!m_recording)
        return false;
    // A lone modifier is the start of a combination, not one.
    switch (event.key()) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_AltGr: return true;
    default: break;
    }
    const auto keyCode = virtualKeyFromEvent(event);
    const Qt::KeyboardModifiers held
        = event.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (keyCode == escapeKey) {
        stop(std::nullopt);
        return true;
    }
    if (keyCode == deleteKey && held == Qt::NoModifier) {
        HotKeyMap map = Settings::shared().hotKeys();
        map.erase(rawValue(m_action));
        stop(map);
        return true;
    }
    const auto combo = comboFromEvent(event);
    if (!combo)
        return true; // swallowed; recording goes on
    HotKeyMap map = Settings::shared().hotKeys();
    std::erase_if(map, [&](const auto& entry) { return entry.second == *combo; });
    map[rawValue(m_action)] = *combo;
    stop(map);
    return true;
}

ShortcutRecorder::ShortcutRecorder(HotKeyAction action, QWidget* parent)
    : QWidget(parent)
    , m_button(new RecorderButton(this))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_button);
    m_button->setAction(action);
}

} // namespace vantrel
