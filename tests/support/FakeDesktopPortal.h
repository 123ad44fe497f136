// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QImage>
#include <QPoint>
#include <QSize>
#include <QStringList>
#include <QVariantMap>

#include <functional>
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

    // ScreenCast: the pointer modes it offers (AvailableCursorModes, bits: 1 hidden, 2 embedded,
    // 4 metadata), the responses to SelectSources and Start (0 done, 1 cancelled, 2 failed), the
    // stream Start shares (PipeWire node, the monitor's place and logical size), the restore
    // token Start gives back (none when empty) and the PipeWire connection OpenPipeWireRemote
    // hands out (a new descriptor, which the fake closes after sending; -1 fails the call).
    uint castCursorModes = 1 | 2 | 4;
    uint castSelectResponse = 0;
    uint castStartResponse = 0;
    uint castNode = 0;
    QPoint castPosition;
    QSize castSize {1280, 720};
    QString castRestoreToken;
    std::function<int()> castRemote;
    QStringList castSessions;
    // Sends Closed for a screen-cast session (the last one made when empty), as a desktop does
    // when the user stops sharing from its own controls.
    void closeCastSession(QString session = {});

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

private:
    void respond(const QString& handle, uint code, const QVariantMap& results);
    bool handleScreenCast(const QDBusMessage& message, const QDBusConnection& connection, const QVariantMap& options,
        const QString& handle);

    QDBusConnection m_connection;
    QStringList m_interfaces;
    bool m_registered = false;
    int m_files = 0;
};

} // namespace vantrel::test
