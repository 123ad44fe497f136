// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

namespace vantrel {

// How the user picks a window for a window capture.
enum class WindowSelection {
    list, // Vantrel knows every window's frame: the overlay highlights the one under the pointer
    picker, // the desktop shows its own window picker (the screenshot portal's interactive mode)
    none, // neither: window capture is not offered
};

// Who decides the keys of Vantrel's global shortcuts.
enum class ShortcutBinding {
    vantrel, // Vantrel grabs the keys it stores itself
    portal, // Vantrel proposes its keys; the desktop binds them, asks the user and may change them
    desktop, // only the desktop's own settings can bind keys, to `vantrel --action NAME`
};

// What the windowing system in use lets Vantrel do. Windows and menus read it to offer only
// what works; nothing above platform/ learns which windowing system answers.
struct PlatformCapabilities
{
    WindowSelection windowSelection = WindowSelection::list;
    ShortcutBinding shortcuts = ShortcutBinding::vantrel;
    // Areas of the screen can be recorded into movies.
    bool recording = true;
    // A window can let clicks pass through to the windows beneath it (a locked pin). A Wayland
    // client cannot have the compositor do that for a window already on screen.
    bool clickThrough = true;

    bool operator==(const PlatformCapabilities&) const = default;
};

// What the installed platform offers; X11's answers when none is installed (tests, self-test).
const PlatformCapabilities& platformCapabilities();
// Installs the platform's answers (the desktop platform at start-up, tests for their fakes).
void setPlatformCapabilities(const PlatformCapabilities& capabilities);
// Changes only who binds the shortcuts: a desktop's shortcut service can appear, refuse or go
// away while Vantrel runs.
void setShortcutBinding(ShortcutBinding binding);

// Tells windows that show what the platform offers when the answers change.
class PlatformCapabilityChanges : public QObject
{
    Q_OBJECT
public:
    static PlatformCapabilityChanges& instance();

Q_SIGNALS:
    // Emitted on the main thread after the answers changed.
    void changed();
};

} // namespace vantrel
