// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>
#include <optional>

namespace vantrel {

// The desktop's system-wide shortcut service. Key codes are the stored virtual key codes,
// modifiers the stored bits (command 256, shift 512, option 2048, control 4096).
class GlobalHotKeys
{
public:
    using Reference = quint64;
    using PressHandler = std::function<void(quint32 identifier)>;

    virtual ~GlobalHotKeys() = default;
    // Names a shortcut before it is registered, for desktops that list applications' shortcuts
    // to the user: a stable name ("captureArea") and a translated description ("Capture Area").
    virtual void describeHotKey(quint32 identifier, const QString& name, const QString& description) { }
    // A reference on success; none when the desktop refuses the combination.
    virtual std::optional<Reference> registerHotKey(quint32 keyCode, quint32 modifiers, quint32 identifier) = 0;
    virtual void unregisterHotKey(Reference reference) = 0;
    // Called on the main thread with the identifier of each registered shortcut pressed.
    virtual void setPressHandler(PressHandler handler) = 0;
    // Called after the keyboard mapping changed; every shortcut should be registered again.
    virtual void setKeymapChangedHandler(std::function<void()> handler) = 0;
    // Where the desktop has the last word on the keys (a shortcut portal): how it shows the keys
    // it bound for a registered shortcut, in its own words ("Shift+Meta+S"); empty when it
    // reported none (and always where Vantrel grabs the stored keys itself).
    virtual QString boundTrigger(quint32 identifier) const { return {}; }
    // Called on the main thread when boundTrigger answers may have changed.
    virtual void setBoundTriggersChangedHandler(std::function<void()> handler) { }
};

} // namespace vantrel
