// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

namespace vantrel {

// The desktop's tray, as far as a status icon is concerned. Where tray icons travel over the
// session bus (a Wayland session), Qt looks for the desktop's tray once, when the first icon is
// made: an icon made before the tray has started — Vantrel started at login ahead of the panel —
// would stay hidden for the whole run.
class TrayHost
{
public:
    virtual ~TrayHost() = default;

    // Whether a status icon made now shows. When it would not, `appeared` is called once, when
    // the desktop's tray starts.
    virtual bool availableOrWhenItAppears(std::function<void()> appeared) = 0;
};

} // namespace vantrel
