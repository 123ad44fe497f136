// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsWindow.h"

#include "SystemLog.h"

namespace vantrel {

void SettingsWindow::showWindow()
{
    systemLog(QStringLiteral("Vantrel: the settings window is not built yet"));
}

void FirstRunWindow::showWindow()
{
    systemLog(QStringLiteral("Vantrel: the first-run window is not built yet"));
}

} // namespace vantrel
