// SPDX-License-Identifier: GPL-3.0-or-later
// The capture facade over a fake grabber: point-to-pixel maths, errors, window filtering and the
// window shadow. Run once at scale 1 and once with QT_SCALE_FACTOR=2.
#include "ScreenCapture.h"

#include "ChromeWindow.h"
#include "Fakes.h"
#include "Service.h"
#include "WindowShadow.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

using namespace vantrel;
using namespace vantrel::test;

namespace {

class ScreenCaptureFacade : public ::testing::Test
{
protected:
    FakeScreenGrabber grabber;
    ScopedService<ScreenGrabber> slot {&grabber};
    QScreen* screen = QGuiApplication::primaryScreen();
    qreal scale = screen->devicePixelRatio();

    WindowInfo window(quint32 id, QRect frame, int layer = 0, bool onScreen = true)
    {
        WindowInfo info;
        info.id = id;
        info.frame = frame;
        info.nativeFrame = QRect(frame.topLeft(), frame.size() * scale);
        info.layer = layer;
        info.onScreen = onScreen;
        return info;
    }
    static std::vector<quint32> ids(const std::vector<WindowInfo>& windows)
    {
        std::vector<quint32> result;
        for (const WindowInfo& w : windows)
            result.push_back(w.id);
        return result;
    }
};

} // namespace

TEST_F(ScreenCaptureFacade, RectanglesInPointsBecomeTruncatedPixels)
{
    ASSERT_TRUE(scale == 1.0 || scale == 2.0);
    struct Case
    {
        QRectF points;
        QRect atScale1;
        QRect atScale2;
    };
    const Case cases[] = {
        {QRectF(0, 0, 100, 50), QRect(0, 0, 100, 50), QRect(0, 0, 200, 100)},
        {QRectF(10, 20, 100.3, 50), QRect(10, 20, 100, 50), QRect(20, 40, 200, 100)},
        {QRectF(10.75, 20.5, 40.9, 30.99), QRect(10, 20, 40, 30), QRect(21, 41, 81, 61)},
    };
    const quint32 display = ScreenCapture::displayID(screen);
    for (const Case& c : cases) {
        grabber.screenGrabs.clear();
        const Expected<Capture> capture = ScreenCapture::captureDisplay(display, c.points);
        ASSERT_TRUE(capture.ok());
        const QRect want = scale == 1.0 ? c.atScale1 : c.atScale2;
        ASSERT_EQ(grabber.screenGrabs.size(), 1u);
        EXPECT_EQ(grabber.screenGrabs[0].second, want) << c.points.width();
        EXPECT_EQ(capture->image.size(), want.size());
        EXPECT_EQ(capture->scale, scale);
        EXPECT_EQ(capture->kind, CaptureKind::screenshot);
        EXPECT_EQ(capture->image.pixel(0, 0), FakeScreenGrabber::syntheticPixel(0, want.x(), want.y()));
    }
    // No rectangle: the whole display, points × scale.
    const Expected<Capture> whole = ScreenCapture::captureDisplay(display);
    ASSERT_TRUE(whole.ok());
    EXPECT_EQ(
        whole->image.size(), QSize(int(screen->geometry().width() * scale), int(screen->geometry().height() * scale)));
}

TEST_F(ScreenCaptureFacade, FailuresCarryTheirError)
{
    const Expected<Capture> unknown = ScreenCapture::captureDisplay(4242);
    ASSERT_FALSE(unknown.ok());
    EXPECT_EQ(unknown.error().domain, QStringLiteral("Vantrel"));
    EXPECT_EQ(unknown.error().code, 1);
    EXPECT_EQ(unknown.error().description, QStringLiteral("Display not found"));
    EXPECT_TRUE(grabber.screenGrabs.empty());

    grabber.failingScreens.insert(screen);
    const Expected<Capture> refused = ScreenCapture::captureDisplay(ScreenCapture::displayID(screen));
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().domain, QStringLiteral("FakeScreenGrabber")) << "the platform's error is passed on";
    EXPECT_TRUE(ScreenCapture::captureAllDisplays().empty()) << "a failed display is left out";
    grabber.failingScreens.clear();
    EXPECT_EQ(ScreenCapture::captureAllDisplays().size(), std::size_t(QGuiApplication::screens().size()));

    ScopedService<ScreenGrabber> none(nullptr);
    EXPECT_FALSE(ScreenCapture::captureDisplay(ScreenCapture::displayID(screen)).ok());
    EXPECT_TRUE(ScreenCapture::selectableWindows().empty());
}

