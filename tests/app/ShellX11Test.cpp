// SPDX-License-Identifier: GPL-3.0-or-later
// Runs under the X11 harness: a real X server split into two monitors, and a session bus.
#include "ToastService.h"
#include "X11TestSupport.h"

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

#include <sys/stat.h>

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
class VantrelProcess : public test::VantrelProcess
{
public:
    explicit VantrelProcess(const QStringList& arguments = {})
        : test::VantrelProcess(QStringLiteral(VANTREL_BINARY), arguments)
    { }
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
    return test::vantrelOnTheBus();
}

using test::callVantrel;

} // namespace

TEST(SingleInstanceOnX11, FilesThatCannotBeOpenedAreNamedAndNeverBlockOrOpenTheSettings)
{
    const QDir config(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Vantrel"));
    ASSERT_TRUE(config.mkpath(QStringLiteral(".")));
    QFile settings(config.filePath(QStringLiteral("settings.json")));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write(R"({"didOnboard":{"bool":true}})");
    settings.close();

    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("pipe.png"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString folder = dir.filePath(QStringLiteral("folder.png"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString empty = dir.filePath(QStringLiteral("empty.png"));
    QFile(empty).open(QIODevice::WriteOnly);

    // Nothing to open and nobody running: the launch names each file and fails.
    {
        VantrelProcess alone({empty, dir.filePath(QStringLiteral("missing.png"))});
        ASSERT_TRUE(alone.process().waitForFinished(10000));
        EXPECT_EQ(alone.process().exitCode(), 1);
        EXPECT_TRUE(alone.errors().contains(QStringLiteral("could not open %1: the file is empty").arg(empty)))
            << alone.errors().toStdString();
        EXPECT_TRUE(alone.errors().contains(QStringLiteral("missing.png: there is no such file")));
        EXPECT_FALSE(busNameTaken());
    }

    VantrelProcess app;
    ASSERT_TRUE(QTest::qWaitFor(busNameTaken, 10000)) << app.errors().toStdString();

    // Over the bus: the running instance answers at once and keeps answering.
    const QDBusMessage reply = callVantrel(QStringLiteral("OpenFiles"),
        {QStringList {QUrl::fromLocalFile(fifo).toString(), QUrl::fromLocalFile(folder).toString()}});
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_EQ(callVantrel(QStringLiteral("Reopen")).type(), QDBusMessage::ReplyMessage);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return app.errors().contains(QStringLiteral("could not open %1: it is not a regular file").arg(fifo))
                && app.errors().contains(QStringLiteral("could not open %1: it is a folder").arg(folder));
        },
        5000))
        << app.errors().toStdString();
    EXPECT_TRUE(editorWindows().isEmpty());

    // From a second launch: the same words on its standard error, a failing exit, and no
    // reopen (the settings window) in place of the files: only the two explicit ones arrive.
    VantrelProcess handOver({fifo, folder});
    ASSERT_TRUE(handOver.process().waitForFinished(10000));
    EXPECT_EQ(handOver.process().exitCode(), 1);
    EXPECT_TRUE(handOver.errors().contains(QStringLiteral("could not open %1: it is not a regular file").arg(fifo)))
        << handOver.errors().toStdString();
    EXPECT_TRUE(handOver.errors().contains(QStringLiteral("could not open %1: it is a folder").arg(folder)));
    EXPECT_EQ(callVantrel(QStringLiteral("Reopen")).type(), QDBusMessage::ReplyMessage) << "still answering";
    // The line is written before the call is answered; it only has to come through the pipe.
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return app.errors().count(QStringLiteral("Vantrel: reopen requested")) >= 2; }, 5000));
    EXPECT_EQ(app.errors().count(QStringLiteral("Vantrel: reopen requested")), 2) << app.errors().toStdString();
    EXPECT_TRUE(app.process().state() == QProcess::Running);
}

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
    // The files of one launch are opened in one go: once this call is answered, the one that is
    // no image has had its turn too.
    EXPECT_EQ(callVantrel(QStringLiteral("OpenFiles"), {QStringList()}).type(), QDBusMessage::ReplyMessage);
    QCoreApplication::processEvents();
    EXPECT_EQ(editorWindows().size(), 2);
    EXPECT_FALSE(first.errors().contains(QStringLiteral("not built yet; the image is not opened")));
}

namespace {

QString runTool(const QString& program, const QStringList& args, QByteArray* output = nullptr)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(10000))
        return QStringLiteral("%1 timed out").arg(program);
    if (output)
        *output = p.readAllStandardOutput();
    if (p.exitCode() != 0)
        return QStringLiteral("%1: %2").arg(program, QString::fromUtf8(p.readAllStandardError()));
    return QString();
}

