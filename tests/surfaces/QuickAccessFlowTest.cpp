// SPDX-License-Identifier: GPL-3.0-or-later
// The real vantrel process with its default after-capture settings, in a private X session,
// driven only by synthetic input: a capture brings a thumbnail to the bottom-left corner, Ctrl+C
// on it copies the capture and sends it away, and "Pin Image from Clipboard" pins that picture.
#include "X11TestSupport.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeData>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <optional>

using namespace vantrel::test;

namespace {

const QColor red(220, 30, 40);
const QColor blue(30, 40, 220);

// A plain block of colour exactly where it is asked to be, so that scaled copies of it still
// show that colour in their middle.
class Block : public PatternWindow
{
public:
    Block(const QRect& geometry, const QColor& colour)
        : PatternWindow(geometry, Placement::exact, colour)
    { }
};

QString dataDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Vantrel/History");
}

int historyCount()
{
    QFile file(dataDir() + QStringLiteral("/history.json"));
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).array().size() : 0;
}

class QuickAccessFlow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Only what the first start and a silent test need; every after-capture setting is the
        // default one (copy, and show the thumbnail).
        const QString config
            = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Vantrel");
        QDir().mkpath(config);
        QFile settings(config + QStringLiteral("/settings.json"));
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
        settings.write(R"({"didOnboard":{"bool":true},"playSound":{"bool":false}})");
        settings.close();

        for (Block* block : {&m_red, &m_blue})
            ASSERT_TRUE(block->showAndWait());

        m_app.setProgram(QStringLiteral(VANTREL_BINARY));
        m_app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_app.start();
        // Its shortcuts are grabbed once it answers.
        ASSERT_TRUE(waitUntilVantrelIsReady());
        xdotool({QStringLiteral("mousemove"), QStringLiteral("1700"), QStringLiteral("80")});
    }

    void TearDown() override
    {
        m_app.terminate();
        m_app.waitForFinished(3000);
    }

    Block m_red {QRect(200, 150, 600, 400), red};
    Block m_blue {QRect(1000, 150, 600, 400), blue};
    QProcess m_app;
};

} // namespace

TEST_F(QuickAccessFlow, ACaptureShowsAThumbnailThatCopiesAndItsPictureCanBePinned)
{
    // Full screen (Shift+Super+F): 1920 × 1080 points make a 220 × 124 thumbnail.
    xdotool({QStringLiteral("key"), QStringLiteral("shift+super+f")});
    const std::optional<quint32> thumbnail = waitForWindow(QStringLiteral("Vantrel thumbnail"));
    ASSERT_TRUE(thumbnail);
    // The list file follows the picture by a few milliseconds.
    EXPECT_TRUE(QTest::qWaitFor([] { return historyCount() == 1; }, 5000));
    const QRect frame(16, 1080 - 16 - 124, 220, 124);
    EXPECT_TRUE(QTest::qWaitFor([&] { return serverGeometry(*thumbnail) == frame; }, 5000)) << "the slide-in ends";
    // The red block's middle, scaled down into the thumbnail.
    const QPoint redMiddle = frame.topLeft() + QPoint(500 * 220 / 1920, 350 * 220 / 1920);
    EXPECT_TRUE(QTest::qWaitFor([&] { return near(screenPixel(redMiddle), red, 40); }, 3000))
        << describe(screenPixel(redMiddle));

    // The clipboard holds something else; Ctrl+C on the thumbnail puts the capture back.
    QGuiApplication::clipboard()->setText(QStringLiteral("not a picture"));
    xdotool({QStringLiteral("mousemove"), QString::number(frame.center().x()), QString::number(frame.top() + 18),
        QStringLiteral("click"), QStringLiteral("1")});
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return xdotool({QStringLiteral("getactivewindow")}).toUInt() == *thumbnail; }, 5000));
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+c")});
    EXPECT_TRUE(QTest::qWaitFor([] { return windowsTitled(QStringLiteral("Vantrel thumbnail")).isEmpty(); }, 5000));

    const std::optional<QByteArray> png = runProcess(QStringLiteral("xclip"),
        {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"), QStringLiteral("image/png"),
            QStringLiteral("-o")});
    ASSERT_TRUE(png);
    const QImage copied = QImage::fromData(*png, "PNG");
    ASSERT_EQ(copied.size(), QSize(1920, 1080));
    EXPECT_EQ(copied.pixelColor(500, 350), red);
    EXPECT_EQ(copied.pixelColor(1300, 350), blue);

    // "Pin Image from Clipboard" (Shift+Super+P): the picture in 60 % of the screen, centred.
    xdotool({QStringLiteral("key"), QStringLiteral("shift+super+p")});
    const std::optional<quint32> pin = waitForWindow(QStringLiteral("Vantrel pin"));
    ASSERT_TRUE(pin);
    const QRect pinned(384, 216, 1152, 648);
    EXPECT_TRUE(QTest::qWaitFor([&] { return serverGeometry(*pin) == pinned; }, 5000));
    const auto at = [&](QPoint capturePoint) { return pinned.topLeft() + capturePoint * 0.6; };
    EXPECT_TRUE(QTest::qWaitFor([&] { return near(screenPixel(at(QPoint(500, 350))), red, 8); }, 3000))
        << describe(screenPixel(at(QPoint(500, 350))));
    EXPECT_TRUE(near(screenPixel(at(QPoint(1300, 350))), blue, 8)) << describe(screenPixel(at(QPoint(1300, 350))));
    // Pins do not land in the history: still the one capture.
    EXPECT_EQ(historyCount(), 1);
}
