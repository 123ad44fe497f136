// SPDX-License-Identifier: GPL-3.0-or-later
#include "SingleInstance.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace vantrel {

namespace {

const QString objectPath = QStringLiteral("/org/vantrel/Vantrel");
const QString interfaceName = QStringLiteral("org.vantrel.Vantrel");

} // namespace

// The object exported on the bus; its scriptable slots are the two requests.
class SingleInstanceAdaptor : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.vantrel.Vantrel")
public:
    explicit SingleInstanceAdaptor(SingleInstance* owner)
        : QObject(owner)
        , m_owner(owner)
    { }

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
        bus.unregisterObject(objectPath);
        bus.unregisterService(m_serviceName);
    }
}

SingleInstance::Outcome SingleInstance::start(const QList<QUrl>& files)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        m_error = bus.lastError().message();
        return Outcome::NoBus;
    }

    auto* adaptor = new SingleInstanceAdaptor(this);
    if (bus.registerObject(objectPath, adaptor, QDBusConnection::ExportScriptableSlots)
        && bus.registerService(m_serviceName)) {
        m_registered = true;
        return Outcome::Primary;
    }
    bus.unregisterObject(objectPath);
    delete adaptor;

    QDBusMessage call;
    if (files.isEmpty()) {
        call = QDBusMessage::createMethodCall(m_serviceName, objectPath, interfaceName, QStringLiteral("Reopen"));
    } else {
        QStringList uris;
        for (const QUrl& url : files)
            uris.append(url.toString(QUrl::FullyEncoded));
        call = QDBusMessage::createMethodCall(m_serviceName, objectPath, interfaceName, QStringLiteral("OpenFiles"));
        call << uris;
    }
    // A running instance answers at once; a hung one must not hang this launch too.
    const QDBusMessage reply = bus.call(call, QDBus::Block, 5000);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        m_error = reply.errorMessage();
        return Outcome::Failed;
    }
    return Outcome::HandedOver;
}

} // namespace vantrel

#include "SingleInstance.moc"
