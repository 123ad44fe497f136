// SPDX-License-Identifier: GPL-3.0-or-later
#include "SingleInstance.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusError>
#include <QDBusMessage>

namespace vantrel {

namespace {

// A running instance answers at once; a hung one must not hang this launch too.
constexpr int callTimeoutMs = 5000;
// A name longer than any action is cut in answers, so a runaway argument is not echoed whole.
constexpr qsizetype shownNameLength = 64;

QString shownName(const QString& name)
{
    return name.size() <= shownNameLength ? name : name.left(shownNameLength) + QStringLiteral("…");
}

QDBusMessage requestMessage(const QString& service, const InstanceRequest& request)
{
    const QString path = QString::fromLatin1(SingleInstance::objectPath);
    const QString interface = QString::fromLatin1(SingleInstance::interfaceName);
    QDBusMessage call;
    switch (request.kind) {
    case InstanceRequest::Kind::reopen:
        call = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Reopen"));
        break;
    case InstanceRequest::Kind::openFiles: {
        QStringList uris;
        for (const QUrl& url : request.files)
            uris.append(url.toString(QUrl::FullyEncoded));
        call = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("OpenFiles"));
        call << uris;
        break;
    }
    case InstanceRequest::Kind::action:
        call = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Action"));
        call << request.action;
        break;
    }
    // Nothing is started on the bus's behalf: with nobody running, the launch starts Vantrel
    // itself, in its own session environment.
    call.setAutoStartService(false);
    return call;
}

bool nobodyOwns(const QDBusMessage& reply)
{
    const QString name = reply.errorName();
    return name == QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown")
        || name == QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner");
}

} // namespace

InstanceRequest InstanceRequest::forFiles(const QList<QUrl>& files)
{
    InstanceRequest request;
    if (!files.isEmpty()) {
        request.kind = Kind::openFiles;
        request.files = files;
    }
    return request;
}

InstanceRequest InstanceRequest::forAction(const QString& name)
{
    InstanceRequest request;
    request.kind = Kind::action;
    request.action = name;
    return request;
}

// The object exported on the bus; its scriptable slots and properties are the interface.
class SingleInstanceAdaptor : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.vantrel.Vantrel1")
    Q_PROPERTY(QStringList ActionNames READ actionNames)
    Q_PROPERTY(QString Version READ version)
public:
    explicit SingleInstanceAdaptor(SingleInstance* owner)
        : QObject(owner)
        , m_owner(owner)
    { }

    QStringList actionNames() const { return m_owner->actionNames(); }
    QString version() const { return QCoreApplication::applicationVersion(); }

public Q_SLOTS:
    Q_SCRIPTABLE void Reopen() { Q_EMIT m_owner->reopenRequested(); }
    Q_SCRIPTABLE void OpenFiles(const QStringList& uris)
    {
        QList<QUrl> files;
        for (const QString& uri : uris) {
            const QUrl url(uri);
            if (url.isLocalFile())
                files.append(url);
        }
        if (!files.isEmpty())
            Q_EMIT m_owner->openFilesRequested(files);
    }
    Q_SCRIPTABLE void Action(const QString& name)
    {
        if (!m_owner->actionNames().contains(name)) {
            sendErrorReply(QString::fromLatin1(SingleInstance::unknownActionError),
                QStringLiteral("unknown action \"%1\"; the actions are: %2")
                    .arg(shownName(name), m_owner->actionNames().join(QStringLiteral(", "))));
            return;
        }
        Q_EMIT m_owner->actionRequested(name);
    }

private:
    SingleInstance* m_owner;
};

SingleInstance::SingleInstance(QString serviceName, QObject* parent)
    : QObject(parent)
    , m_serviceName(std::move(serviceName))
{ }

SingleInstance::~SingleInstance()
{
    if (m_registered) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterObject(QString::fromLatin1(objectPath));
        bus.unregisterService(m_serviceName);
    }
}

namespace {

// One call to the owner of `service`; the outcome and, unless it was taken, why.
std::pair<SingleInstance::Outcome, QString> send(
    QDBusConnection& bus, const QString& service, const InstanceRequest& request)
{
    const QDBusMessage reply = bus.call(requestMessage(service, request), QDBus::Block, callTimeoutMs);
    if (reply.type() != QDBusMessage::ErrorMessage)
        return {SingleInstance::Outcome::HandedOver, QString()};
    if (nobodyOwns(reply))
        return {SingleInstance::Outcome::NoInstance, reply.errorMessage()};
    if (reply.errorName() == QString::fromLatin1(SingleInstance::unknownActionError))
        return {SingleInstance::Outcome::Refused, reply.errorMessage()};
    return {SingleInstance::Outcome::Failed, reply.errorMessage()};
}

} // namespace

SingleInstance::Outcome SingleInstance::start(const InstanceRequest& request)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        m_error = bus.lastError().message();
        return Outcome::NoBus;
    }

    // The owner may quit between our failed claim and the call: then claim again, once.
    for (int attempt = 0; attempt < 2; ++attempt) {
        auto* adaptor = new SingleInstanceAdaptor(this);
        // The object comes first, so that whoever sees the name can call it at once.
        if (bus.registerObject(QString::fromLatin1(objectPath), adaptor,
                QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportScriptableProperties)
            && bus.registerService(m_serviceName)) {
            m_registered = true;
            return Outcome::Primary;
        }
        bus.unregisterObject(QString::fromLatin1(objectPath));
        delete adaptor;

        const auto [outcome, error] = send(bus, m_serviceName, request);
        m_error = error;
        if (outcome != Outcome::NoInstance)
            return outcome;
    }
    return Outcome::Failed;
}

SingleInstance::Outcome SingleInstance::handOver(const InstanceRequest& request)
{
    // A connection of its own, closed again, so that the process's shared session connection
    // is only made once the application it will serve exists.
    const QString connectionName = QStringLiteral("vantrel-hand-over");
    Outcome outcome = Outcome::NoBus;
    {
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName);
        if (!bus.isConnected()) {
            m_error = bus.lastError().message();
        } else {
            std::tie(outcome, m_error) = send(bus, m_serviceName, request);
        }
    }
    QDBusConnection::disconnectFromBus(connectionName);
    return outcome;
}

} // namespace vantrel

// Both meta-objects in this object file, so that the launcher links no other of the library's.
#include "SingleInstance.moc"
#include "moc_SingleInstance.cpp"
