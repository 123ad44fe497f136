// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeDesktopPortal.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QTimer>
#include <QUrl>

#include <unistd.h>

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

// One entry of the screen-cast portal's a(ua{sv}), and the (ii) of its position and size.
struct FakeCastStream
{
    uint node = 0;
    QVariantMap properties;
};

struct FakePair
{
    int first = 0;
    int second = 0;
};

QDBusArgument& operator<<(QDBusArgument& argument, const FakeCastStream& stream)
{
    argument.beginStructure();
    argument << stream.node << stream.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, FakeCastStream& stream)
{
    argument.beginStructure();
    argument >> stream.node >> stream.properties;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const FakePair& pair)
{
    argument.beginStructure();
    argument << pair.first << pair.second;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, FakePair& pair)
{
    argument.beginStructure();
    argument >> pair.first >> pair.second;
    argument.endStructure();
    return argument;
}

} // namespace vantrel::test

Q_DECLARE_METATYPE(vantrel::test::FakeShortcut)
Q_DECLARE_METATYPE(vantrel::test::FakeCastStream)
Q_DECLARE_METATYPE(vantrel::test::FakePair)

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
    qDBusRegisterMetaType<FakeCastStream>();
    qDBusRegisterMetaType<QList<FakeCastStream>>();
    qDBusRegisterMetaType<FakePair>();
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

void FakeDesktopPortal::closeCastSession(QString session)
{
    if (session.isEmpty())
        session = castSessions.value(castSessions.size() - 1);
    endSession(session);
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
    if (interface == QStringLiteral("org.freedesktop.DBus.Properties") && member == QStringLiteral("Get")
        && message.arguments().value(0).toString() == QStringLiteral("org.freedesktop.portal.ScreenCast")
        && m_interfaces.contains(QStringLiteral("org.freedesktop.portal.ScreenCast"))
        && message.arguments().value(1).toString() == QStringLiteral("AvailableCursorModes")) {
        connection.send(message.createReply(QVariant::fromValue(QDBusVariant(castCursorModes))));
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
    if (interface == QStringLiteral("org.freedesktop.portal.ScreenCast")
        && handleScreenCast(message, connection, options, handle))
        return true;
    connection.send(message.createErrorReply(QDBusError::UnknownMethod, QStringLiteral("not faked")));
    return true;
}

bool FakeDesktopPortal::handleScreenCast(
    const QDBusMessage& message, const QDBusConnection& connection, const QVariantMap& options, const QString& handle)
{
    const QString member = message.member();
    if (member == QStringLiteral("CreateSession")) {
        connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(handle))));
        QString session = handle;
        session.replace(QStringLiteral("/request/"), QStringLiteral("/session/"));
        session.chop(options.value(QStringLiteral("handle_token")).toString().size());
        session += options.value(QStringLiteral("session_handle_token")).toString();
        castSessions.append(session);
        respond(handle, 0, {{QStringLiteral("session_handle"), session}});
        return true;
    }
    if (member == QStringLiteral("SelectSources")) {
        connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(handle))));
        respond(handle, castSelectResponse, {});
        return true;
    }
    if (member == QStringLiteral("Start")) {
        connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(handle))));
        QVariantMap results;
        if (castStartResponse == 0) {
            FakeCastStream stream;
            stream.node = castNode;
            stream.properties.insert(
                QStringLiteral("position"), QVariant::fromValue(FakePair {castPosition.x(), castPosition.y()}));
            stream.properties.insert(
                QStringLiteral("size"), QVariant::fromValue(FakePair {castSize.width(), castSize.height()}));
            stream.properties.insert(QStringLiteral("source_type"), uint(1));
            results.insert(QStringLiteral("streams"), QVariant::fromValue(QList<FakeCastStream> {stream}));
            if (!castRestoreToken.isEmpty())
                results.insert(QStringLiteral("restore_token"), castRestoreToken);
        }
        respond(handle, castStartResponse, results);
        return true;
    }
    if (member == QStringLiteral("OpenPipeWireRemote")) {
        const int fd = castRemote ? castRemote() : -1;
        if (fd < 0) {
            connection.send(message.createErrorReply(QDBusError::AccessDenied, QStringLiteral("no screen shared")));
            return true;
        }
        connection.send(message.createReply(QVariant::fromValue(QDBusUnixFileDescriptor(fd))));
        ::close(fd);
        return true;
    }
    return false;
}

} // namespace vantrel::test
