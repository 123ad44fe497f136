// SPDX-License-Identifier: GPL-3.0-or-later
// Thumbnails and pins on a private X server (1920 × 1080, scale 1) under openbox, driven by
// synthetic input: what the window manager is told, what the screen shows, what the clipboard
// holds, where clicks and drops go.
#include "CaptureItem.h"
#include "ChromeWindow.h"
#include "Clipboard.h"
#include "Fakes.h"
#include "PinWindow.h"
#include "PreferenceStore.h"
#include "QuickAccessManager.h"
#include "QuickAccessPanel.h"
#include "ScreenCapture.h"
#include "Service.h"
#include "Settings.h"
#include "SurfaceTestSupport.h"
#include "TestWindows.h"
#include "x11/X11ScreenGrabber.h"

#include <QDragEnterEvent>
#include <QMimeData>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vantrel;
using namespace vantrel::test;

namespace {

const QColor red(220, 30, 40);
const QColor blue(30, 40, 220);

bool near(const QColor& a, const QColor& b, int tolerance = 12)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
        && std::abs(a.blue() - b.blue()) <= tolerance;
}

std::string describe(const QColor& c)
{
    return QStringLiteral("(%1, %2, %3)").arg(c.red()).arg(c.green()).arg(c.blue()).toStdString();
}

// What is on screen at a point, windows of every kind included.
QColor screenPixel(QPoint point)
{
    return QGuiApplication::primaryScreen()->grabWindow(0, point.x(), point.y(), 1, 1).toImage().pixelColor(0, 0);
}

QString xprop(const QWidget* window, const char* property)
{
    const std::optional<QByteArray> out = runProcess(QStringLiteral("xprop"),
        {QStringLiteral("-id"), QString::number(window->winId()), QString::fromLatin1(property)});
    return out ? QString::fromUtf8(*out).trimmed() : QString();
}

// The window's frame as the X server has it, in root coordinates.
QRect serverGeometry(const QWidget* window)
{
    const std::optional<QByteArray> out
        = runProcess(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window->winId())});
    if (!out)
        return {};
    auto field = [&](const char* name) {
        for (const QByteArray& line : out->split('\n')) {
            const QByteArray trimmed = line.trimmed();
            if (trimmed.startsWith(name))
                return trimmed.mid(qstrlen(name)).trimmed().toInt();
        }
        return -1;
    };
    return QRect(field("Absolute upper-left X:"), field("Absolute upper-left Y:"), field("Width:"), field("Height:"));
}

// The window manager put the window on every desktop (0xFFFFFFFF), and marks it sticky when it
// knows that state at all (openbox does not).
void expectOnEveryDesktop(const QWidget* window)
{
    EXPECT_TRUE(xprop(window, "_NET_WM_DESKTOP").endsWith(QLatin1String("= 4294967295")))
        << xprop(window, "_NET_WM_DESKTOP").toStdString();
    const std::optional<QByteArray> supported
        = runProcess(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTED")});
    if (supported && supported->contains("_NET_WM_STATE_STICKY"))
        EXPECT_TRUE(xprop(window, "_NET_WM_STATE").contains(QLatin1String("_NET_WM_STATE_STICKY")));
}

void xdotool(const QStringList& arguments)
{
    ASSERT_TRUE(runProcess(QStringLiteral("xdotool"), arguments)) << arguments.join(QLatin1Char(' ')).toStdString();
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
    QtClipboard clipboard;
    ScopedService<Clipboard> clipboardSlot {&clipboard};
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

    // A 400 × 300 capture of two windows side by side: red on the left, blue on the right.
    std::shared_ptr<CaptureItem> captureRedAndBlue(PatternWindow& left, PatternWindow& right)
    {
        EXPECT_TRUE(left.showAndWait());
        EXPECT_TRUE(right.showAndWait());
        const Expected<Capture> capture = ScreenCapture::captureDisplay(
            ScreenCapture::displayID(QGuiApplication::primaryScreen()), QRectF(300, 200, 400, 300));
        EXPECT_TRUE(capture.ok());
        left.hide();
        right.hide();
        return capture ? CaptureItem::fromImage(capture->image, capture->scale, CaptureKind::screenshot) : nullptr;
    }
};

} // namespace

