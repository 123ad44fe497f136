// SPDX-License-Identifier: GPL-3.0-or-later
// Thumbnails and pins on a private X server (1920 × 1080, scale 1) under openbox, driven by
// synthetic input: what the window manager makes of them, what the screen and captures show,
// where clicks and drops go.
#include "CaptureItem.h"
#include "ChromeWindow.h"
#include "Fakes.h"
#include "PinWindow.h"
#include "PreferenceStore.h"
#include "QuickAccessManager.h"
#include "QuickAccessPanel.h"
#include "ScreenCapture.h"
#include "Service.h"
#include "Settings.h"
#include "SurfaceTestSupport.h"
#include "X11TestSupport.h"
#include "x11/X11ScreenGrabber.h"

#include <QDragEnterEvent>
#include <QMimeData>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using namespace vantrel;
using namespace vantrel::test;

namespace {

const QColor red(220, 30, 40);
const QColor blue(30, 40, 220);

QString xprop(const QWidget* window, const char* property)
{
    const std::optional<QByteArray> out = runProcess(QStringLiteral("xprop"),
        {QStringLiteral("-id"), QString::number(window->winId()), QString::fromLatin1(property)});
    return out ? QString::fromUtf8(*out).trimmed() : QString();
}

// The window's frame as the X server has it, in root coordinates.
QRect serverGeometry(const QWidget* window)
{
    return vantrel::test::serverGeometry(quint32(window->winId()));
}

// The window manager put the window on every desktop (0xFFFFFFFF), and marks it sticky when it
// knows that state at all (openbox does not).
void expectOnEveryDesktop(const QWidget* window)
{
    EXPECT_TRUE(xprop(window, "_NET_WM_DESKTOP").endsWith(QLatin1String("= 4294967295")))
        << xprop(window, "_NET_WM_DESKTOP").toStdString();
    const std::optional<QByteArray> supported
        = runProcess(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTED")});
    if (supported && supported->contains("_NET_WM_STATE_STICKY")) {
        EXPECT_TRUE(xprop(window, "_NET_WM_STATE").contains(QLatin1String("_NET_WM_STATE_STICKY")));
    }
}

void click(QPoint at)
{
    xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()), QStringLiteral("click"),
        QStringLiteral("1")});
}

// A plain window that counts the clicks it receives.
class ClickCounter : public PatternWindow
{
public:
    using PatternWindow::PatternWindow;
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent*) override { ++presses; }
};

// A window that takes file drops.
class DropTarget : public PatternWindow
{
public:
    explicit DropTarget(const QRect& geometry)
        : PatternWindow(geometry, Placement::managedFrameless, QColor(40, 160, 60))
    {
        setAcceptDrops(true);
    }
    QList<QUrl> dropped;
    std::function<void()> onDrop;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override
    {
        if (event->mimeData()->hasUrls())
            event->acceptProposedAction();
    }
    void dragMoveEvent(QDragMoveEvent* event) override { event->acceptProposedAction(); }
    void dropEvent(QDropEvent* event) override
    {
        dropped = event->mimeData()->urls();
        if (onDrop)
            onDrop();
        event->setDropAction(Qt::CopyAction);
        event->accept();
    }
};

class SurfacesOnX11 : public ::testing::Test
{
protected:
    MemoryPreferenceStore preferences;
    Settings settings {preferences};
    ScopedService<Settings> settingsSlot {&settings};
    RecordingToasts toasts;
    ScopedService<ToastPresenter> toastSlot {&toasts};
    X11ScreenGrabber grabber;
    ScopedService<ScreenGrabber> grabberSlot {&grabber};
    RecordingHandOff handOff;
    ScopedService<SurfaceHandOff> handOffSlot {&handOff};
    QTemporaryDir folder;

    void SetUp() override
    {
        settings.setSaveDirectory(folder.path());
        removeAllSurfaces();
        xdotool({QStringLiteral("mousemove"), QStringLiteral("1500"), QStringLiteral("60")});
    }
    void TearDown() override { removeAllSurfaces(); }
};

} // namespace

TEST_F(SurfacesOnX11, BothFloatOnEveryDesktopAndOnlyThumbnailsStayOutOfCaptures)
{
    QImage redPicture(400, 300, QImage::Format_RGB32);
    redPicture.fill(red);
    QuickAccessManager::shared().show(CaptureItem::fromImage(redPicture, 1, CaptureKind::screenshot));
    QPointer<QuickAccessPanel> panel = QuickAccessManager::shared().panels().value(0);
    ASSERT_TRUE(panel && QTest::qWaitForWindowExposed(panel, 5000));

    // Bottom-left, above other windows, on every desktop, marked as chrome, not focused.
    const QRect thumbnail(16, 1080 - 16 - 165, 220, 165);
    EXPECT_TRUE(QTest::qWaitFor([&] { return serverGeometry(panel) == thumbnail; }, 5000)) << "the slide-in ends";
    const QString states = xprop(panel, "_NET_WM_STATE");
    EXPECT_TRUE(states.contains(QLatin1String("_NET_WM_STATE_ABOVE"))) << states.toStdString();
    expectOnEveryDesktop(panel);
    EXPECT_TRUE(xprop(panel, "WM_WINDOW_ROLE").contains(QLatin1String(chromeIdentifier)));
    EXPECT_NE(QApplication::activeWindow(), panel.data());
    EXPECT_TRUE(QTest::qWaitFor([&] { return near(screenPixel(thumbnail.center()), red); }, 3000))
        << describe(screenPixel(thumbnail.center()));

    // A pin takes the keyboard, floats the same way, and is not chrome.
    QImage bluePicture(400, 300, QImage::Format_RGB32);
    bluePicture.fill(blue);
    QPointer<PinWindow> pin = PinWindow::pin(bluePicture, 1);
    ASSERT_TRUE(pin && QTest::qWaitForWindowExposed(pin, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return serverGeometry(pin) == QRect(760, 390, 400, 300); }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == pin; }, 5000));
    const QString pinStates = xprop(pin, "_NET_WM_STATE");
    EXPECT_TRUE(pinStates.contains(QLatin1String("_NET_WM_STATE_ABOVE"))) << pinStates.toStdString();
    expectOnEveryDesktop(pin);
    EXPECT_FALSE(xprop(pin, "WM_WINDOW_ROLE").contains(QLatin1String(chromeIdentifier)));

    // A capture of the screen shows the pin but not the thumbnail.
    const Expected<Capture> screen
        = ScreenCapture::captureDisplay(ScreenCapture::displayID(QGuiApplication::primaryScreen()));
    ASSERT_TRUE(screen.ok());
    EXPECT_EQ(screen->image.pixelColor(960, 540), blue);
    EXPECT_FALSE(near(screen->image.pixelColor(thumbnail.center()), red))
        << describe(screen->image.pixelColor(thumbnail.center()));
    EXPECT_TRUE(panel->isVisible());
}

