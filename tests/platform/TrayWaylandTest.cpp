// SPDX-License-Identifier: GPL-3.0-or-later
// The status icon in a Wayland session, where tray icons travel over the session bus and Qt
// looks for the desktop's tray only once: a tray that starts after Vantrel still gets its icon.
#include "dbus/StatusNotifierTrayHost.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QGuiApplication>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>
#include <mutex>

using namespace vantrel;

namespace {

// The desktop's side of the bus tray as an icon meets it: a watcher that takes registrations.
class FakeTrayWatcher : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredItems)

public:
    bool isHostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QStringList registeredItems() const
    {
        const std::lock_guard lock(m_lock);
        return m_items;
    }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service)
    {
        const std::lock_guard lock(m_lock);
        m_items.append(service);
    }
    void RegisterStatusNotifierHost(const QString&) { }

private:
    mutable std::mutex m_lock;
    QStringList m_items;
};

} // namespace

TEST(TrayWayland, AnIconMadeWhenALateTrayStartsRegistersWithIt)
{
    ASSERT_TRUE(QGuiApplication::platformName().startsWith(QLatin1String("wayland")));
    const QString service = QString::fromLatin1(StatusNotifierTrayHost::watcherService);
    ASSERT_FALSE(QDBusConnection::sessionBus().interface()->isServiceRegistered(service));

    StatusNotifierTrayHost host(QDBusConnection::sessionBus());
    std::unique_ptr<QSystemTrayIcon> icon;
    int appeared = 0;
    ASSERT_FALSE(host.availableOrWhenItAppears([&] {
        ++appeared;
        QPixmap picture(22, 22);
        picture.fill(Qt::darkCyan);
        icon = std::make_unique<QSystemTrayIcon>(QIcon(picture));
        icon->show();
    }));

    // The desktop's tray starts, on a connection and a thread of its own: Qt reads its
    // properties with blocking calls.
    QDBusConnection desktop = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("desktop"));
    ASSERT_TRUE(desktop.isConnected());
    QThread desktopThread;
    desktopThread.start();
    FakeTrayWatcher watcher;
    watcher.moveToThread(&desktopThread);
    ASSERT_TRUE(
        desktop.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher, QDBusConnection::ExportAllContents));
    ASSERT_TRUE(desktop.registerService(service));

    ASSERT_TRUE(QTest::qWaitFor([&] { return appeared > 0; }, 5000));
    EXPECT_TRUE(QSystemTrayIcon::isSystemTrayAvailable());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !watcher.registeredItems().isEmpty(); }, 5000))
        << "the icon never reached the tray";
    // Once running, the tray is there at once, and the first wait does not fire again.
    EXPECT_TRUE(host.availableOrWhenItAppears([] { ADD_FAILURE() << "asked again"; }));
    desktop.unregisterService(service);
    desktop.registerService(service);
    QCoreApplication::processEvents();
    EXPECT_EQ(appeared, 1);

    icon.reset();
    desktop.unregisterObject(QStringLiteral("/StatusNotifierWatcher"));
    QDBusConnection::disconnectFromBus(QStringLiteral("desktop"));
    desktopThread.quit();
    desktopThread.wait();
}

#include "TrayWaylandTest.moc"
