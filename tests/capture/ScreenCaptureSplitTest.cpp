// SPDX-License-Identifier: GPL-3.0-or-later
// Two monitors side by side (the harness splits one 1920 × 1080 screen into two RandR monitors).
#include "ScreenCapture.h"
#include "Service.h"
#include "X11TestSupport.h"
#include "x11/X11ScreenGrabber.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

using namespace vantrel;
using namespace vantrel::test;

TEST(ScreenCaptureOnTwoMonitors, EachDisplayGivesItsOwnPixels)
{
    X11ScreenGrabber grabber;
    ScopedService<ScreenGrabber> slot(&grabber);
    const auto screens = QGuiApplication::screens();
    ASSERT_EQ(screens.size(), 2);

    const QColor colours[] = {QColor(200, 30, 30), QColor(30, 30, 200)};
    std::vector<std::unique_ptr<PatternWindow>> windows;
    for (int i = 0; i < 2; ++i) {
        windows.push_back(
            std::make_unique<PatternWindow>(screens[i]->geometry(), PatternWindow::Placement::exact, colours[i]));
        ASSERT_TRUE(windows.back()->showAndWait());
    }

    const quint32 left = ScreenCapture::displayID(screens[0]);
    const quint32 right = ScreenCapture::displayID(screens[1]);
    EXPECT_NE(left, right);
    EXPECT_EQ(ScreenCapture::screenForDisplay(left), screens[0]);
    EXPECT_EQ(ScreenCapture::screenForDisplay(right), screens[1]);

    const std::map<quint32, Capture> all = ScreenCapture::captureAllDisplays();
    ASSERT_EQ(all.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        const Capture& capture = all.at(ScreenCapture::displayID(screens[i]));
        ASSERT_EQ(capture.image.size(), screens[i]->geometry().size());
        for (const QPoint p : {QPoint(0, 0), QPoint(capture.image.width() - 1, capture.image.height() - 1),
                 QPoint(capture.image.width() / 2, 10)})
            EXPECT_EQ(capture.image.pixel(p), colours[i].rgb()) << "screen " << i << " at " << p.x() << "," << p.y();
    }

    // A rectangle is relative to its own display's top-left corner.
    const Expected<Capture> corner = ScreenCapture::captureDisplay(right, QRectF(0, 0, 20, 20));
    ASSERT_TRUE(corner.ok());
    EXPECT_EQ(corner->image.pixel(0, 0), colours[1].rgb());

    for (int i = 0; i < 2; ++i) {
        QCursor::setPos(screens[i]->geometry().center());
        EXPECT_TRUE(QTest::qWaitFor([&] { return ScreenCapture::screenUnderMouse() == screens[i]; }, 2000));
    }
}
