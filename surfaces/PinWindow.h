// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace vantrel {

// Screenshots pinned above other windows.
class PinWindow
{
public:
    static int pinCount();
    static bool anyLocked();
    static void unlockPins();
    static void closePins();
};

} // namespace vantrel
