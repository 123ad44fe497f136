// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRectF>

class QScreen;

namespace vantrel {

// The keys pressed during a recording, shown near the bottom of the recorded area.
class KeystrokeOverlay
{
public:
    static KeystrokeOverlay& shared();
    // `area` in points relative to the screen's top-left corner.
    void start(QScreen* screen, const QRectF& area);
    void stop();
};

} // namespace vantrel
