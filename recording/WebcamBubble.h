// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRectF>

class QScreen;

namespace vantrel {

// The round camera picture in the recorded area's bottom-right corner.
class WebcamBubble
{
public:
    static WebcamBubble& shared();
    bool isShowing() const { return false; }
    // `area` in points relative to the screen's top-left corner.
    void show(QScreen* screen, const QRectF& area);
    void hide();
};

} // namespace vantrel
