// SPDX-License-Identifier: GPL-3.0-or-later
#include "dbus/StatusNotifierTrayHost.h"

#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>

namespace vantrel {

StatusNotifierTrayHost::StatusNotifierTrayHost(const QDBusConnection& bus)
    : m_bus(bus)
{ }

StatusNotifierTrayHost::~StatusNotifierTrayHost() = default;

bool StatusNotifierTrayHost::availableOrWhenItAppears(std::function<void()> appeared)
{
    const QString service = QString::fromLatin1(watcherService);
    // Watched before the question is asked, so a tray that starts in between is not missed.
    auto watcher = std::make_unique<QDBusServiceWatcher>(service, m_bus, QDBusServiceWatcher::WatchForRegistration);
    QDBusConnectionInterface* bus = m_bus.interface();
    if (!bus || bus->isServiceRegistered(service))
        return true;
    QDBusServiceWatcher* watching = watcher.get();
    QObject::connect(
        watching, &QDBusServiceWatcher::serviceRegistered, watching, [this, watching, appeared = std::move(appeared)] {
            // Once: the watcher goes after this signal, and with it the connection.
            if (m_watcher.get() != watching)
                return;
            m_watcher.release()->deleteLater();
            appeared();
        });
    m_watcher = std::move(watcher);
    return false;
}

} // namespace vantrel
