// SPDX-License-Identifier: GPL-3.0-or-later
// vantrel-fake-access-portal: the access dialog of a desktop's portal backend, answering "allow"
// to every question without showing anything. xdg-desktop-portal offers its screenshot portal
// only where some backend provides this dialog; the wlroots backend does not.
//
//   vantrel-fake-access-portal BUS_NAME     (owns BUS_NAME on the session bus until ended)
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>

#include <cstdio>

namespace {

class FakeAccessPortal : public QDBusVirtualObject
{
public:
    QString introspect(const QString&) const override
    {
        return QStringLiteral(R"(<interface name="org.freedesktop.impl.portal.Access">
  <method name="AccessDialog">
    <arg type="o" name="handle" direction="in"/>
    <arg type="s" name="app_id" direction="in"/>
    <arg type="s" name="parent_window" direction="in"/>
    <arg type="s" name="title" direction="in"/>
    <arg type="s" name="subtitle" direction="in"/>
    <arg type="s" name="body" direction="in"/>
    <arg type="a{sv}" name="options" direction="in"/>
    <arg type="u" name="response" direction="out"/>
    <arg type="a{sv}" name="results" direction="out"/>
  </method>
</interface>)");
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.interface() != QLatin1String("org.freedesktop.impl.portal.Access")
            || message.member() != QLatin1String("AccessDialog"))
            return false;
        // 0: the user allowed it.
        connection.send(message.createReply(QVariantList {0u, QVariantMap {}}));
        return true;
    }
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: vantrel-fake-access-portal BUS_NAME\n");
        return 2;
    }
    FakeAccessPortal portal;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerVirtualObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal)
        || !bus.registerService(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "vantrel-fake-access-portal: cannot own %s\n", argv[1]);
        return 1;
    }
    return app.exec();
}
