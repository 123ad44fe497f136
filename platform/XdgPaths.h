// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace vantrel::xdg {

// Where Vantrel keeps its files, following the XDG base directories. Each call reads the
// environment afresh, so tests that point XDG_* at a temporary folder are honoured.
QString configDir(); // $XDG_CONFIG_HOME/Vantrel
QString settingsFile(); // $XDG_CONFIG_HOME/Vantrel/settings.json
QString dataDir(); // $XDG_DATA_HOME/Vantrel
QString historyDir(); // $XDG_DATA_HOME/Vantrel/History
QString autostartFile(); // $XDG_CONFIG_HOME/autostart/vantrel.desktop
QString desktopDir(); // the user's desktop folder

} // namespace vantrel::xdg
