// SPDX-License-Identifier: GPL-3.0-or-later
// The real program on a headless sway desktop of two outputs, the second at scale 2: an area
// dragged over a window on the second output, through wlroots' screencopy and through the
// desktop's screenshot portal (one picture of the whole desktop, cut per output). Each output
// shows its own frozen overlay, and the picture holds exactly the window's native pixels.
#include "VirtualInput.h"
#include "WaylandTestSupport.h"
#include "X11TestSupport.h"

#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

using namespace vantrel;
using namespace vantrel::test;

namespace {

const QString overlayTitle = QStringLiteral("Vantrel Selection");

bool runAction(const QString& action)
{
    QProcess command;
    command.start(QStringLiteral(VANTREL_BINARY), {QStringLiteral("--action"), action});
    return command.waitForFinished(10000) && command.exitStatus() == QProcess::NormalExit && command.exitCode() == 0;
}

QList<QRect> sorted(QList<QRect> rects)
{
    std::sort(rects.begin(), rects.end(), [](const QRect& a, const QRect& b) { return a.x() < b.x(); });
    return rects;
}

class WaylandOutputsFlow : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        std::string error;
        s_input = VirtualInput::connect(&error).release();
        ASSERT_NE(s_input, nullptr) << error;
        const std::optional<QByteArray> outputs = swaymsg({QStringLiteral("-t"), QStringLiteral("get_outputs")});
        ASSERT_TRUE(outputs && outputs->contains("HEADLESS-2")) << "the test needs the harness's --outputs 2";
        ASSERT_TRUE(swaymsg(
            {QStringLiteral("output"), QStringLiteral("HEADLESS-2"), QStringLiteral("scale"), QStringLiteral("2")}));
    }
    static void TearDownTestSuite()
    {
        delete s_input;
        s_input = nullptr;
    }

    void SetUp() override
    {
        ASSERT_NE(s_input, nullptr);
        ASSERT_TRUE(QTest::qWaitFor(
            [] {
                const QList<QScreen*> screens = QGuiApplication::screens();
                return screens.size() == 2 && screens.at(1)->devicePixelRatio() == 2.0
                    && screens.at(1)->geometry() == QRect(1280, 0, 640, 360);
            },
            5000));
        writeVantrelSettings(
            R"({"didOnboard":{"bool":true},"afterShowOverlay":{"bool":false},)"
            R"("playSound":{"bool":false},"afterCopy":{"bool":false},"dropAnimation":{"bool":false}})");
    }

    // Shows a window on the second output, has Vantrel (started by the caller) capture the area
    // the window covers by a drag there, and checks the picture and the overlays.
    void captureWindowOnSecondOutput(VantrelProcess& app, QRgb colour, const QString& title)
    {
        ASSERT_TRUE(swaymsg({QStringLiteral("focus"), QStringLiteral("output"), QStringLiteral("HEADLESS-2")}));
        SolidWindow window(QColor::fromRgb(colour), title);
        window.resize(150, 90);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QList<QRect> placed;
        ASSERT_TRUE(QTest::qWaitFor([&] { return (placed = swayWindows(title)).size() == 1; }, 5000));
        const QRect target = placed.first();
        ASSERT_EQ(target.size(), QSize(150, 90));
        ASSERT_TRUE(QGuiApplication::screens().at(1)->geometry().contains(target)) << target.x() << "," << target.y();

        ASSERT_TRUE(waitUntilVantrelIsReady()) << app.errors().toStdString();
        // The shortcut is pressed while working on the second output; the pointer waits in a
        // corner there (the portal's picture shows it).
        ASSERT_TRUE(s_input->moveTo(1285, 355));
        const QStringList before = historyPictures();
        ASSERT_TRUE(runAction(QStringLiteral("captureArea")));
        QList<QRect> overlays;
        ASSERT_TRUE(QTest::qWaitFor([&] { return (overlays = swayWindows(overlayTitle)).size() == 2; }, 15000))
            << app.errors().toStdString();
        // One overlay on each output, covering it exactly.
        EXPECT_EQ(sorted(overlays),
            QList<QRect>({QGuiApplication::screens().at(0)->geometry(), QGuiApplication::screens().at(1)->geometry()}));
        // sway lists a window before it has taken its place; input goes to it once the overlay
        // shows the window dimmed.
        ASSERT_TRUE(overlayIsUp(target.center(), colour));

        ASSERT_TRUE(s_input->drag(target.left(), target.top(), target.right() + 1, target.bottom() + 1));
        const QImage picture = waitForNewHistoryPicture(before, 15000);
        ASSERT_FALSE(picture.isNull()) << app.errors().toStdString();
        // Cut from the second output's picture at its scale: every native pixel of the window.
        EXPECT_EQ(picture.size(), QSize(300, 180));
        EXPECT_EQ(pixelsOf(picture, colour), 300 * 180);
        EXPECT_TRUE(QTest::qWaitFor([] { return swayWindows(overlayTitle).isEmpty(); }, 5000));
    }

    static VirtualInput* s_input;
};

VirtualInput* WaylandOutputsFlow::s_input = nullptr;

} // namespace

TEST_F(WaylandOutputsFlow, AnAreaOnTheSecondOutputThroughScreencopy)
{
    VantrelProcess app(QStringLiteral(VANTREL_BINARY));
    captureWindowOnSecondOutput(app, qRgb(220, 30, 160), QStringLiteral("Screencopy target"));
    EXPECT_TRUE(app.errors().contains(QStringLiteral("screenshots through screencopy"))) << app.errors().toStdString();
}

TEST_F(WaylandOutputsFlow, AnAreaOnTheSecondOutputThroughTheScreenshotPortal)
{
    ScreenshotPortal portal;
    ASSERT_TRUE(portal.ready()) << portal.why().toStdString();
    qputenv("VANTREL_WAYLAND_CAPTURE", "portal");
    VantrelProcess app(QStringLiteral(VANTREL_BINARY));
    qunsetenv("VANTREL_WAYLAND_CAPTURE");
    captureWindowOnSecondOutput(app, qRgb(20, 170, 230), QStringLiteral("Portal target"));
    EXPECT_TRUE(app.errors().contains(QStringLiteral("screenshots through the portal"))) << app.errors().toStdString();
}
