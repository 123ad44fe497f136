// SPDX-License-Identifier: GPL-3.0-or-later
#include "Workspace.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFileInfo>

namespace vantrel {

bool DesktopWorkspace::open(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

void DesktopWorkspace::reveal(const QUrl& fileURL)
{
    const QUrl folder = QUrl::fromLocalFile(QFileInfo(fileURL.toLocalFile()).absolutePath());
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        QDesktopServices::openUrl(folder);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"), QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("ShowItems"));
    call << QStringList {fileURL.toString()} << QString();
    // Asynchronous: starting a file manager through bus activation can take a while.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [folder](QDBusPendingCallWatcher* self) {
        if (self->isError())
            QDesktopServices::openUrl(folder);
        self->deleteLater();
    });
}

} // namespace vantrel
