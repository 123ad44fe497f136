// SPDX-License-Identifier: GPL-3.0-or-later
#include "wayland/ScreenCastPortal.h"

#include "PreferenceStore.h"
#include "Service.h"
#include "portal/PortalRequest.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>

#include <memory>
#include <vector>

namespace vantrel::wayland {

namespace {

const QString screenCastInterface = QStringLiteral("org.freedesktop.portal.ScreenCast");
// The user may be choosing a screen in the desktop's dialog.
constexpr int choiceTimeoutMs = 120000;
constexpr int callTimeoutMs = 10000;
constexpr uint sourceMonitor = 1;
constexpr uint persistUntilRevoked = 2;

Error castError(const QString& description)
{
    return Error {.domain = QStringLiteral("ScreenCast"), .description = description};
}

// A (ii) pair from a stream's properties.
std::optional<QPoint> pairOf(const QVariant& value)
{
    if (!value.canConvert<QDBusArgument>())
        return std::nullopt;
    const QDBusArgument argument = value.value<QDBusArgument>();
    if (argument.currentType() != QDBusArgument::StructureType)
        return std::nullopt;
    int first = 0;
    int second = 0;
    argument.beginStructure();
    argument >> first >> second;
    argument.endStructure();
    return QPoint(first, second);
}

struct CastStream
{
    uint node = 0;
    std::optional<QPoint> position;
    std::optional<QSize> size;
};

// The a(ua{sv}) of Start's answer.
std::vector<CastStream> castStreams(const QVariant& value)
{
    std::vector<CastStream> streams;
    if (!value.canConvert<QDBusArgument>())
        return streams;
    const QDBusArgument argument = value.value<QDBusArgument>();
    if (argument.currentType() != QDBusArgument::ArrayType)
        return streams;
    argument.beginArray();
    while (!argument.atEnd()) {
        CastStream stream;
        QVariantMap properties;
        argument.beginStructure();
        argument >> stream.node >> properties;
        argument.endStructure();
        stream.position = pairOf(properties.value(QStringLiteral("position")));
        if (const auto size = pairOf(properties.value(QStringLiteral("size"))))
            stream.size = QSize(size->x(), size->y());
        streams.push_back(stream);
    }
    argument.endArray();
    return streams;
}

QString sessionPath(const QVariant& handle)
{
    if (handle.canConvert<QDBusObjectPath>() && !handle.value<QDBusObjectPath>().path().isEmpty())
        return handle.value<QDBusObjectPath>().path();
    return handle.toString();
}

// One request's state as it goes from step to step.
struct Handshake
{
    QDBusConnection bus {QString()};
    QRect screen;
    bool showCursor = true;
    ScreenCastPortal::Completion completion;
    QString session;
    CastCursor cursor = CastCursor::hidden;
    CastStream stream;

    void fail(const Error& error)
    {
        ScreenCastPortal::close(bus, session);
        if (auto done = std::exchange(completion, nullptr))
            done(error);
    }
};
using HandshakePtr = std::shared_ptr<Handshake>;

void openRemote(const HandshakePtr& h)
{
    QDBusMessage message = QDBusMessage::createMethodCall(QString::fromLatin1(portal::desktopService),
        QString::fromLatin1(portal::desktopPath), screenCastInterface, QStringLiteral("OpenPipeWireRemote"));
    message.setArguments({QVariant::fromValue(QDBusObjectPath(h->session)), QVariantMap()});
    auto* watcher = new QDBusPendingCallWatcher(h->bus.asyncCall(message, callTimeoutMs));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [h, watcher] {
        watcher->deleteLater();
        const QDBusMessage reply = watcher->reply();
        const QDBusUnixFileDescriptor fd = reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
            ? reply.arguments().first().value<QDBusUnixFileDescriptor>()
            : QDBusUnixFileDescriptor();
        if (!fd.isValid())
            return h->fail(castError(QCoreApplication::translate(
                "ScreenCastPortal", "The desktop gave no connection to the screen's stream.")));
        ScreenCastGrant grant;
        grant.session = h->session;
        grant.pipewire = fd;
        grant.node = h->stream.node;
        grant.position = h->stream.position;
        grant.size = h->stream.size;
        grant.cursor = h->cursor;
        if (auto done = std::exchange(h->completion, nullptr))
            done(std::move(grant));
    });
}

void start(const HandshakePtr& h)
{
    portal::call(h->bus, screenCastInterface, QStringLiteral("Start"),
        {QVariant::fromValue(QDBusObjectPath(h->session)), QString(), QVariantMap()}, choiceTimeoutMs,
        [h](Expected<portal::Response> started) {
            if (!started)
                return h->fail(started.error());
            if (started->code == 1)
                return h->fail(
                    castError(QCoreApplication::translate("ScreenCastPortal", "Sharing the screen was cancelled.")));
            if (started->code != 0)
                return h->fail(castError(
                    QCoreApplication::translate("ScreenCastPortal", "The desktop did not share the screen.")));
            const QString token = started->results.value(QStringLiteral("restore_token")).toString();
            if (PreferenceStore* store = Service<PreferenceStore>::find(); store && !token.isEmpty())
                store->setValue(QString::fromLatin1(ScreenCastPortal::restoreTokenKey()), token);
            const std::vector<CastStream> streams = castStreams(started->results.value(QStringLiteral("streams")));
            if (streams.empty())
                return h->fail(
                    castError(QCoreApplication::translate("ScreenCastPortal", "The desktop shared no screen.")));
            // The stream of the recorded screen, by its place in the layout; a desktop that
            // does not say where its stream is shares the screen that was asked for.
            const CastStream* chosen = nullptr;
            for (const CastStream& stream : streams) {
                if (!stream.position || *stream.position == h->screen.topLeft()) {
                    chosen = &stream;
                    break;
                }
            }
            if (!chosen)
                return h->fail(castError(QCoreApplication::translate(
                    "ScreenCastPortal", "The desktop shared another screen than the one the area is on.")));
            h->stream = *chosen;
            openRemote(h);
        });
}

void selectSources(const HandshakePtr& h)
{
    QVariantMap options {{QStringLiteral("types"), sourceMonitor}, {QStringLiteral("multiple"), false},
        {QStringLiteral("cursor_mode"), uint(h->cursor)}, {QStringLiteral("persist_mode"), persistUntilRevoked}};
    if (PreferenceStore* store = Service<PreferenceStore>::find()) {
        const QString token
            = store->typed<QString>(QString::fromLatin1(ScreenCastPortal::restoreTokenKey())).value_or(QString());
        if (!token.isEmpty())
            options.insert(QStringLiteral("restore_token"), token);
    }
    portal::call(h->bus, screenCastInterface, QStringLiteral("SelectSources"),
        {QVariant::fromValue(QDBusObjectPath(h->session)), options}, choiceTimeoutMs,
        [h](Expected<portal::Response> selected) {
            if (!selected)
                return h->fail(selected.error());
            if (selected->code != 0)
                return h->fail(castError(selected->code == 1
                        ? QCoreApplication::translate("ScreenCastPortal", "Sharing the screen was cancelled.")
                        : QCoreApplication::translate("ScreenCastPortal", "The desktop did not share the screen.")));
            start(h);
        });
}

void createSession(const HandshakePtr& h)
{
    const QVariantMap options {{QStringLiteral("session_handle_token"), portal::newToken("cast")}};
    portal::call(h->bus, screenCastInterface, QStringLiteral("CreateSession"), {options}, callTimeoutMs,
        [h](Expected<portal::Response> created) {
            if (!created)
                return h->fail(created.error());
            const QString session = created->code == 0
                ? sessionPath(created->results.value(QStringLiteral("session_handle")))
                : QString();
            if (session.isEmpty())
                return h->fail(castError(
                    QCoreApplication::translate("ScreenCastPortal", "The desktop refused to share the screen.")));
            h->session = session;
            selectSources(h);
        });
}

} // namespace

