// SPDX-License-Identifier: GPL-3.0-or-later
#include "XdgPaths.h"

#include <QStandardPaths>

namespace vantrel::xdg {

QString configDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Vantrel");
}

QString settingsFile()
{
    return configDir() + QStringLiteral("/settings.json");
}

QString dataDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Vantrel");
}

QString historyDir()
{
    return dataDir() + QStringLiteral("/History");
}

QString autostartFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/autostart/vantrel.desktop");
}

QString desktopDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
}

} // namespace vantrel::xdg
