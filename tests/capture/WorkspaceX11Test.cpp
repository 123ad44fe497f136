// SPDX-License-Identifier: GPL-3.0-or-later
// Revealing files through the session bus's file manager, and the folder fallback without one.
#include "Workspace.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDesktopServices>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

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

// Receives what QDesktopServices would hand to xdg-open.
class OpenedUrls : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;

public Q_SLOTS:
    void open(const QUrl& url) { urls.append(url); }
};

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
    QTest::qWait(100);
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

#include "WorkspaceX11Test.moc"
