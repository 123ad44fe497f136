// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "GlobalHotKeys.h"

namespace vantrel {

// Where neither Vantrel nor a portal can bind keys (a Wayland desktop without the shortcut
// portal), the user binds `vantrel --action NAME` in the desktop's own settings. Registrations
// are accepted and do nothing, so that no refusal is logged for keys Vantrel never could grab.
class DesktopBoundHotKeys : public GlobalHotKeys
{
public:
    std::optional<Reference> registerHotKey(quint32, quint32, quint32 identifier) override { return identifier; }
    void unregisterHotKey(Reference) override { }
    void setPressHandler(PressHandler) override { }
    void setKeymapChangedHandler(std::function<void()>) override { }
};

} // namespace vantrel
