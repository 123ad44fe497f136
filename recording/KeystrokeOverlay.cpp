// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeystrokeOverlay.h"

#include "SystemLog.h"

namespace vantrel {

KeystrokeOverlay& KeystrokeOverlay::shared()
{
    static KeystrokeOverlay instance;
    return instance;
}

void KeystrokeOverlay::start(QScreen*, const QRectF&)
{
    systemLog(QStringLiteral("Vantrel: the keystroke overlay is not built yet"));
}

void KeystrokeOverlay::stop()
{ }

} // namespace vantrel
