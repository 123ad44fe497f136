// SPDX-License-Identifier: GPL-3.0-or-later
// Runs under the X11 harness with the real application: a private X server with a window
// manager, a session bus and empty XDG folders, so the first start is a first start.
#include "X11TestSupport.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

using vantrel::test::windowsTitled;
using vantrel::test::xdotool;

namespace {

class VantrelProcess : public vantrel::test::VantrelProcess
{
public:
    VantrelProcess()
        : vantrel::test::VantrelProcess(QStringLiteral(VANTREL_BINARY))
    { }
    std::string errors() { return vantrel::test::VantrelProcess::errors().toStdString(); }
};

// None while no window is active.
QString activeWindow()
{
    const std::optional<QByteArray> out
        = vantrel::test::runProcess(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")});
    return out ? QString::fromLatin1(*out).trimmed() : QString();
}

bool busNameTaken()
{
    return vantrel::test::vantrelOnTheBus();
}

bool busNameFree()
{
    return !busNameTaken();
}

// A launch of `vantrel` while it runs: a reopen request, handed over the session bus.
void reopen()
{
    VantrelProcess second;
    ASSERT_TRUE(second.process().waitForFinished(10000));
    ASSERT_EQ(second.process().exitCode(), 0);
}

} // namespace

TEST(WindowsOnX11, TheWelcomeShowsOnceAndReopeningBringsTheOneSettingsWindowToTheFront)
{
    const QString welcomeTitle = QStringLiteral("Welcome to Vantrel");
    const QString settingsTitle = QStringLiteral("Vantrel Settings");
    ASSERT_FALSE(QFile::exists(QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).filePath("Vantrel/settings.json")));
    {
        VantrelProcess app;
        ASSERT_TRUE(QTest::qWaitFor(busNameTaken, 10000)) << app.errors();
        ASSERT_TRUE(QTest::qWaitFor([&] { return windowsTitled(welcomeTitle).size() == 1; }, 10000)) << app.errors();
        const QString welcome = windowsTitled(welcomeTitle).first();
        EXPECT_TRUE(QTest::qWaitFor([&] { return activeWindow() == welcome; }, 5000));
        EXPECT_TRUE(windowsTitled(settingsTitle).isEmpty());

        reopen();
        ASSERT_TRUE(QTest::qWaitFor([&] { return windowsTitled(settingsTitle).size() == 1; }, 10000)) << app.errors();
        const QString settings = windowsTitled(settingsTitle).first();
        EXPECT_TRUE(QTest::qWaitFor([&] { return activeWindow() == settings; }, 5000)) << app.errors();

        // The welcome window in front again; the next reopen brings the same settings window back.
        xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), welcome});
        ASSERT_EQ(activeWindow(), welcome);
        reopen();
        EXPECT_TRUE(QTest::qWaitFor([&] { return activeWindow() == settings; }, 5000)) << app.errors();
        EXPECT_EQ(windowsTitled(settingsTitle), QStringList {settings});
        EXPECT_EQ(windowsTitled(welcomeTitle), QStringList {welcome});
    }
    ASSERT_TRUE(QTest::qWaitFor(busNameFree, 10000));

    // The next start of Vantrel does not greet again.
    VantrelProcess app;
    ASSERT_TRUE(QTest::qWaitFor(busNameTaken, 10000)) << app.errors();
    // A greeting would come half a second after start-up: a second past that, none has come.
    ASSERT_TRUE(vantrel::test::waitUntilVantrelIsReady()) << app.errors();
    QTest::qWait(1500);
    EXPECT_TRUE(windowsTitled(welcomeTitle).isEmpty());
    EXPECT_TRUE(windowsTitled(settingsTitle).isEmpty());
}
