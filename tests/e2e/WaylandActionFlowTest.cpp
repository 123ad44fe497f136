// SPDX-License-Identifier: GPL-3.0-or-later
// The real program in a headless sway session, driven the way a user drives it: a desktop
// shortcut runs `vantrel --action …`, and a pointer and a keyboard of the test's own (virtual
// devices of the compositor) drag over the overlay. The pictures must hold exactly the pixels
// another client shows, and the clipboard must keep the capture once Vantrel's windows are gone.
#include "VirtualInput.h"
#include "WaylandTestSupport.h"
#include "X11TestSupport.h"

#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

using namespace vantrel;
using namespace vantrel::test;

namespace {

const QString overlayTitle = QStringLiteral("Vantrel Selection");

// No thumbnail, sound or welcome window: only the capture and what the test asks for.
constexpr char quietSettings[] = R"({"didOnboard":{"bool":true},"afterShowOverlay":{"bool":false},)"
                                 R"("playSound":{"bool":false},"afterCopy":{"bool":false}})";

bool runAction(const QString& action)
{
    QProcess command;
    command.start(QStringLiteral(VANTREL_BINARY), {QStringLiteral("--action"), action});
    return command.waitForFinished(10000) && command.exitStatus() == QProcess::NormalExit && command.exitCode() == 0;
}

// What another program pastes: the data of one type, none while the clipboard has none.
std::optional<QByteArray> paste(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral("wl-paste"), arguments);
    if (!process.waitForFinished(10000) || process.exitCode() != 0)
        return std::nullopt;
    return process.readAllStandardOutput();
}

class WaylandActionFlow : public ::testing::Test
{
protected:
    // The devices exist before any window: a client learns of a pointer and a keyboard when the
    // seat gains them.
    static void SetUpTestSuite()
    {
        std::string error;
        s_input = VirtualInput::connect(&error).release();
        ASSERT_NE(s_input, nullptr) << error;
    }
    static void TearDownTestSuite()
    {
        delete s_input;
        s_input = nullptr;
    }

    void SetUp() override
    {
        ASSERT_NE(s_input, nullptr);
        ASSERT_TRUE(QGuiApplication::platformName().startsWith(QStringLiteral("wayland")));
    }

    // A window of one colour, shown, with its place in the layout as sway has it.
    QRect showWindow(SolidWindow& window, QSize size)
    {
        window.resize(size);
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            return {};
        QList<QRect> placed;
        if (!QTest::qWaitFor([&] { return (placed = swayWindows(window.title())).size() == 1; }, 5000))
            return {};
        return placed.first();
    }

    static VirtualInput* s_input;
};

VirtualInput* WaylandActionFlow::s_input = nullptr;

} // namespace

TEST_F(WaylandActionFlow, AFullScreenCaptureHoldsExactlyTheWindowsPixels)
{
    writeVantrelSettings(quietSettings);
    const QRgb colour = qRgb(240, 120, 10);
    SolidWindow window(QColor::fromRgb(colour), QStringLiteral("Full screen target"));
    ASSERT_FALSE(showWindow(window, QSize(240, 150)).isEmpty());

    VantrelProcess app(QStringLiteral(VANTREL_BINARY));
    ASSERT_TRUE(waitUntilVantrelIsReady()) << app.errors().toStdString();
    // The line is written at start-up; the pipe may hand it over a little later.
    EXPECT_TRUE(QTest::qWaitFor([&] { return app.errors().contains(QStringLiteral("Wayland session")); }, 5000))
        << app.errors().toStdString();

    const QStringList before = historyPictures();
    ASSERT_TRUE(runAction(QStringLiteral("captureFullscreen")));
    const QImage picture = waitForNewHistoryPicture(before);
    ASSERT_FALSE(picture.isNull()) << app.errors().toStdString();
    EXPECT_EQ(picture.size(), QSize(1280, 720));
    EXPECT_EQ(pixelsOf(picture, colour), 240 * 150);
    EXPECT_EQ(app.process().state(), QProcess::Running);
}

// The overlay must cover its output exactly (a Wayland client cannot place a window: an overlay
// that only asks for a size lands wherever the compositor puts it), and the area dragged on it
// must be cut from the frozen picture at the very pixels the pointer went over.
TEST_F(WaylandActionFlow, AnAreaDraggedOverAWindowHoldsExactlyItsPixels)
{
    writeVantrelSettings(quietSettings);
    const QRgb colour = qRgb(30, 200, 90);
    SolidWindow window(QColor::fromRgb(colour), QStringLiteral("Area target"));
    const QRect placed = showWindow(window, QSize(200, 130));
    ASSERT_EQ(placed.size(), QSize(200, 130));

    VantrelProcess app(QStringLiteral(VANTREL_BINARY));
    ASSERT_TRUE(waitUntilVantrelIsReady()) << app.errors().toStdString();
    const QStringList before = historyPictures();
    ASSERT_TRUE(runAction(QStringLiteral("captureArea")));
    QList<QRect> overlays;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !(overlays = swayWindows(overlayTitle)).isEmpty(); }, 10000))
        << app.errors().toStdString();
    EXPECT_EQ(overlays, QList<QRect> {QGuiApplication::primaryScreen()->geometry()});
    ASSERT_TRUE(overlayIsUp(placed.center(), colour));

    ASSERT_TRUE(s_input->drag(placed.left(), placed.top(), placed.right() + 1, placed.bottom() + 1));
    const QImage picture = waitForNewHistoryPicture(before);
    ASSERT_FALSE(picture.isNull()) << app.errors().toStdString();
    EXPECT_EQ(picture.size(), placed.size());
    EXPECT_EQ(pixelsOf(picture, colour), placed.width() * placed.height());
    EXPECT_TRUE(QTest::qWaitFor([&] { return swayWindows(overlayTitle).isEmpty(); }, 5000));
}