CastCursor chooseCursorMode(uint available, bool showCursor)
{
    auto offers = [available](CastCursor mode) { return (available & uint(mode)) != 0; };
    if (available == 0)
        return showCursor ? CastCursor::embedded : CastCursor::hidden;
    if (!showCursor) {
        // A pointer sent beside the picture is simply not drawn.
        if (offers(CastCursor::hidden))
            return CastCursor::hidden;
        return offers(CastCursor::metadata) ? CastCursor::metadata : CastCursor::embedded;
    }
    if (offers(CastCursor::embedded))
        return CastCursor::embedded;
    return offers(CastCursor::metadata) ? CastCursor::metadata : CastCursor::hidden;
}

ScreenCastPortal::ScreenCastPortal(QDBusConnection bus)
    : m_bus(std::move(bus))
{ }

const char* ScreenCastPortal::restoreTokenKey()
{
    return "screenCastRestoreToken";
}

void ScreenCastPortal::close(const QDBusConnection& bus, const QString& session)
{
    if (session.isEmpty() || !bus.isConnected())
        return;
    QDBusConnection(bus).send(QDBusMessage::createMethodCall(QString::fromLatin1(portal::desktopService), session,
        QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Close")));
}

void ScreenCastPortal::request(const QRect& screenGeometry, bool showCursor, Completion completion)
{
    auto h = std::make_shared<Handshake>();
    h->bus = m_bus;
    h->screen = screenGeometry;
    h->showCursor = showCursor;
    h->completion = std::move(completion);
    if (!m_bus.isConnected())
        return h->fail(castError(QCoreApplication::translate(
            "ScreenCastPortal", "There is no session bus to reach the desktop's screen sharing.")));
    // The pointer modes the desktop offers decide the mode to ask for.
    QDBusMessage message = QDBusMessage::createMethodCall(QString::fromLatin1(portal::desktopService),
        QString::fromLatin1(portal::desktopPath), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    message.setArguments({screenCastInterface, QStringLiteral("AvailableCursorModes")});
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message, callTimeoutMs));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [h, watcher] {
        watcher->deleteLater();
        const QDBusMessage reply = watcher->reply();
        if (reply.type() != QDBusMessage::ReplyMessage) {
            // No portal, or one without screen sharing.
            const bool missing = reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown")
                || reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.UnknownInterface")
                || reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.InvalidArgs");
            if (missing)
                return h->fail(castError(QCoreApplication::translate(
                    "ScreenCastPortal", "This desktop offers no screen sharing to record the screen.")));
        }
        const uint available
            = reply.arguments().isEmpty() ? 0 : reply.arguments().first().value<QDBusVariant>().variant().toUInt();
        h->cursor = chooseCursorMode(available, h->showCursor);
        createSession(h);
    });
}

PortalSessionWatch::PortalSessionWatch(const QDBusConnection& bus, const QString& session, std::function<void()> closed)
    : m_bus(bus)
    , m_session(session)
    , m_closed(std::move(closed))
{
    m_bus.connect(QString::fromLatin1(portal::desktopService), m_session,
        QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Closed"), this, SLOT(handleClosed()));
}

PortalSessionWatch::~PortalSessionWatch()
{
    m_bus.disconnect(QString::fromLatin1(portal::desktopService), m_session,
        QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Closed"), this, SLOT(handleClosed()));
}

void PortalSessionWatch::handleClosed()
{
    if (auto closed = std::exchange(m_closed, nullptr))
        closed();
}

} // namespace vantrel::wayland
