// SPDX-License-Identifier: GPL-3.0-or-later
#include "PinWindow.h"

#include "SystemLog.h"

namespace vantrel {

void PinWindow::pin(const QImage&, double)
{
    systemLog(QStringLiteral("Vantrel: pinned screenshots are not built yet"));
}

int PinWindow::pinCount()
{
    return 0;
}

bool PinWindow::anyLocked()
{
    return false;
}

void PinWindow::unlockPins()
{
    systemLog(QStringLiteral("Vantrel: pinned screenshots are not built yet"));
}

void PinWindow::closePins()
{
    systemLog(QStringLiteral("Vantrel: pinned screenshots are not built yet"));
}

} // namespace vantrel
