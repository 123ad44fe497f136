// SPDX-License-Identifier: GPL-3.0-or-later
#include "portal/PortalRequest.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>

#include <atomic>
#include <memory>

namespace vantrel::portal {

namespace {

Error portalError(const QString& description)
{
    return Error {.domain = QStringLiteral("Portal"), .description = description};
}

// /org/freedesktop/portal/desktop/request/SENDER/TOKEN, SENDER the unique name without its
// colon and with underscores for dots.
QString requestPath(const QDBusConnection& bus, const QString& token)
{
    QString sender = bus.baseService();
    sender.remove(0, 1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return QStringLiteral("/org/freedesktop/portal/desktop/request/") + sender + QLatin1Char('/') + token;
}

} // namespace

QString newToken(const char* prefix)
{
    static std::atomic<int> counter {0};
    return QStringLiteral("vantrel_%1_%2_%3")
        .arg(QString::fromLatin1(prefix))
        .arg(QCoreApplication::applicationPid())
        .arg(++counter);
}

ResponseReceiver::ResponseReceiver(Handler handler, QObject* parent)
    : QObject(parent)
    , m_handler(std::move(handler))
{ }

void ResponseReceiver::handleResponse(uint code, const QVariantMap& results)
{
    if (m_handler)
        m_handler(code, results);
}

void call(const QDBusConnection& bus, const QString& interface, const QString& method, QVariantList arguments,
    int timeoutMs, std::function<void(Expected<Response>)> completion)
{
    call(nullptr, bus, interface, method, std::move(arguments), timeoutMs, std::move(completion));
}

void call(QObject* context, const QDBusConnection& bus, const QString& interface, const QString& method,
    QVariantList arguments, int timeoutMs, std::function<void(Expected<Response>)> completion)
{
    if (!bus.isConnected()) {
        completion(portalError(QStringLiteral("No session bus")));
        return;
    }
    const QString token = newToken("request");
    QVariantMap options = arguments.isEmpty() ? QVariantMap() : arguments.takeLast().toMap();
    options.insert(QStringLiteral("handle_token"), token);
    arguments.append(options);
    const QString path = requestPath(bus, token);

    // One answer at most: the first of the response, a failed call and the timeout wins.
    struct Pending
    {
        std::function<void(Expected<Response>)> completion;
        QPointer<ResponseReceiver> receiver;
        QPointer<QTimer> timer;
        QDBusConnection bus;
        QString path;
        void finish(Expected<Response> outcome)
        {
            if (!completion)
                return;
            auto done = std::move(completion);
            completion = nullptr;
            if (receiver) {
                bus.disconnect(QString::fromLatin1(desktopService), path,
                    QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"), receiver,
                    SLOT(handleResponse(uint, QVariantMap)));
                receiver->deleteLater();
            }
            if (timer)
                timer->deleteLater();
            done(std::move(outcome));
        }
    };
    auto pending = std::make_shared<Pending>(Pending {std::move(completion), nullptr, nullptr, bus, path});
    auto* receiver = new ResponseReceiver(
        [pending](uint code, const QVariantMap& results) {
            pending->finish(Response {code, results});
        },
        context);
    pending->receiver = receiver;
    pending->bus.connect(QString::fromLatin1(desktopService), path, QStringLiteral("org.freedesktop.portal.Request"),
        QStringLiteral("Response"), receiver, SLOT(handleResponse(uint, QVariantMap)));
    auto* timer = new QTimer(context);
    timer->setSingleShot(true);
    pending->timer = timer;
    QObject::connect(timer, &QTimer::timeout, [pending, method] {
        pending->finish(portalError(QStringLiteral("The desktop portal did not answer %1").arg(method)));
    });
    timer->start(timeoutMs);

    QDBusMessage message = QDBusMessage::createMethodCall(
        QString::fromLatin1(desktopService), QString::fromLatin1(desktopPath), interface, method);
    message.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(message, timeoutMs), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [pending, watcher] {
        watcher->deleteLater();
        if (watcher->isError())
            pending->finish(portalError(watcher->error().message()));
    });
}

Expected<Response> callAndWait(
    const QDBusConnection& bus, const QString& interface, const QString& method, QVariantList arguments, int timeoutMs)
{
    std::optional<Expected<Response>> outcome;
    QEventLoop loop;
    call(bus, interface, method, std::move(arguments), timeoutMs, [&outcome, &loop](Expected<Response> answer) {
        outcome.emplace(std::move(answer));
        loop.quit();
    });
    if (!outcome)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    return std::move(*outcome);
}

std::optional<QVariant> property(const QDBusConnection& bus, const QString& interface, const QString& name)
{
    if (!bus.isConnected())
        return std::nullopt;
    QDBusMessage message = QDBusMessage::createMethodCall(QString::fromLatin1(desktopService),
        QString::fromLatin1(desktopPath), QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    message.setArguments({interface, name});
    // A desktop without a portal answers at once (no service files on the bus activate one);
    // a portal that starts slowly gets a few seconds.
    const QDBusMessage reply = bus.call(message, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    return reply.arguments().first().value<QDBusVariant>().variant();
}

std::optional<uint> interfaceVersion(const QDBusConnection& bus, const QString& interface)
{
    const std::optional<QVariant> value = property(bus, interface, QStringLiteral("version"));
    bool ok = false;
    const uint version = value ? value->toUInt(&ok) : 0;
    return ok ? std::optional<uint>(version) : std::nullopt;
}

void readInterfaceVersion(QObject* context, const QDBusConnection& bus, const QString& interface,
    std::function<void(std::optional<uint>)> completion)
{
    if (!bus.isConnected()) {
        QTimer::singleShot(0, context, [completion = std::move(completion)] { completion(std::nullopt); });
        return;
    }
    QDBusMessage message = QDBusMessage::createMethodCall(QString::fromLatin1(desktopService),
        QString::fromLatin1(desktopPath), QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    message.setArguments({interface, QStringLiteral("version")});
    // A portal that is activated on demand may take a few seconds to start.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(message, 25000), context);
    QObject::connect(
        watcher, &QDBusPendingCallWatcher::finished, watcher, [watcher, completion = std::move(completion)] {
            watcher->deleteLater();
            const QDBusMessage reply = watcher->reply();
            std::optional<uint> version;
            if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
                bool ok = false;
                const uint value = reply.arguments().first().value<QDBusVariant>().variant().toUInt(&ok);
                if (ok)
                    version = value;
            }
            completion(version);
        });
}

QVariantMap plainMap(const QVariant& value)
{
    if (value.canConvert<QDBusArgument>()) {
        QVariantMap map;
        value.value<QDBusArgument>() >> map;
        return map;
    }
    return value.toMap();
}

} // namespace vantrel::portal
