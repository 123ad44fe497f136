// SPDX-License-Identifier: GPL-3.0-or-later
// The real vantrel process ended by a signal, as a kill, Ctrl+C in a terminal or a closed
// terminal end it: it goes through the same orderly quit as its menu. Edits reach the history,
// temporary files and the desktop covers go, and the exit status is 0.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <signal.h>

namespace {

QString runTool(const QString& program, const QStringList& args, QByteArray* output = nullptr)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(10000))
        return QStringLiteral("timed out");
    if (output)
        *output = p.readAllStandardOutput();
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QStringLiteral("exit %1: %2").arg(p.exitCode()).arg(QString::fromUtf8(p.readAllStandardError()));
    return QString();
}

QString historyDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Vantrel/History");
}

QJsonArray history()
{
    QFile file(historyDir() + QStringLiteral("/history.json"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).array();
}

QStringList soundFiles()
{
    return QDir(qEnvironmentVariable("XDG_RUNTIME_DIR")).entryList({QStringLiteral("vantrel-*.wav")}, QDir::Files);
}

QStringList windowsNamed(const QString& pattern)
{
    QByteArray ids;
    runTool(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--name"), pattern}, &ids);
    return QString::fromLatin1(ids).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void writeSettings(const QByteArray& json)
{
    const QDir config(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Vantrel"));
    ASSERT_TRUE(config.mkpath(QStringLiteral(".")));
    QFile settings(config.filePath(QStringLiteral("settings.json")));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly | QIODevice::Truncate));
    settings.write(json);
}

class Vantrel
{
public:
    Vantrel()
    {
        m_process.setProgram(QStringLiteral(VANTREL_BINARY));
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start();
    }
    ~Vantrel()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }
    bool waitStarted()
    {
        return QTest::qWaitFor(
            [] {
                return QDBusConnection::sessionBus().interface()->isServiceRegistered(
                    QStringLiteral("org.vantrel.Vantrel"));
            },
            15000);
    }
    // Presses the full-screen shortcut until a capture is listed: the first presses may come
    // before the shortcut is grabbed, and then nothing happens.
    bool captureFullScreen()
    {
        const qsizetype before = history().size();
        for (int attempt = 0; attempt < 20; ++attempt) {
            if (!runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("shift+super+f")}).isEmpty())
                return false;
            if (QTest::qWaitFor([&] { return history().size() > before; }, 750))
                return true;
        }
        return false;
    }
    void signal(int number) { ::kill(pid_t(m_process.processId()), number); }
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

} // namespace

TEST(Shutdown, SigtermWithAnEditedEditorOpenKeepsTheEditAndEndsCleanly)
{
    writeSettings(R"({"didOnboard":{"bool":true},"afterShowOverlay":{"bool":false},"afterCopy":{"bool":false},)"
                  R"("afterOpenEditor":{"bool":true},"playSound":{"bool":true},"hideDesktopIcons":{"bool":true}})");
    Vantrel app;
    ASSERT_TRUE(app.waitStarted()) << app.errors().toStdString();
    ASSERT_TRUE(
        QTest::qWaitFor([] { return !windowsNamed(QStringLiteral("^Vantrel Desktop Cover$")).isEmpty(); }, 10000));
    ASSERT_TRUE(app.captureFullScreen()) << app.errors().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([] { return !windowsNamed(QStringLiteral("^Vantrel Editor$")).isEmpty(); }, 10000))
        << app.errors().toStdString();
    // The capture sound has been handed over: Vantrel's own sound files exist now.
    ASSERT_TRUE(QTest::qWaitFor([] { return soundFiles().size() == 2; }, 10000));

    // The newest editor (a second press may have made a second capture) gets a filled
    // rectangle across the middle of its canvas.
    const QString window = windowsNamed(QStringLiteral("^Vantrel Editor$")).last();
    ASSERT_EQ(runTool(QStringLiteral("xdotool"), {"windowactivate", "--sync", window}), QString());
    QByteArray geometry;
    runTool(QStringLiteral("xdotool"), {"getwindowgeometry", "--shell", window}, &geometry);
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
        ASSERT_EQ(runTool(QStringLiteral("xdotool"), step), QString());
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

    app.signal(SIGTERM);
    ASSERT_TRUE(app.process().waitForFinished(15000)) << app.errors().toStdString();
    EXPECT_EQ(app.process().exitStatus(), QProcess::NormalExit) << app.errors().toStdString();
    EXPECT_EQ(app.process().exitCode(), 0) << app.errors().toStdString();
    EXPECT_TRUE(app.errors().contains(QStringLiteral("Vantrel: quitting on signal 15")));

    // The edit is in a history picture: the middle of the screen is the rectangle's red.
    bool edited = false;
    for (const QJsonValue& record : history()) {
        const QImage picture(historyDir() + QLatin1Char('/') + record.toObject().value("fileName").toString());
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
    writeSettings(R"({"didOnboard":{"bool":true},"afterShowOverlay":{"bool":false},"afterCopy":{"bool":false},)"
                  R"("playSound":{"bool":true},"hideDesktopIcons":{"bool":true}})");
    for (const int number : {SIGINT, SIGHUP}) {
        Vantrel app;
        ASSERT_TRUE(app.waitStarted()) << app.errors().toStdString();
        ASSERT_TRUE(app.captureFullScreen()) << app.errors().toStdString();
        ASSERT_TRUE(QTest::qWaitFor([] { return soundFiles().size() == 2; }, 10000));
        app.signal(number);
        ASSERT_TRUE(app.process().waitForFinished(15000)) << number;
        EXPECT_EQ(app.process().exitStatus(), QProcess::NormalExit) << number << app.errors().toStdString();
        EXPECT_EQ(app.process().exitCode(), 0) << number << app.errors().toStdString();
        EXPECT_TRUE(soundFiles().isEmpty()) << number;
        // The name is free again, for the next start.
        EXPECT_TRUE(QTest::qWaitFor(
            [] {
                return !QDBusConnection::sessionBus().interface()->isServiceRegistered(
                    QStringLiteral("org.vantrel.Vantrel"));
            },
            5000));
    }
}
