// SPDX-License-Identifier: GPL-3.0-or-later
// The keystroke overlay and the webcam bubble with a fake key monitor and a fake camera: what
// they show, where, for how long, and what happens when the desktop refuses or has no camera.
#include "Camera.h"
#include "ChromeWindow.h"
#include "DesktopFakes.h"
#include "KeyCombo.h"
#include "KeyMonitor.h"
#include "KeystrokeOverlay.h"
#include "OverlayGeometry.h"
#include "WebcamBubble.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <QWidget>

#include <gtest/gtest.h>

using namespace vantrel;
using namespace vantrel::test;

namespace {

class FakeKeyMonitor : public KeyMonitor
{
public:
    std::optional<Error> start(PressHandler handler) override
    {
        ++starts;
        if (refusal)
            return refusal;
        m_handler = std::move(handler);
        return std::nullopt;
    }
    void stop() override
    {
        ++stops;
        m_handler = {};
    }
    void press(quint32 keyCode, quint32 modifiers)
    {
        if (m_handler)
            m_handler(KeyPress {.keyCode = keyCode, .modifiers = modifiers});
    }
    bool watching() const { return bool(m_handler); }

    std::optional<Error> refusal;
    int starts = 0;
    int stops = 0;

private:
    PressHandler m_handler;
};

class KeystrokeOverlayTest : public ::testing::Test, public DesktopFakes
{
protected:
    void SetUp() override
    {
        m_screen = QGuiApplication::primaryScreen();
        ASSERT_NE(m_screen, nullptr);
        overlay.setClock([this] { return now; });
    }
    void TearDown() override
    {
        overlay.stop();
        overlay.setClock({});
    }

    FakeKeyboardLayout layout;
    ScopedService<KeyboardLayout> layoutSlot {&layout};
    FakeKeyMonitor monitor;
    ScopedService<KeyMonitor> monitorSlot {&monitor};
    LogCapture log;
    KeystrokeOverlay& overlay = KeystrokeOverlay::shared();
    QScreen* m_screen = nullptr;
    qint64 now = 1000; // milliseconds, moved by the test
    const QRectF area {100, 80, 600, 400};
};

constexpr quint32 ctrlShift = KeyCombo::control | KeyCombo::shift;

TEST_F(KeystrokeOverlayTest, KeysOfOtherApplicationsShowTheLinuxWayOnAPanelInTheRecording)
{
    overlay.start(m_screen, area);
    ASSERT_TRUE(monitor.watching());
    QWidget* panel = overlay.window();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(QRectF(panel->geometry()), overlaygeometry::keystrokePanelRect(QRectF(m_screen->geometry()), area));
    EXPECT_FALSE(isChrome(panel)) << "the recording shows it";
    EXPECT_TRUE(panel->windowFlags().testFlag(Qt::WindowTransparentForInput));
    EXPECT_FALSE(panel->isVisible()) << "nothing on screen before the first key";
    EXPECT_DOUBLE_EQ(overlay.opacity(), 0.0);

    QSignalSpy shown(&overlay, &KeystrokeOverlay::keyShown);
    monitor.press(21, ctrlShift); // Ctrl+Shift+4
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(overlay.text(), QStringLiteral("Ctrl+Shift+4"));
    EXPECT_DOUBLE_EQ(overlay.opacity(), 1.0);
    ASSERT_EQ(shown.count(), 1);
    monitor.press(1, KeyCombo::shift | KeyCombo::command);
    EXPECT_EQ(overlay.text(), QStringLiteral("Shift+Super+S"));
    // The panel paints the text it holds: something is drawn now.
    const QImage painted = panel->grab().toImage();
    EXPECT_GT(qAlpha(painted.pixel(painted.width() / 2, 4)), 100);

    overlay.stop();
    EXPECT_EQ(overlay.window(), nullptr);
    EXPECT_EQ(monitor.stops, 1);
    EXPECT_FALSE(monitor.watching());
    EXPECT_TRUE(toasts.requests.empty());
}

TEST_F(KeystrokeOverlayTest, TheLabelHoldsOnePointTwoSecondsAfterTheLastKeyThenFadesOverPointThree)
{
    overlay.start(m_screen, area);
    QWidget* panel = overlay.window();
    ASSERT_NE(panel, nullptr);
    QSignalSpy faded(&overlay, &KeystrokeOverlay::faded);
    monitor.press(0, 0);
    // Typing steadily, a key every second: the label never dims.
    for (int i = 0; i < 4; ++i) {
        now += 1000;
        overlay.refresh();
        EXPECT_DOUBLE_EQ(overlay.opacity(), 1.0) << "key " << i;
        EXPECT_TRUE(panel->isVisible());
        monitor.press(11, 0);
    }
    EXPECT_EQ(overlay.text(), QStringLiteral("B"));
    now += 1199;
    overlay.refresh();
    EXPECT_DOUBLE_EQ(overlay.opacity(), 1.0);
    now += 151; // 1.35 s after the last key: half way through the fade
    overlay.refresh();
    EXPECT_NEAR(overlay.opacity(), 0.5, 0.01);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(faded.count(), 0);
    now += 150;
    overlay.refresh();
    EXPECT_DOUBLE_EQ(overlay.opacity(), 0.0);
    EXPECT_FALSE(panel->isVisible()) << "no empty panel over the recording";
    EXPECT_EQ(faded.count(), 1);
    // A later key brings it back.
    monitor.press(21, ctrlShift);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_DOUBLE_EQ(overlay.opacity(), 1.0);
}

TEST_F(KeystrokeOverlayTest, ItsOwnTimersFadeItOut)
{
    overlay.setClock({}); // the real clock
    overlay.start(m_screen, area);
    ASSERT_NE(overlay.window(), nullptr);
    QSignalSpy faded(&overlay, &KeystrokeOverlay::faded);
    monitor.press(21, ctrlShift);
    ASSERT_TRUE(faded.wait(5000));
    EXPECT_FALSE(overlay.window()->isVisible());
    EXPECT_DOUBLE_EQ(overlay.opacity(), 0.0);
}

TEST_F(KeystrokeOverlayTest, WhereKeysCannotBeReadAToastSaysSoAndNothingElseHappens)
{
    monitor.refusal
        = Error {.description = QStringLiteral("This desktop does not let applications read each other's keys")};
    for (int start = 1; start <= 2; ++start) {
        overlay.start(m_screen, area);
        EXPECT_EQ(overlay.window(), nullptr);
        EXPECT_FALSE(overlay.isRunning());
        ASSERT_EQ(int(toasts.requests.size()), start) << "once per recording start";
        const ToastRequest& toast = toasts.requests.back();
        EXPECT_EQ(toast.text, QStringLiteral("Keystrokes cannot be shown on this desktop"));
        EXPECT_EQ(toast.symbol, QStringLiteral("keyboard"));
        EXPECT_DOUBLE_EQ(toast.duration, 3.0);
        overlay.stop();
    }
    EXPECT_TRUE(log.lines().contains(QStringLiteral(
        "Vantrel: keystrokes cannot be shown: This desktop does not let applications read each other's keys")));
    EXPECT_EQ(monitor.stops, 0) << "a monitor that never started is not stopped";
}

TEST_F(KeystrokeOverlayTest, WithoutAKeyMonitorTheRecordingGoesOnWithoutKeys)
{
    ScopedService<KeyMonitor> none {nullptr};
    overlay.start(m_screen, area);
    EXPECT_EQ(overlay.window(), nullptr);
    ASSERT_EQ(toasts.requests.size(), 1u);
    overlay.stop();
}

// A camera whose pictures the test hands out.
class FakeCamera : public Camera
{
public:
    class Feed : public CameraFeed
    {
    public:
        explicit Feed(FakeCamera& camera)
            : m_camera(camera)
        {
            ++m_camera.running;
        }
        ~Feed() override { --m_camera.running; }

