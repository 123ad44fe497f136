// SPDX-License-Identifier: GPL-3.0-or-later
// The real vantrel process ended by a signal, as a kill, Ctrl+C in a terminal or a closed
// terminal end it: it goes through the same orderly quit as its menu. Edits reach the history,
// temporary files and the desktop covers go, and the exit status is 0.
#include "X11TestSupport.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <signal.h>

namespace {

using vantrel::test::historyFile;
using vantrel::test::historyRecords;
using vantrel::test::runProcess;
using vantrel::test::VantrelProcess;
using vantrel::test::writeVantrelSettings;
using vantrel::test::xdotool;

QStringList soundFiles()
{
    return QDir(qEnvironmentVariable("XDG_RUNTIME_DIR")).entryList({QStringLiteral("vantrel-*.wav")}, QDir::Files);
}

// xdotool answers 1 when nothing matches: that is an empty list too.
QStringList windowsNamed(const QString& pattern)
{
    const std::optional<QByteArray> ids
        = runProcess(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--name"), pattern});
    return QString::fromLatin1(ids.value_or(QByteArray())).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Starts Vantrel and waits until its start-up, the shortcuts' grab included, is over.
std::unique_ptr<VantrelProcess> startVantrel()
{
    auto app = std::make_unique<VantrelProcess>(QStringLiteral(VANTREL_BINARY));
    if (!vantrel::test::waitUntilVantrelIsReady()) {
        ADD_FAILURE() << "Vantrel did not start: " << app->errors().toStdString();
        return nullptr;
    }
    return app;
}

bool captureFullScreen()
{
    const qsizetype before = historyRecords().size();
    if (!runProcess(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("shift+super+f")}))
        return false;
    return QTest::qWaitFor([&] { return historyRecords().size() > before; }, 10000);
}

void signal(VantrelProcess& app, int number)
{
    ::kill(pid_t(app.process().processId()), number);
}

} // namespace

TEST(Shutdown, SigtermWithAnEditedEditorOpenKeepsTheEditAndEndsCleanly)
{
    writeVantrelSettings(
        R"({"didOnboard":{"bool":true},"afterShowOverlay":{"bool":false},"afterCopy":{"bool":false},)"
        R"("afterOpenEditor":{"bool":true},"playSound":{"bool":true},"hideDesktopIcons":{"bool":true}})");
    const std::unique_ptr<VantrelProcess> started = startVantrel();
    ASSERT_TRUE(started);
    VantrelProcess& app = *started;
    ASSERT_TRUE(
        QTest::qWaitFor([] { return !windowsNamed(QStringLiteral("^Vantrel Desktop Cover$")).isEmpty(); }, 10000));
    ASSERT_TRUE(captureFullScreen()) << app.errors().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([] { return !windowsNamed(QStringLiteral("^Vantrel Editor$")).isEmpty(); }, 10000))
        << app.errors().toStdString();
    // The capture sound has been handed over: Vantrel's own sound files exist now.
    ASSERT_TRUE(QTest::qWaitFor([] { return soundFiles().size() == 2; }, 10000));

    // The editor gets a filled rectangle across the middle of its canvas.
    const QStringList editors = windowsNamed(QStringLiteral("^Vantrel Editor$"));
    ASSERT_EQ(editors.size(), 1);
    const QString window = editors.front();
    xdotool({"windowactivate", "--sync", window});
    const QByteArray geometry = xdotool({"getwindowgeometry", "--shell", window}).toLatin1();
    int left = 0, top = 0, width = 0, height = 0;
    for (const QByteArray& line : geometry.split('\n')) {
        if (line.startsWith("X="))
            left = line.mid(2).toInt();
        if (line.startsWith("Y="))
            top = line.mid(2).toInt();
        if (line.startsWith("WIDTH="))
            width = line.mid(6).toInt();
        if (line.startsWith("HEIGHT="))
            height = line.mid(7).toInt();
    }
    ASSERT_GT(width, 0);
    // The canvas lies between the 52-point toolbar and the 46-point bottom bar.
    const int cx = width / 2;
    const int cy = (53 + height - 47) / 2;
    for (const QStringList& step : std::initializer_list<QStringList> {{"key", "f"},
             {"mousemove", "--window", window, QString::number(cx - 60), QString::number(cy - 40)}, {"mousedown", "1"},
             {"mousemove", "--window", window, QString::number(cx), QString::number(cy)},
             {"mousemove", "--window", window, QString::number(cx + 60), QString::number(cy + 40)}, {"mouseup", "1"}})
        xdotool(step);
    // The drawing has been handled once the window shows it; the history file still holds the
    // unedited capture.
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const QImage pixel = screen->grabWindow(0, left + cx, top + cy, 1, 1).toImage();
            return !pixel.isNull() && pixel.pixelColor(0, 0) == QColor(255, 59, 48);
        },
        10000))
        << app.errors().toStdString();

    signal(app, SIGTERM);
    ASSERT_TRUE(app.process().waitForFinished(15000)) << app.errors().toStdString();
    EXPECT_EQ(app.process().exitStatus(), QProcess::NormalExit) << app.errors().toStdString();
    EXPECT_EQ(app.process().exitCode(), 0) << app.errors().toStdString();
    EXPECT_TRUE(app.errors().contains(QStringLiteral("Vantrel: quitting on signal 15")));

    // The edit is in a history picture: the middle of the screen is the rectangle's red.
    bool edited = false;
    for (const QJsonValue& record : historyRecords()) {
        const QImage picture(historyFile(record.toObject()));
        ASSERT_FALSE(picture.isNull());
        edited = edited || picture.pixelColor(picture.width() / 2, picture.height() / 2) == QColor(255, 59, 48);
    }
    EXPECT_TRUE(edited) << "no history picture holds the edit";
    EXPECT_TRUE(soundFiles().isEmpty()) << soundFiles().join(QLatin1Char(' ')).toStdString();
    EXPECT_TRUE(windowsNamed(QStringLiteral("^Vantrel")).isEmpty());
}

// Ctrl+C in a terminal and a closed terminal end Vantrel the same way.
TEST(Shutdown, SigintAndSighupQuitInOrderToo)
{
    writeVantrelSettings(R"({"didOnboard":{"bool":true},"afterShowOverlay":{"bool":false},"afterCopy":{"bool":false},)"
                         R"("playSound":{"bool":true},"hideDesktopIcons":{"bool":true}})");
    for (const int number : {SIGINT, SIGHUP}) {
        const std::unique_ptr<VantrelProcess> started = startVantrel();
        ASSERT_TRUE(started);
        VantrelProcess& app = *started;
        ASSERT_TRUE(captureFullScreen()) << app.errors().toStdString();
        ASSERT_TRUE(QTest::qWaitFor([] { return soundFiles().size() == 2; }, 10000));
        signal(app, number);
        ASSERT_TRUE(app.process().waitForFinished(15000)) << number;
        EXPECT_EQ(app.process().exitStatus(), QProcess::NormalExit) << number << app.errors().toStdString();
        EXPECT_EQ(app.process().exitCode(), 0) << number << app.errors().toStdString();
        EXPECT_TRUE(soundFiles().isEmpty()) << number;
        // The name is free again, for the next start.
        EXPECT_TRUE(QTest::qWaitFor([] { return !vantrel::test::vantrelOnTheBus(); }, 5000));
    }
}
