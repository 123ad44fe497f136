// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

namespace vantrel {

// Keeps one Vantrel per session. The first process owns a well-known name on the session bus;
// a later one hands its request (reopen, or files to open) to it and exits.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    enum class Outcome {
        Primary, // this process owns the name and now receives requests
        HandedOver, // another process took the request; this one should exit
        NoBus, // no session bus: run on, without hand-over
        Failed, // another process owns the name but did not take the request
    };

    static constexpr const char* defaultServiceName = "org.vantrel.Vantrel";

    explicit SingleInstance(QString serviceName = QString::fromLatin1(defaultServiceName), QObject* parent = nullptr);
    ~SingleInstance() override;

    // An empty list is a reopen request.
    Outcome start(const QList<QUrl>& files);
    QString errorText() const { return m_error; }

Q_SIGNALS:
    void reopenRequested();
    void openFilesRequested(const QList<QUrl>& files);

private:
    QString m_serviceName;
    QString m_error;
    bool m_registered = false;
};

} // namespace vantrel