TEST_F(ScreenCaptureFacade, AScreenWithoutAnIdCountsAsTheMainDisplay)
{
    grabber.ids[screen] = 77;
    EXPECT_EQ(ScreenCapture::displayID(screen), 77u);
    EXPECT_EQ(ScreenCapture::screenForDisplay(77), screen);
    grabber.unnamedScreens.insert(screen);
    // The primary screen itself has no id here: screens are numbered from 1.
    EXPECT_EQ(ScreenCapture::displayID(screen), 1u);
    EXPECT_EQ(ScreenCapture::screenForDisplay(1), screen);
    EXPECT_TRUE(ScreenCapture::captureDisplay(1).ok());
}

TEST_F(ScreenCaptureFacade, TheMouseOutsideEveryScreenMeansTheMainScreen)
{
    QCursor::setPos(screen->geometry().center());
    EXPECT_EQ(ScreenCapture::screenUnderMouse(), screen);
    QCursor::setPos(screen->geometry().bottomRight() + QPoint(500, 500));
    EXPECT_EQ(ScreenCapture::screenUnderMouse(), QGuiApplication::primaryScreen());
}

TEST_F(ScreenCaptureFacade, WindowModeOffersLayer0WindowsLargerThan40PointsWithoutChrome)
{
    QWidget chrome;
    chrome.setGeometry(10, 10, 300, 300);
    markAsChrome(&chrome);
    chrome.show();
    const quint32 chromeID = quint32(chrome.winId());
    ASSERT_TRUE(ScreenCapture::chromeWindowIDs().count(chromeID));

    grabber.windows = {
        window(1, QRect(0, 0, 40, 100)), // not wider than 40
        window(2, QRect(0, 0, 41, 41)),
        window(3, QRect(0, 0, 100, 40)), // not taller than 40
        window(4, QRect(0, 0, 500, 500), 20), // a dock
        window(5, QRect(0, 0, 500, 500), -1), // the desktop
        window(6, QRect(0, 0, 500, 500), 0, false), // minimised
        window(chromeID, QRect(10, 10, 300, 300)),
        window(8, QRect(50, 50, 300, 200)),
        window(9, QRect(60, 60, 300, 200)),
    };
    EXPECT_EQ(ids(ScreenCapture::selectableWindows()), (std::vector<quint32> {2, 8, 9})) << "front to back kept";
    chrome.hide();
    EXPECT_FALSE(ScreenCapture::chromeWindowIDs().count(chromeID)) << "only chrome on screen counts";
}

TEST_F(ScreenCaptureFacade, WindowCapturesKeepAlphaAndMayCarryAShadow)
{
    QImage picture(200, 100, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    for (int y = 10; y < 90; ++y)
        for (int x = 10; x < 190; ++x)
            picture.setPixel(x, y, qRgb(10, 200, 30));
    grabber.windows = {window(5, QRect(0, 0, 200, 100))};
    grabber.windowImages[5] = picture;

    const Expected<Capture> plain = ScreenCapture::captureWindow(grabber.windows[0], false);
    ASSERT_TRUE(plain.ok());
    EXPECT_EQ(plain->kind, CaptureKind::window);
    EXPECT_EQ(plain->image.size(), picture.size());
    EXPECT_EQ(qAlpha(plain->image.pixel(2, 2)), 0);
    EXPECT_EQ(plain->image.pixel(100, 50), qRgb(10, 200, 30));

    const Expected<Capture> shadowed = ScreenCapture::captureWindow(grabber.windows[0], true);
    ASSERT_TRUE(shadowed.ok());
    const int margin = windowShadowMargin(shadowed->scale);
    EXPECT_GT(margin, 0);
    EXPECT_EQ(shadowed->image.size(), picture.size() + QSize(2 * margin, 2 * margin));
    EXPECT_EQ(shadowed->image.pixel(margin + 100, margin + 50), qRgb(10, 200, 30)) << "the window is unchanged";
    EXPECT_EQ(qAlpha(shadowed->image.pixel(0, 0)), 0) << "corners stay clear";
    const int belowWindow = qAlpha(shadowed->image.pixel(margin + 100, margin + 90 + 4));
    const int aboveWindow = qAlpha(shadowed->image.pixel(margin + 100, margin + 10 - 4));
    EXPECT_GT(belowWindow, 0);
    EXPECT_LT(belowWindow, 255) << "soft, not a hard edge";
    EXPECT_GT(belowWindow, aboveWindow) << "the shadow falls downwards";

    grabber.failingWindows.insert(5);
    const Expected<Capture> gone = ScreenCapture::captureWindow(grabber.windows[0], true);
    ASSERT_FALSE(gone.ok());
    EXPECT_EQ(gone.error().code, 9);
}