TEST_F(SurfacesOnX11, ALockedPinLetsClicksThroughToTheWindowBelow)
{
    ClickCounter below(QRect(700, 340, 520, 400), PatternWindow::Placement::managedFrameless, QColor(200, 200, 200));
    ASSERT_TRUE(below.showAndWait());
    QImage picture(200, 100, QImage::Format_RGB32);
    picture.fill(red);
    QPointer<PinWindow> pin = PinWindow::pin(picture, 1);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(pin, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return serverGeometry(pin) == QRect(860, 490, 200, 100); }, 5000));
    // A click beside the pin, sent after one on it, arrives after it: once the window below has
    // counted the second, the first has been delivered wherever it went.
    const QPoint beside(720, 360);
    auto clickThenBeside = [&](QPoint at) {
        const int before = below.presses;
        click(at);
        click(beside);
        EXPECT_TRUE(QTest::qWaitFor([&] { return below.presses > before; }, 3000));
        QCoreApplication::processEvents();
        return below.presses - before - 1; // clicks that reached the window below at `at`
    };

    // The window manager copies the pin's input shape onto its frame in its own time: click
    // until the outcome shows, a few times at most. A pin that never changes fails.
    auto settlesTo = [&](QPoint at, int expected) {
        for (int attempt = 0; attempt < 10; ++attempt) {
            if (clickThenBeside(at) == expected)
                return true;
        }
        return false;
    };

    EXPECT_EQ(clickThenBeside(QPoint(960, 540)), 0); // the pin took it

    pin->lockAction();
    syncWithServer();
    EXPECT_TRUE(settlesTo(QPoint(960, 540), 1)) << "a locked pin lets the click through";
    EXPECT_EQ(screenPixel(QPoint(960, 540)), red); // still shown, above the window

    PinWindow::unlockPins();
    syncWithServer();
    EXPECT_TRUE(settlesTo(QPoint(1000, 520), 0)) << "an unlocked pin takes clicks again";
    ASSERT_FALSE(pin.isNull());
}

TEST_F(SurfacesOnX11, DraggingAThumbnailHandsItsFileOverAndDismissesIt)
{
    // The drag outlasts the auto-close delay: the thumbnail must wait for it.
    settings.setOverlayAutoClose(1);
    DropTarget target(QRect(900, 150, 400, 300));
    int thumbnailsAtDrop = -1;
    target.onDrop = [&] { thumbnailsAtDrop = QuickAccessManager::shared().panels().size(); };
    ASSERT_TRUE(target.showAndWait());
    QImage picture(400, 300, QImage::Format_RGB32);
    picture.fill(blue);
    const auto item = CaptureItem::fromImage(picture, 1, CaptureKind::screenshot);
    QuickAccessManager::shared().show(item);
    QPointer<QuickAccessPanel> panel = QuickAccessManager::shared().panels().value(0);
    ASSERT_TRUE(panel && QTest::qWaitForWindowExposed(panel, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return serverGeometry(panel) == panel->targetFrame(); }, 5000));

    // One xdotool run for the whole gesture: the drag runs its own event loop in this process.
    const QPoint start(16 + 110, 1080 - 16 - 165 + 30);
    const QPoint drop = target.geometry().center();
    QProcess gesture;
    QStringList steps = {QStringLiteral("mousemove"), QString::number(start.x()), QString::number(start.y()),
        QStringLiteral("mousedown"), QStringLiteral("1")};
    for (int i = 1; i <= 8; ++i) {
        const QPoint at = start + (drop - start) * i / 8;
        steps += {QStringLiteral("sleep"), QStringLiteral("0.1"), QStringLiteral("mousemove"), QString::number(at.x()),
            QString::number(at.y())};
    }
    steps += {QStringLiteral("sleep"), QStringLiteral("0.6"), QStringLiteral("mouseup"), QStringLiteral("1")};
    gesture.start(QStringLiteral("xdotool"), steps);
    ASSERT_TRUE(gesture.waitForStarted(5000));

    ASSERT_TRUE(QTest::qWaitFor([&] { return !target.dropped.isEmpty(); }, 10000));
    EXPECT_EQ(thumbnailsAtDrop, 1); // sent away by the drop, not by its timer during the drag
    ASSERT_EQ(target.dropped.size(), 1);
    const QString dropped = target.dropped[0].toLocalFile();
    EXPECT_EQ(QImage(dropped).pixelColor(200, 150), blue);
    EXPECT_TRUE(QTest::qWaitFor([&] { return QuickAccessManager::shared().panels().isEmpty(); }, 3000));
    gesture.waitForFinished(5000);
}
