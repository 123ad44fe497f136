// SPDX-License-Identifier: GPL-3.0-or-later
#include "Workspace.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

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

void DesktopWorkspace::openWith(const QUrl& fileURL)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    const int fd
        = bus.isConnected() ? ::open(QFile::encodeName(fileURL.toLocalFile()).constData(), O_RDONLY | O_CLOEXEC) : -1;
    if (fd < 0) {
        QDesktopServices::openUrl(fileURL);
        return;
    }
    // The portal takes the file as a descriptor, so it works for sandboxed and plain processes
    // alike; "ask" makes it show the application chooser even when a default is set.
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.portal.Desktop"),
        QStringLiteral("/org/freedesktop/portal/desktop"), QStringLiteral("org.freedesktop.portal.OpenURI"),
        QStringLiteral("OpenFile"));
    call << QString() << QVariant::fromValue(QDBusUnixFileDescriptor(fd))
         << QVariantMap {{QStringLiteral("ask"), true}};
    ::close(fd); // the descriptor object holds its own duplicate
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 10000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [fileURL](QDBusPendingCallWatcher* self) {
        // No portal on this desktop: the default application is the next best thing.
        if (self->isError())
            QDesktopServices::openUrl(fileURL);
        self->deleteLater();
    });
}

} // namespace vantrel
