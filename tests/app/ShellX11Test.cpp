// SPDX-License-Identifier: GPL-3.0-or-later
// Runs under the X11 harness: a real X server split into two monitors, and a session bus.
#include "ToastService.h"

#include <QCursor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace vantrel;

TEST(ToastsOnX11, ShowOnTheScreenUnderTheMouse)
{
    const auto screens = QGuiApplication::screens();
    ASSERT_GE(screens.size(), 2) << "the harness splits the display into two monitors";
    ToastService toasts;
    for (QScreen* screen : screens) {
        QCursor::setPos(screen->geometry().center());
        ASSERT_TRUE(QTest::qWaitFor([&] { return screen->geometry().contains(QCursor::pos()); }, 2000));
        toasts.show({.text = QStringLiteral("Copied to clipboard"), .symbol = QStringLiteral("checkmark.circle.fill")});
        const QRect frame = screen->geometry();
        const QRect panel = toasts.currentPanel()->geometry();
        EXPECT_TRUE(frame.contains(panel)) << screen->name().toStdString();
        EXPECT_EQ(panel.bottom(), frame.bottom() - ToastService::bottomOffset);
        EXPECT_LE(std::abs(panel.center().x() - frame.center().x()), 1);
    }
}

namespace {

// The real application, started in this test's private session.
class VantrelProcess
{
public:
    explicit VantrelProcess(const QStringList& args = {})
    {
        m_process.setProgram(QStringLiteral(VANTREL_BINARY));
        m_process.setArguments(args);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start();
    }
    ~VantrelProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(3000))
                m_process.kill();
            m_process.waitForFinished(1000);
        }
    }
    QProcess& process() { return m_process; }
    QString errors()
    {
        m_stderr += QString::fromUtf8(m_process.readAllStandardError());
        return m_stderr;
    }

private:
    QProcess m_process;
    QString m_stderr;
};

// Top-level windows titled like the editor, as the window manager sees them.
QStringList editorWindows()
{
    QProcess search;
    search.start(QStringLiteral("xdotool"),
        {QStringLiteral("search"), QStringLiteral("--name"), QStringLiteral("^Vantrel Editor$")});
    search.waitForFinished(5000);
    return QString::fromLatin1(search.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

bool busNameTaken()
{
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(QStringLiteral("org.vantrel.Vantrel"));
}

} // namespace

TEST(SingleInstanceOnX11, ASecondLaunchHandsOverAndExits)
{
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected());
    VantrelProcess first;
    ASSERT_TRUE(QTest::qWaitFor(busNameTaken, 10000)) << first.errors().toStdString();

    {
        VantrelProcess second;
        ASSERT_TRUE(second.process().waitForFinished(10000));
        EXPECT_EQ(second.process().exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(second.process().exitCode(), 0);
    }
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return first.errors().contains(QStringLiteral("Vantrel: reopen requested")); }, 5000))
        << first.errors().toStdString();

    // Files go to the running instance, which opens each in an editor window.
    EXPECT_TRUE(editorWindows().isEmpty());
    QTemporaryDir dir;
    const QString image = dir.filePath(QStringLiteral("shot.png"));
    QImage(40, 30, QImage::Format_RGB32).save(image);
    VantrelProcess withFile({image});
    ASSERT_TRUE(withFile.process().waitForFinished(10000));
    EXPECT_EQ(withFile.process().exitCode(), 0);
    EXPECT_TRUE(first.process().state() == QProcess::Running);
    ASSERT_TRUE(QTest::qWaitFor([] { return editorWindows().size() == 1; }, 10000)) << first.errors().toStdString();

    // A second image, a second window; a file that is no image opens nothing.
    const QString text = dir.filePath(QStringLiteral("notes.png"));
    QFile notes(text);
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("not a picture");
    notes.close();
    VantrelProcess more({image, text});
    ASSERT_TRUE(more.process().waitForFinished(10000));
    ASSERT_TRUE(QTest::qWaitFor([] { return editorWindows().size() == 2; }, 10000)) << first.errors().toStdString();
    QTest::qWait(300);
    EXPECT_EQ(editorWindows().size(), 2);
    EXPECT_FALSE(first.errors().contains(QStringLiteral("not built yet; the image is not opened")));
}