TEST_F(SurfacesOnX11, AThumbnailCopiesWithCtrlCAndTheClipboardImageIsPinned)
{
    PatternWindow left(QRect(300, 200, 200, 300), PatternWindow::Placement::exact, red);
    PatternWindow right(QRect(500, 200, 200, 300), PatternWindow::Placement::exact, blue);
    const auto item = captureRedAndBlue(left, right);
    ASSERT_TRUE(item);

    // What the capture flow does after a capture with the default settings.
    ASSERT_TRUE(settings.afterShowOverlay());
    QuickAccessManager::shared().show(item);
    ASSERT_EQ(QuickAccessManager::shared().panels().size(), 1);
    QPointer<QuickAccessPanel> panel = QuickAccessManager::shared().panels()[0];
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel, 5000));
    QTest::qWait(400); // slide-in

    // Bottom-left of the screen, above other windows, on every desktop, left out of captures.
    const QRect expected(16, 1080 - 16 - 165, 220, 165);
    EXPECT_EQ(serverGeometry(panel), expected);
    const QString states = xprop(panel, "_NET_WM_STATE");
    EXPECT_TRUE(states.contains(QLatin1String("_NET_WM_STATE_ABOVE"))) << states.toStdString();
    expectOnEveryDesktop(panel);
    EXPECT_TRUE(xprop(panel, "WM_WINDOW_ROLE").contains(QLatin1String(chromeIdentifier)));
    EXPECT_TRUE(ScreenCapture::chromeWindowIDs().contains(quint32(panel->winId())));
    const QColor leftShown = screenPixel(expected.topLeft() + QPoint(40, 82));
    const QColor rightShown = screenPixel(expected.topLeft() + QPoint(180, 82));
    EXPECT_TRUE(near(leftShown, red, 30)) << describe(leftShown);
    EXPECT_TRUE(near(rightShown, blue, 30)) << describe(rightShown);

    // It came without taking the keyboard; a click on its top part (away from the buttons)
    // makes it the key window, and Ctrl+C copies.
    EXPECT_NE(QApplication::activeWindow(), panel.data());
    click(expected.topLeft() + QPoint(110, 30));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == panel; }, 5000));
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+c")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return QuickAccessManager::shared().panels().isEmpty(); }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return panel.isNull(); }, 2000));
    EXPECT_EQ(QuickAccessManager::shared().lastClosed(), item);

    const std::optional<QByteArray> png = runProcess(QStringLiteral("xclip"),
        {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"), QStringLiteral("image/png"),
            QStringLiteral("-o")});
    ASSERT_TRUE(png);
    const QImage pasted = QImage::fromData(*png, "PNG");
    ASSERT_EQ(pasted.size(), QSize(400, 300));
    EXPECT_EQ(pasted.pixelColor(50, 150), red);
    EXPECT_EQ(pasted.pixelColor(350, 150), blue);

    // "Pin Image from Clipboard": the clipboard's picture at its scale, pinned in the middle.
    const std::optional<QImage> image = Service<Clipboard>::get().image();
    ASSERT_TRUE(image);
    const double scale = image->width() / std::max(image->deviceIndependentSize().width(), 1.0);
    QPointer<PinWindow> pin = PinWindow::pin(*image, scale);
    ASSERT_TRUE(pin);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(pin, 5000));
    QTest::qWait(100);
    EXPECT_EQ(serverGeometry(pin), QRect(760, 390, 400, 300));
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == pin; }, 5000));
    const QString pinStates = xprop(pin, "_NET_WM_STATE");
    EXPECT_TRUE(pinStates.contains(QLatin1String("_NET_WM_STATE_ABOVE"))) << pinStates.toStdString();
    expectOnEveryDesktop(pin);
    EXPECT_FALSE(xprop(pin, "WM_WINDOW_ROLE").contains(QLatin1String(chromeIdentifier))); // pins show in captures
    EXPECT_EQ(screenPixel(QPoint(760 + 100, 540)), red);
    EXPECT_EQ(screenPixel(QPoint(760 + 300, 540)), blue);
}

TEST_F(SurfacesOnX11, ALockedPinLetsClicksThroughToTheWindowBelow)
{
    ClickCounter below(QRect(700, 340, 520, 400), PatternWindow::Placement::managedFrameless, QColor(200, 200, 200));
    ASSERT_TRUE(below.showAndWait());
    QImage picture(200, 100, QImage::Format_RGB32);
    picture.fill(red);
    QPointer<PinWindow> pin = PinWindow::pin(picture, 1);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(pin, 5000));
    QTest::qWait(100);
    ASSERT_EQ(serverGeometry(pin), QRect(860, 490, 200, 100));

    click(QPoint(960, 540));
    QTest::qWait(200);
    EXPECT_EQ(below.presses, 0); // the pin took it

    pin->lockAction();
    QTest::qWait(100);
    click(QPoint(960, 540));
    EXPECT_TRUE(QTest::qWaitFor([&] { return below.presses == 1; }, 3000));
    EXPECT_EQ(screenPixel(QPoint(960, 540)), red); // still shown, above the window

    PinWindow::unlockPins();
    QTest::qWait(100);
    click(QPoint(1000, 520));
    QTest::qWait(300);
    EXPECT_EQ(below.presses, 1);
    ASSERT_FALSE(pin.isNull());
}

TEST_F(SurfacesOnX11, DraggingAThumbnailHandsItsFileOverAndDismissesIt)
{
    DropTarget target(QRect(900, 150, 400, 300));
    ASSERT_TRUE(target.showAndWait());
    QImage picture(400, 300, QImage::Format_RGB32);
    picture.fill(blue);
    const auto item = CaptureItem::fromImage(picture, 1, CaptureKind::screenshot);
    QuickAccessManager::shared().show(item);
    QPointer<QuickAccessPanel> panel = QuickAccessManager::shared().panels().value(0);
    ASSERT_TRUE(panel && QTest::qWaitForWindowExposed(panel, 5000));
    QTest::qWait(400);

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
    steps += {QStringLiteral("sleep"), QStringLiteral("0.3"), QStringLiteral("mouseup"), QStringLiteral("1")};
    gesture.start(QStringLiteral("xdotool"), steps);
    ASSERT_TRUE(gesture.waitForStarted(5000));

    ASSERT_TRUE(QTest::qWaitFor([&] { return !target.dropped.isEmpty(); }, 10000));
    ASSERT_EQ(target.dropped.size(), 1);
    const QString dropped = target.dropped[0].toLocalFile();
    EXPECT_EQ(QImage(dropped).pixelColor(200, 150), blue);
    EXPECT_TRUE(QTest::qWaitFor([&] { return QuickAccessManager::shared().panels().isEmpty(); }, 3000));
    gesture.waitForFinished(5000);
}
