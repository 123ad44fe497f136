// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeDesktopPortal.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QTimer>
#include <QUrl>

namespace vantrel::test {

// One entry of the shortcut portal's a(sa{sv}).
struct FakeShortcut
{
    QString id;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& argument, const FakeShortcut& shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, FakeShortcut& shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

} // namespace vantrel::test

Q_DECLARE_METATYPE(vantrel::test::FakeShortcut)

namespace vantrel::test {

namespace {

const QString service = QStringLiteral("org.freedesktop.portal.Desktop");
const QString objectPath = QStringLiteral("/org/freedesktop/portal/desktop");

// An a{sv} argument as the message carries it (unread) or as a plain map.
QVariantMap plainMap(const QVariant& value)
{
    if (value.canConvert<QDBusArgument>())
        return qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
    return value.toMap();
}

// What a real portal names a request: the caller's unique name without its colon, dots made
// underscores, then the caller's handle token.
QString requestHandle(const QDBusMessage& message, const QVariantMap& options)
{
    QString sender = message.service();
    sender.remove(0, 1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return objectPath + QStringLiteral("/request/") + sender + QLatin1Char('/')
        + options.value(QStringLiteral("handle_token")).toString();
}

} // namespace

FakeDesktopPortal::FakeDesktopPortal(QStringList interfaces)
    : m_connection(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("vantrel-fake-portal")))
    , m_interfaces(std::move(interfaces))
{
    qDBusRegisterMetaType<FakeShortcut>();
    qDBusRegisterMetaType<QList<FakeShortcut>>();
    m_registered = m_connection.isConnected()
        && m_connection.registerVirtualObject(objectPath, this, QDBusConnection::SubPath)
        && m_connection.registerService(service);
}

FakeDesktopPortal::~FakeDesktopPortal()
{
    m_connection.unregisterService(service);
    m_connection.unregisterObject(objectPath, QDBusConnection::UnregisterTree);
    QDBusConnection::disconnectFromBus(QStringLiteral("vantrel-fake-portal"));
    for (const QString& file : writtenFiles)
        QFile::remove(file);
}

int FakeDesktopPortal::count(const QString& method) const
{
    return int(std::count_if(calls.begin(), calls.end(), [&](const Call& call) { return call.method == method; }));
}

QString FakeDesktopPortal::introspect(const QString&) const
{
    return {};
}

void FakeDesktopPortal::respond(const QString& handle, uint code, const QVariantMap& results)
{
    // Later, as a portal that shows a dialog would.
    QTimer::singleShot(0, this, [this, handle, code, results] {
        QDBusMessage signal = QDBusMessage::createSignal(
            handle, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
        signal << code << results;
        m_connection.send(signal);
    });
}

void FakeDesktopPortal::activate(const QString& shortcutId, QString session)
{
    if (session.isEmpty())
        session = sessions.value(sessions.size() - 1);
    QDBusMessage signal = QDBusMessage::createSignal(
        objectPath, QStringLiteral("org.freedesktop.portal.GlobalShortcuts"), QStringLiteral("Activated"));
    signal << QVariant::fromValue(QDBusObjectPath(session)) << shortcutId << qulonglong(1234) << QVariantMap();
    m_connection.send(signal);
}

void FakeDesktopPortal::endSession(const QString& session)
{
    QDBusMessage signal = QDBusMessage::createSignal(
        session, QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Closed"));
    signal << QVariantMap();
    m_connection.send(signal);
}

void FakeDesktopPortal::changeShortcuts(const QString& session, const std::map<QString, QString>& triggers)
{
    QList<FakeShortcut> shortcuts;
    for (const auto& [id, trigger] : triggers)
        shortcuts.append({id, {{QStringLiteral("trigger_description"), trigger}}});
    QDBusMessage signal = QDBusMessage::createSignal(
        objectPath, QStringLiteral("org.freedesktop.portal.GlobalShortcuts"), QStringLiteral("ShortcutsChanged"));
    signal << QVariant::fromValue(QDBusObjectPath(session)) << QVariant::fromValue(shortcuts);
    m_connection.send(signal);
}

bool FakeDesktopPortal::handleMessage(const QDBusMessage& message, const QDBusConnection& connection)
{
    const QString interface = message.interface();
    const QString member = message.member();
    if (interface == QStringLiteral("org.freedesktop.portal.Session") && member == QStringLiteral("Close")) {
        closedSessions.append(message.path());
        connection.send(message.createReply());
        return true;
    }
    if (interface == QStringLiteral("org.freedesktop.DBus.Properties") && member == QStringLiteral("Get")) {
        const QString asked = message.arguments().value(0).toString();
        if (!m_interfaces.contains(asked) || message.arguments().value(1).toString() != QStringLiteral("version")) {
            connection.send(message.createErrorReply(QDBusError::UnknownProperty, QStringLiteral("no such property")));
            return true;
        }
        connection.send(message.createReply(QVariant::fromValue(QDBusVariant(uint(1)))));
        return true;
    }
    if (!m_interfaces.contains(interface)) {
        connection.send(message.createErrorReply(QDBusError::UnknownInterface, QStringLiteral("no such interface")));
        return true;
    }
    const QVariantMap options = message.arguments().isEmpty() ? QVariantMap() : plainMap(message.arguments().last());
    const QString handle = requestHandle(message, options);
    calls.push_back({interface, member, message.arguments(), options, handle});

    if (interface == QStringLiteral("org.freedesktop.portal.Screenshot") && member == QStringLiteral("Screenshot")) {
        connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(handle))));
        if (!answer)
            return true;
        QVariantMap results;
        if (screenshotResponse == 0) {
            const QString file = QDir::temp().filePath(
                QStringLiteral("vantrel-fake-portal-%1-%2.png").arg(QCoreApplication::applicationPid()).arg(++m_files));
            screenshotPicture.save(file);
            writtenFiles.append(file);
            results.insert(QStringLiteral("uri"), QUrl::fromLocalFile(file).toString());
        }
        respond(handle, screenshotResponse, results);
        return true;
    }
    if (interface == QStringLiteral("org.freedesktop.portal.GlobalShortcuts")
        && member == QStringLiteral("CreateSession")) {
        connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(handle))));
        QString session = handle;
        session.replace(QStringLiteral("/request/"), QStringLiteral("/session/"));
        session.chop(options.value(QStringLiteral("handle_token")).toString().size());
        session += options.value(QStringLiteral("session_handle_token")).toString();
        sessions.append(session);
        respond(handle, 0, {{QStringLiteral("session_handle"), session}});
        return true;
    }
    if (interface == QStringLiteral("org.freedesktop.portal.GlobalShortcuts")
        && member == QStringLiteral("BindShortcuts")) {
        connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(handle))));
        QList<FakeShortcut> proposed;
        message.arguments().value(1).value<QDBusArgument>() >> proposed;
        std::map<QString, QVariantMap> bind;
        QList<FakeShortcut> bound;
        for (const FakeShortcut& shortcut : proposed) {
            bind[shortcut.id] = shortcut.properties;
            // The desktop takes the proposed keys and says how it shows them.
            bound.append({shortcut.id,
                {{QStringLiteral("description"), shortcut.properties.value(QStringLiteral("description"))},
                    {QStringLiteral("trigger_description"),
                        shortcut.properties.value(QStringLiteral("preferred_trigger")).toString().toLower()}}});
        }
        binds.push_back(std::move(bind));
        if (!answer)
            return true;
        QVariantMap results;
        if (bindResponse == 0)
            results.insert(QStringLiteral("shortcuts"), QVariant::fromValue(bound));
        respond(handle, bindResponse, results);
        return true;
    }
    connection.send(message.createErrorReply(QDBusError::UnknownMethod, QStringLiteral("not faked")));
    return true;
}

} // namespace vantrel::test
