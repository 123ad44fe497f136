// SPDX-License-Identifier: GPL-3.0-or-later
// Real pixels at scale 2: the harness sets Xft.dpi 192, which Qt turns into a device pixel ratio.
#include "ScreenCapture.h"
#include "Service.h"
#include "X11TestSupport.h"
#include "x11/X11ScreenGrabber.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

using namespace vantrel;
using namespace vantrel::test;

TEST(ScreenCaptureAtScale2, PointRectanglesBecomeTwiceAsManyPixels)
{
    X11ScreenGrabber grabber;
    ScopedService<ScreenGrabber> slot(&grabber);
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_EQ(screen->devicePixelRatio(), 2.0) << "the harness runs this test with Xft.dpi 192";
    const quint32 display = ScreenCapture::displayID(screen);

    // The screen is 1920 × 1080 pixels, 960 × 540 points.
    PatternWindow window(QRect(100, 80, 300, 200), PatternWindow::Placement::exact);
    ASSERT_TRUE(window.showAndWait());

    struct Case
    {
        QRectF points;
        QSize pixels;
    };
    const Case cases[] = {
        {QRectF(120, 90, 100, 50), QSize(200, 100)},
        {QRectF(120, 90, 100.3, 50), QSize(200, 100)}, // truncated, not rounded
        {QRectF(120, 90, 100.7, 50.9), QSize(201, 101)},
        {QRectF(110.5, 85, 30, 20), QSize(60, 40)}, // starts on an odd pixel
    };
    for (const Case& c : cases) {
        const Expected<Capture> capture = ScreenCapture::captureDisplay(display, c.points);
        ASSERT_TRUE(capture.ok()) << capture.error().description.toStdString();
        EXPECT_EQ(capture->scale, 2.0);
        EXPECT_EQ(capture->image.size(), c.pixels) << c.points.width() << " x " << c.points.height();
        // Capture pixel (i, j) is native pixel (2·x + i, 2·y + j) of the screen, which shows the
        // window's point ((2·x + i − 200) / 2, (2·y + j − 160) / 2).
        const QPoint start(int(c.points.x() * 2), int(c.points.y() * 2));
        for (const QPoint p :
            {QPoint(0, 0), QPoint(1, 1), QPoint(15, 6), QPoint(c.pixels.width() - 1, c.pixels.height() - 1)}) {
            const QPoint point = (start + p - QPoint(200, 160)) / 2;
            const QPoint native = start + p - QPoint(200, 160);
            EXPECT_EQ(capture->image.pixel(p), patternColor(native.x() / 2, native.y() / 2))
                << "pixel " << p.x() << "," << p.y() << " of case " << c.points.width() << " (point " << point.x()
                << ")";
        }
    }

    const Expected<Capture> whole = ScreenCapture::captureDisplay(display);
    ASSERT_TRUE(whole.ok());
    EXPECT_EQ(whole->image.size(), QSize(1920, 1080));
    EXPECT_EQ(whole->image.pixel(2 * (100 + 50), 2 * (80 + 40)), patternColor(50, 40));
}

TEST(ScreenCaptureAtScale2, WindowFramesAreInPointsAndCapturesInPixels)
{
    X11ScreenGrabber grabber;
    ScopedService<ScreenGrabber> slot(&grabber);
    PatternWindow window(QRect(200, 150, 160, 100), PatternWindow::Placement::managedFrameless);
    ASSERT_TRUE(window.showAndWait());
    std::optional<WindowInfo> info;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            for (const WindowInfo& w : ScreenCapture::selectableWindows()) {
                if (w.id == quint32(window.winId()))
                    info = w;
            }
            return info.has_value();
        },
        5000));
    EXPECT_EQ(info->frame.size(), QSize(160, 100));
    EXPECT_EQ(info->nativeFrame.size(), QSize(320, 200));
    EXPECT_EQ(info->frame.topLeft(), window.geometry().topLeft());

    const Expected<Capture> capture = ScreenCapture::captureWindow(*info, false);
    ASSERT_TRUE(capture.ok()) << capture.error().description.toStdString();
    EXPECT_EQ(capture->scale, 2.0);
    ASSERT_EQ(capture->image.size(), QSize(320, 200));
    EXPECT_EQ(capture->image.pixel(2 * 33 + 1, 2 * 21 + 1), patternColor(33, 21));
}
