// SPDX-License-Identifier: GPL-3.0-or-later
// Revealing files through the session bus's file manager, and the folder fallback without one.
#include "Workspace.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDesktopServices>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace vantrel;

namespace {

// Stands in for a file manager on the session bus.
class FakeFileManager : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList shown;

public Q_SLOTS:
    void ShowItems(const QStringList& uris, const QString&) { shown += uris; }
};

// Stands in for the desktop portal's "open with" service.
class FakeOpenURIPortal : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.OpenURI")
public:
    struct Call
    {
        struct stat file;
        QVariantMap options;
    };
    std::vector<Call> calls;

public Q_SLOTS:
    QDBusObjectPath OpenFile(const QString&, const QDBusUnixFileDescriptor& fd, const QVariantMap& options)
    {
        Call call {{}, options};
        fstat(fd.fileDescriptor(), &call.file);
        calls.push_back(call);
        return QDBusObjectPath(QStringLiteral("/org/freedesktop/portal/desktop/request/1_1/vantrel"));
    }
};

// Receives what QDesktopServices would hand to xdg-open.
class OpenedUrls : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;

public Q_SLOTS:
    void open(const QUrl& url) { urls.append(url); }
};

// Lets every answer already on its way over the bus reach its watcher: the bus delivers in
// order, so once a round trip sent now has come back, earlier replies have been queued too.
void settleBus(QDBusConnection& bus)
{
    bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.DBus"));
    QCoreApplication::processEvents();
}

} // namespace

TEST(DesktopWorkspaceOnTheBus, RevealAsksTheFileManagerElseOpensTheFolder)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    ASSERT_TRUE(bus.isConnected()) << "the harness runs a session bus";
    OpenedUrls opened;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &opened, "open");
    DesktopWorkspace workspace;
    const QUrl file = QUrl::fromLocalFile(QStringLiteral("/tmp/some folder/Vantrel 2026.png"));

    FakeFileManager manager;
    ASSERT_TRUE(
        bus.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &manager, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(bus.registerService(QStringLiteral("org.freedesktop.FileManager1")));
    workspace.reveal(file);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !manager.shown.isEmpty(); }, 5000));
    EXPECT_EQ(manager.shown, QStringList {file.toString()});
    settleBus(bus);
    EXPECT_TRUE(opened.urls.isEmpty());

    bus.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
    bus.unregisterObject(QStringLiteral("/org/freedesktop/FileManager1"));
    workspace.reveal(file);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !opened.urls.isEmpty(); }, 8000));
    EXPECT_EQ(opened.urls, QList<QUrl> {QUrl::fromLocalFile(QStringLiteral("/tmp/some folder"))});

    EXPECT_TRUE(workspace.open(QUrl::fromLocalFile(QStringLiteral("/tmp/x.png"))));
    EXPECT_EQ(opened.urls.last(), QUrl::fromLocalFile(QStringLiteral("/tmp/x.png")));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

TEST(DesktopWorkspaceOnTheBus, OpenWithAsksThePortalToChooseElseOpensTheFile)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    ASSERT_TRUE(bus.isConnected());
    OpenedUrls opened;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &opened, "open");
    DesktopWorkspace workspace;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Vantrel shot.png"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("png");
    file.close();

    FakeOpenURIPortal portal;
    ASSERT_TRUE(bus.registerObject(
        QStringLiteral("/org/freedesktop/portal/desktop"), &portal, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
    workspace.openWith(QUrl::fromLocalFile(path));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !portal.calls.empty(); }, 5000));
    // The portal got the file itself (by descriptor) and was asked to let the user choose.
    struct stat expected;
    ASSERT_EQ(stat(QFile::encodeName(path).constData(), &expected), 0);
    EXPECT_EQ(portal.calls[0].file.st_ino, expected.st_ino);
    EXPECT_EQ(portal.calls[0].file.st_dev, expected.st_dev);
    EXPECT_EQ(portal.calls[0].options.value(QStringLiteral("ask")), QVariant(true));
    settleBus(bus);
    EXPECT_TRUE(opened.urls.isEmpty());

    // Without a portal the file opens with its default application.
    bus.unregisterService(QStringLiteral("org.freedesktop.portal.Desktop"));
    bus.unregisterObject(QStringLiteral("/org/freedesktop/portal/desktop"));
    workspace.openWith(QUrl::fromLocalFile(path));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !opened.urls.isEmpty(); }, 8000));
    EXPECT_EQ(opened.urls, QList<QUrl> {QUrl::fromLocalFile(path)});
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

#include "WorkspaceX11Test.moc"