    private:
        FakeCamera& m_camera;
    };

    std::unique_ptr<CameraFeed> openDefault(FrameHandler frames, FailureHandler failed) override
    {
        ++opens;
        if (!present)
            return nullptr;
        m_frames = std::move(frames);
        m_failed = std::move(failed);
        return std::make_unique<Feed>(*this);
    }
    void deliver(const QImage& frame)
    {
        if (m_frames)
            m_frames(frame);
    }
    void fail(const QString& why)
    {
        if (m_failed)
            m_failed(why);
    }

    bool present = true;
    int opens = 0;
    int running = 0;

private:
    FrameHandler m_frames;
    FailureHandler m_failed;
};

// Left half red, right half blue.
QImage twoColourFrame()
{
    QImage frame(640, 480, QImage::Format_RGB32);
    frame.fill(Qt::red);
    for (int y = 0; y < frame.height(); ++y) {
        for (int x = frame.width() / 2; x < frame.width(); ++x)
            frame.setPixel(x, y, qRgb(0, 0, 255));
    }
    return frame;
}

class WebcamBubbleTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_screen = QGuiApplication::primaryScreen();
        ASSERT_NE(m_screen, nullptr);
    }
    void TearDown() override
    {
        bubble.hide();
        // The camera is let go once the current call is over: before this test's camera goes.
        QCoreApplication::processEvents();
        EXPECT_EQ(camera.running, 0);
    }

    FakeCamera camera;
    ScopedService<Camera> cameraSlot {&camera};
    LogCapture log;
    WebcamBubble& bubble = WebcamBubble::shared();
    QScreen* m_screen = nullptr;
    const QRectF area {100, 80, 800, 600};
};