// A Wayland compositor takes the clipboard only from a client that has the keyboard focus (or
// at least a recent input serial): the capture is copied while the overlay still has it, not
// by a window of Vantrel's popping up for the copy after the overlay has gone.
TEST_F(WaylandActionFlow, TheClipboardHoldsTheCaptureAfterTheOverlayCloses)
{
    writeVantrelSettings(R"({"didOnboard":{"bool":true},"afterShowOverlay":{"bool":false},)"
                         R"("playSound":{"bool":false},"afterCopy":{"bool":true}})");
    const QRgb colour = qRgb(60, 40, 220);
    SolidWindow window(QColor::fromRgb(colour), QStringLiteral("Clipboard target"));
    const QRect placed = showWindow(window, QSize(160, 100));
    ASSERT_FALSE(placed.isEmpty());

    VantrelProcess app(QStringLiteral(VANTREL_BINARY));
    ASSERT_TRUE(waitUntilVantrelIsReady()) << app.errors().toStdString();
    // Every window sway maps from here on.
    QProcess windowEvents;
    windowEvents.start(QStringLiteral("swaymsg"),
        {QStringLiteral("-t"), QStringLiteral("subscribe"), QStringLiteral("-m"), QStringLiteral(R"(["window"])")});
    ASSERT_TRUE(windowEvents.waitForStarted());

    const QStringList before = historyPictures();
    ASSERT_TRUE(runAction(QStringLiteral("captureArea")));
    ASSERT_TRUE(QTest::qWaitFor([] { return !swayWindows(overlayTitle).isEmpty(); }, 10000))
        << app.errors().toStdString();
    ASSERT_TRUE(overlayIsUp(placed.center(), colour));
    ASSERT_TRUE(s_input->drag(placed.left() + 10, placed.top() + 10, placed.right() - 9, placed.bottom() - 9));
    const QImage picture = waitForNewHistoryPicture(before);
    ASSERT_FALSE(picture.isNull()) << app.errors().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([] { return swayWindows(overlayTitle).isEmpty(); }, 5000));

    std::optional<QByteArray> types;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (types = paste({QStringLiteral("--list-types")})).has_value(); }, 5000))
        << app.errors().toStdString();
    EXPECT_TRUE(types->contains("image/png")) << types->toStdString();
    const std::optional<QByteArray> png = paste({QStringLiteral("--type"), QStringLiteral("image/png")});
    ASSERT_TRUE(png.has_value());
    const QImage pasted = QImage::fromData(*png, "PNG");
    EXPECT_EQ(pasted.size(), QSize(140, 80));
    EXPECT_EQ(pasted.convertToFormat(QImage::Format_RGB32), picture.convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(pixelsOf(pasted, colour), 140 * 80);

    windowEvents.terminate();
    windowEvents.waitForFinished(3000);
    const QByteArray mapped = windowEvents.readAllStandardOutput();
    EXPECT_FALSE(mapped.contains("Vantrel Clipboard")) << "a window took the focus for the copy";
    EXPECT_FALSE(app.errors().contains(QStringLiteral("gave no focus"))) << app.errors().toStdString();
}

// Without a frozen picture the overlay is translucent over the live screen, but a Wayland
// compositor draws nothing beneath a full-screen window: the overlay must show a fresh picture
// of the screen under its dimming, not black. Escape, from the virtual keyboard, then leaves
// without a capture.
TEST_F(WaylandActionFlow, ALiveOverlayShowsTheScreenBeneathItDimmedAndEscapeLeaves)
{
    writeVantrelSettings(R"({"didOnboard":{"bool":true},"afterShowOverlay":{"bool":false},)"
                         R"("playSound":{"bool":false},"freezeScreen":{"bool":false}})");
    const QColor colour(200, 180, 40);
    SolidWindow window(colour, QStringLiteral("Live target"));
    const QRect placed = showWindow(window, QSize(180, 120));
    ASSERT_FALSE(placed.isEmpty());

    VantrelProcess app(QStringLiteral(VANTREL_BINARY));
    ASSERT_TRUE(waitUntilVantrelIsReady()) << app.errors().toStdString();
    const QStringList before = historyPictures();
    ASSERT_TRUE(runAction(QStringLiteral("captureArea")));
    ASSERT_TRUE(QTest::qWaitFor([] { return !swayWindows(overlayTitle).isEmpty(); }, 10000))
        << app.errors().toStdString();
    ASSERT_TRUE(overlayIsUp(placed.center(), colour.rgb()));
    // The overlay's veil: black at 97/255 over the window's colour.
    const std::optional<QRgb> shown = outputPixel(placed.center());
    ASSERT_TRUE(shown.has_value());
    const auto dimmed = [](int channel) { return channel * (255 - 97) / 255; };
    EXPECT_NEAR(qRed(*shown), dimmed(colour.red()), 3) << std::hex << *shown;
    EXPECT_NEAR(qGreen(*shown), dimmed(colour.green()), 3) << std::hex << *shown;
    EXPECT_NEAR(qBlue(*shown), dimmed(colour.blue()), 3) << std::hex << *shown;

    ASSERT_TRUE(s_input->tap(1)); // Escape
    EXPECT_TRUE(QTest::qWaitFor([] { return swayWindows(overlayTitle).isEmpty(); }, 5000));
    EXPECT_EQ(historyPictures(), before);
    EXPECT_EQ(app.process().state(), QProcess::Running);
}
