// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QImage>
#include <QStringList>
#include <QVariantMap>

#include <map>
#include <vector>

namespace vantrel::test {

// A desktop portal of the test's own on the test's private session bus. A connection of its
// own owns org.freedesktop.portal.Desktop, answers the interfaces it is told to offer as the
// test scripts them, and records every call. Requests answer the way real portals do: the
// method returns the request's handle at once, the Response signal follows from that handle.
class FakeDesktopPortal : public QDBusVirtualObject
{
    Q_OBJECT
public:
    // `interfaces`: the portal interfaces whose version property it reports (the others are
    // missing, as on a desktop whose portal lacks them).
    explicit FakeDesktopPortal(QStringList interfaces);
    ~FakeDesktopPortal() override;

    // Whether it owns the portal's name on the bus.
    bool registered() const { return m_registered; }

    struct Call
    {
        QString interface;
        QString method;
        QVariantList arguments;
        QVariantMap options; // the last argument, read
        QString handle; // the request's object path
    };
    std::vector<Call> calls;
    int count(const QString& method) const;

    // Screenshot: the response code (0 done, 1 cancelled, 2 failed) and the picture written to
    // a new file whose URI the response carries. `answer` false: the portal never responds to a
    // screenshot or a bind (a dialog left open, a portal about to die).
    uint screenshotResponse = 0;
    QImage screenshotPicture;
    bool answer = true;
    // The files written for screenshots, so a test can check that they are gone.
    QStringList writtenFiles;

    // GlobalShortcuts: the response to BindShortcuts (0 bound, 1 refused by the user, 2 failed), the
    // shortcuts each bind proposed (id → properties), the sessions made and closed.
    uint bindResponse = 0;
    std::vector<std::map<QString, QVariantMap>> binds;
    QStringList sessions;
    QStringList closedSessions;
    // Sends Activated for a shortcut of `session` (the last one made when empty).
    void activate(const QString& shortcutId, QString session = {});
    // Ends a session from the desktop's side, as when the user revokes the shortcuts.
    void endSession(const QString& session);
    // Reports keys the user changed in the desktop's settings: shortcut id → its new keys in
    // the desktop's words.
    void changeShortcuts(const QString& session, const std::map<QString, QString>& triggers);

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

private:
    void respond(const QString& handle, uint code, const QVariantMap& results);

    QDBusConnection m_connection;
    QStringList m_interfaces;
    bool m_registered = false;
    int m_files = 0;
};

} // namespace vantrel::test