TEST_F(WebcamBubbleTest, TheCamerasPictureShowsRoundAndMirroredInTheAreasCorner)
{
    bubble.show(m_screen, area);
    EXPECT_TRUE(bubble.isShowing());
    EXPECT_EQ(bubble.window(), nullptr) << "the bubble comes with the first picture";
    camera.deliver(twoColourFrame());
    BubbleView* view = bubble.window();
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->isVisible());
    EXPECT_FALSE(isChrome(view)) << "the recording shows it";
    EXPECT_EQ(QRectF(view->geometry()), overlaygeometry::bubbleRect(QRectF(m_screen->geometry()), area));
    EXPECT_EQ(view->size(), QSize(180, 180));

    const QImage picture = view->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(picture.size(), QSize(180, 180));
    // Mirrored: the camera's right half (blue) on the bubble's left.
    const QRgb left = picture.pixel(50, 90), right = picture.pixel(130, 90);
    EXPECT_GT(qBlue(left), 200);
    EXPECT_LT(qRed(left), 50);
    EXPECT_GT(qRed(right), 200);
    EXPECT_LT(qBlue(right), 50);
    // Round with a white border: the corners are empty, the rim is white.
    EXPECT_EQ(qAlpha(picture.pixel(3, 3)), 0);
    EXPECT_EQ(qAlpha(picture.pixel(176, 176)), 0);
    const QRgb rim = picture.pixel(90, 1);
    EXPECT_GT(qRed(rim), 230);
    EXPECT_GT(qGreen(rim), 230);
    EXPECT_GT(qBlue(rim), 230);

    bubble.hide();
    EXPECT_FALSE(bubble.isShowing());
    EXPECT_EQ(bubble.window(), nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return camera.running == 0; }, 2000)) << "the camera is stopped";
}

TEST_F(WebcamBubbleTest, ScrollingResizesWithinTheLimitsAndKeepsItRoundAndCentred)
{
    bubble.show(m_screen, area);
    camera.deliver(twoColourFrame());
    BubbleView* view = bubble.window();
    ASSERT_NE(view, nullptr);
    const QPoint centre = view->geometry().center();
    auto scroll = [&](int eighths, QPoint pixels = {}) {
        QWheelEvent wheel(QPointF(90, 90), view->mapToGlobal(QPointF(90, 90)), pixels, QPoint(0, eighths), Qt::NoButton,
            Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(view, &wheel);
    };
    scroll(120); // a notch up: bigger
    EXPECT_GT(view->width(), 180);
    for (int i = 0; i < 60; ++i)
        scroll(120);
    EXPECT_EQ(view->size(), QSize(420, 420));
    for (int i = 0; i < 60; ++i)
        scroll(-120);
    EXPECT_EQ(view->size(), QSize(100, 100));
    scroll(0, QPoint(0, 50)); // a touchpad reports points
    EXPECT_EQ(view->size(), QSize(150, 150));
    EXPECT_LE((view->geometry().center() - centre).manhattanLength(), 2);

    // Still a disc at the new size.
    const QImage picture = view->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(picture.size(), QSize(150, 150));
    EXPECT_EQ(qAlpha(picture.pixel(2, 2)), 0);
    EXPECT_EQ(qAlpha(picture.pixel(147, 2)), 0);
    EXPECT_GT(qAlpha(picture.pixel(75, 75)), 250);
}

TEST_F(WebcamBubbleTest, NoCameraOrAFailingOneMeansNoBubbleAndNoCrash)
{
    camera.present = false;
    bubble.show(m_screen, area);
    EXPECT_FALSE(bubble.isShowing());
    EXPECT_EQ(bubble.window(), nullptr);
    EXPECT_TRUE(log.lines().contains(QStringLiteral("Vantrel: no camera for the webcam bubble")));

    // Access refused before the first picture.
    camera.present = true;
    bubble.show(m_screen, area);
    camera.fail(QStringLiteral("Permission denied"));
    EXPECT_FALSE(bubble.isShowing());
    EXPECT_EQ(bubble.window(), nullptr);
    camera.deliver(twoColourFrame()); // a late picture from the failed camera
    EXPECT_EQ(bubble.window(), nullptr);

    // Unplugged while showing: the bubble goes, the recording does not notice.
    bubble.show(m_screen, area);
    camera.deliver(twoColourFrame());
    ASSERT_NE(bubble.window(), nullptr);
    camera.fail(QStringLiteral("The camera was disconnected"));
    EXPECT_FALSE(bubble.isShowing());
    EXPECT_EQ(bubble.window(), nullptr);
    EXPECT_TRUE(
        log.lines().contains(QStringLiteral("Vantrel: the camera cannot be used: The camera was disconnected")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return camera.running == 0; }, 2000));

    // No camera service at all.
    ScopedService<Camera> none {nullptr};
    bubble.show(m_screen, area);
    EXPECT_FALSE(bubble.isShowing());
}

} // namespace
