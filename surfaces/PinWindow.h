// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QImage;

namespace vantrel {

// Screenshots pinned above other windows.
class PinWindow
{
public:
    // Floats the image above other windows; `scale` is its pixels per point.
    static void pin(const QImage& image, double scale);
    static int pinCount();
    static bool anyLocked();
    static void unlockPins();
    static void closePins();
};

} // namespace vantrel
