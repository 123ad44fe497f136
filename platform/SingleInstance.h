// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace vantrel {

// What a launch asks of the running Vantrel: to reopen (no arguments), to open files, or to run
// one action by its raw name ("captureArea").
struct InstanceRequest
{
    enum class Kind {
        reopen,
        openFiles,
        action,
    };

    Kind kind = Kind::reopen;
    QList<QUrl> files;
    QString action;

    static InstanceRequest forFiles(const QList<QUrl>& files);
    static InstanceRequest forAction(const QString& name);
};

// Keeps one Vantrel per session. The first process owns a well-known name on the session bus
// and answers the interface described in dbus/org.vantrel.Vantrel1.xml; a later one hands its
// request to it and exits. Only the session bus is involved, never the display, so a launch from
// a desktop's own shortcut settings (or a terminal without a display) reaches it alike.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    enum class Outcome {
        Primary, // this process owns the name and now receives requests
        HandedOver, // another process took the request; this one should exit
        NoInstance, // nobody owns the name (only from handOver)
        NoBus, // no session bus: run on, without hand-over
        Refused, // the running process answered that the request is not valid
        Failed, // another process owns the name but did not take the request
    };

    static constexpr const char* defaultServiceName = "org.vantrel.Vantrel";
    static constexpr const char* objectPath = "/org/vantrel/Vantrel";
    // The number is the interface's version: a change that breaks callers gets a new name.
    static constexpr const char* interfaceName = "org.vantrel.Vantrel1";
    // The error an Action call with a name that is not an action gets back.
    static constexpr const char* unknownActionError = "org.vantrel.Vantrel1.Error.UnknownAction";

    explicit SingleInstance(QString serviceName = QString::fromLatin1(defaultServiceName), QObject* parent = nullptr);
    ~SingleInstance() override;

    // The names the Action method accepts; anything else is answered with unknownActionError.
    void setActionNames(const QStringList& names) { m_actionNames = names; }
    QStringList actionNames() const { return m_actionNames; }

    // Owns the name, or hands the request to the process that owns it.
    Outcome start(const InstanceRequest& request);
    // Hands the request to a running Vantrel without taking the name, on a connection of its
    // own that is closed before it returns; needs an application object but no display.
    Outcome handOver(const InstanceRequest& request);
    // Why the last start or handOver did not succeed, or the running process's own answer.
    QString errorText() const { return m_error; }

Q_SIGNALS:
    void reopenRequested();
    void openFilesRequested(const QList<QUrl>& files);
    // Emitted from the bus call; connect queued so that the caller gets its answer first.
    void actionRequested(const QString& name);

private:
    QString m_serviceName;
    QString m_error;
    QStringList m_actionNames;
    bool m_registered = false;
};

} // namespace vantrel
