// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "GlobalHotKeys.h"

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <map>
#include <vector>

class QTimer;

namespace vantrel {

class KeyboardLayout;

// System-wide shortcuts as passive key grabs on the root window. Each shortcut is grabbed once
// per combination of the lock modifiers (Caps, Num, Scroll), so it fires whatever locks are on.
// A grab another client already holds answers BadAccess: the shortcut is refused as a whole.
class X11GlobalHotKeys : public QObject, public GlobalHotKeys, public QAbstractNativeEventFilter
{
    Q_OBJECT
public:
    explicit X11GlobalHotKeys(KeyboardLayout* layoutToReload = nullptr);
    ~X11GlobalHotKeys() override;

    std::optional<Reference> registerHotKey(quint32 keyCode, quint32 modifiers, quint32 identifier) override;
    void unregisterHotKey(Reference reference) override;
    void setPressHandler(PressHandler handler) override { m_pressHandler = std::move(handler); }
    void setKeymapChangedHandler(std::function<void()> handler) override { m_keymapHandler = std::move(handler); }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    struct Grab
    {
        quint8 keycode;
        quint16 mask; // X modifier mask without lock bits
        quint32 identifier;
    };
    struct Masks
    {
        quint16 shift = 0, control = 0, alt = 0, super = 0;
        std::vector<quint16> lockVariants; // every combination of the lock modifiers, 0 first
        quint16 allLocks = 0;
    };

    void readModifierMapping();
    void ungrab(const Grab& grab);
    void keymapChanged();

    Masks m_masks;
    std::map<Reference, Grab> m_grabs;
    Reference m_next = 0;
    PressHandler m_pressHandler;
    std::function<void()> m_keymapHandler;
    KeyboardLayout* m_layout;
    QTimer* m_keymapDebounce;
    quint8 m_xkbFirstEvent = 0;
    quint8 m_heldKeycode = 0; // a shortcut key still down: its auto-repeat does not fire again
};

} // namespace vantrel
