// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TrayHost.h"

#include <QDBusConnection>

#include <memory>

class QDBusServiceWatcher;

namespace vantrel {

// The tray as the StatusNotifierItem hosts offer it (KDE's panel, GNOME's AppIndicator
// extension, waybar…): present while their watcher holds its name on the session bus.
class StatusNotifierTrayHost : public TrayHost
{
public:
    explicit StatusNotifierTrayHost(const QDBusConnection& bus);
    ~StatusNotifierTrayHost() override;

    bool availableOrWhenItAppears(std::function<void()> appeared) override;

    static constexpr const char* watcherService = "org.kde.StatusNotifierWatcher";

private:
    QDBusConnection m_bus;
    std::unique_ptr<QDBusServiceWatcher> m_watcher;
};

} // namespace vantrel