QImage clipboardPng()
{
    QByteArray targets;
    if (!runTool(QStringLiteral("xclip"), {"-selection", "clipboard", "-t", "TARGETS", "-o"}, &targets).isEmpty()
        || !targets.contains("image/png"))
        return {};
    QByteArray png;
    runTool(QStringLiteral("xclip"), {"-selection", "clipboard", "-t", "image/png", "-o"}, &png);
    return QImage::fromData(png, "PNG");
}

} // namespace

TEST(EditorOnX11, AnOpenedImageIsDrawnOnCopiedSavedAndClosedWithTheKeyboardAndMouse)
{
    // Not a first start: the welcome window would take the keyboard from the editor.
    const QDir config(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Vantrel"));
    ASSERT_TRUE(config.mkpath(QStringLiteral(".")));
    QFile settings(config.filePath(QStringLiteral("settings.json")));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write(R"({"didOnboard":{"bool":true}})");
    settings.close();

    VantrelProcess app;
    ASSERT_TRUE(QTest::qWaitFor(busNameTaken, 10000)) << app.errors().toStdString();
    QTemporaryDir dir;
    const QString image = dir.filePath(QStringLiteral("white.png"));
    QImage white(400, 300, QImage::Format_RGB32);
    white.fill(Qt::white);
    ASSERT_TRUE(white.save(image));
    VantrelProcess handOver({image});
    ASSERT_TRUE(handOver.process().waitForFinished(10000));
    ASSERT_TRUE(QTest::qWaitFor([] { return editorWindows().size() == 1; }, 10000)) << app.errors().toStdString();
    const QString window = editorWindows().first();
    ASSERT_EQ(runTool(QStringLiteral("xdotool"), {"windowactivate", "--sync", window}), QString());

    // The canvas sits between the 52-point toolbar and the 46-point bottom bar; the picture is
    // centred in it. Pick the filled rectangle with its letter and drag across the centre.
    QByteArray geometry;
    runTool(QStringLiteral("xdotool"), {"getwindowgeometry", "--shell", window}, &geometry);
    int width = 0, height = 0;
    for (const QByteArray& line : geometry.split('\n')) {
        if (line.startsWith("WIDTH="))
            width = line.mid(6).toInt();
        if (line.startsWith("HEIGHT="))
            height = line.mid(7).toInt();
    }
    ASSERT_GT(width, 0);
    const int cx = width / 2;
    const int cy = (53 + height - 47) / 2;
    auto xdotool = [&](const QStringList& args) {
        const QString error = runTool(QStringLiteral("xdotool"), args);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    };
    xdotool({"key", "f"});
    xdotool({"mousemove", "--window", window, QString::number(cx - 40), QString::number(cy - 30)});
    xdotool({"mousedown", "1"});
    xdotool({"mousemove", "--window", window, QString::number(cx), QString::number(cy)});
    xdotool({"mousemove", "--window", window, QString::number(cx + 40), QString::number(cy + 30)});
    xdotool({"mouseup", "1"});

    // Ctrl+C: the edited picture on the clipboard, in pixels.
    xdotool({"key", "ctrl+c"});
    QImage copied;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            copied = clipboardPng();
            return !copied.isNull();
        },
        5000))
        << app.errors().toStdString();
    EXPECT_EQ(copied.size(), QSize(400, 300));
    EXPECT_EQ(copied.pixelColor(200, 150), QColor(255, 59, 48));
    EXPECT_EQ(copied.pixelColor(10, 10), QColor(Qt::white));

    // Ctrl+S: a file in the save folder (the desktop folder by default).
    const QDir desktop(QDir::home().filePath(QStringLiteral("Desktop")));
    xdotool({"key", "ctrl+s"});
    QStringList saved;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            saved = desktop.entryList({QStringLiteral("*.png")}, QDir::Files);
            return !saved.isEmpty();
        },
        5000))
        << app.errors().toStdString();
    const QImage file(desktop.filePath(saved.first()));
    EXPECT_EQ(file.pixelColor(200, 150), QColor(255, 59, 48));

    // Ctrl+W closes the window without a question.
    xdotool({"key", "ctrl+w"});
    EXPECT_TRUE(QTest::qWaitFor([] { return editorWindows().isEmpty(); }, 5000));
    EXPECT_TRUE(app.process().state() == QProcess::Running);
}
