// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "GlobalHotKeys.h"
#include "KeyCombo.h"
#include "SettingsTypes.h"

#include <QObject>

#include <functional>
#include <map>
#include <vector>

namespace vantrel {

// The name printed on a key: fixed glyphs for the editing, arrow and function keys, otherwise
// the key's character in the user's layout, upper-cased; "?" without a layout.
QString keyName(quint32 keyCode);
// Modifier glyphs ⌃⌥⇧⌘ (in that order, each only when held) followed by the key name. The
// compact form kept for the self-test line and for anything that stores or compares labels.
QString comboLabel(const KeyCombo& combo);
// The shortcut as Linux desktops write it, e.g. "Shift+Super+S", "Ctrl+Alt+Print": the form
// every window, menu and tooltip shows the user.
QString shortcutText(const KeyCombo& combo);

// Registers the stored shortcuts with the desktop and turns presses into actions.
class HotKeyManager : public QObject
{
    Q_OBJECT
public:
    using Handler = std::function<void(HotKeyAction)>;

    // Four-character signature of every shortcut identifier; the number is position + 1.
    static constexpr quint32 signature = 0x564E544C; // 'VNTL'

    // The process-wide manager; it re-registers whenever the settings store new shortcuts.
    static HotKeyManager& shared();

    explicit HotKeyManager(QObject* parent = nullptr);
    ~HotKeyManager() override;

    // What a shortcut press runs, on a later turn of the main event loop.
    void setHandler(Handler handler) { m_handler = std::move(handler); }
    // While suspended (a shortcut is being recorded) no shortcut is registered.
    bool suspended() const { return m_suspended; }
    void setSuspended(bool suspended) { m_suspended = suspended; }

    // Releases every shortcut and registers those stored in the settings again.
    void registerAll();

    // The press handler given to the desktop; public so that tests can press.
    void handlePress(quint32 identifier);

    int registeredCount() const { return static_cast<int>(m_refs.size()); }

    // Where the desktop has the last word on the keys: how it shows those it bound for the
    // action ("Shift+Meta+S"); empty when it said nothing (and where Vantrel grabs the keys).
    QString desktopTrigger(HotKeyAction action) const;

Q_SIGNALS:
    // The desktop bound, changed or dropped keys: desktopTrigger answers may differ now.
    void desktopTriggersChanged();

private:
    Handler m_handler;
    std::vector<GlobalHotKeys::Reference> m_refs;
    std::map<quint32, HotKeyAction> m_idToAction;
    bool m_installed = false;
    bool m_suspended = false;
};

} // namespace vantrel
