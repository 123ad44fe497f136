// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScrollingCaptureLayout.h"

#include <gtest/gtest.h>

using namespace vantrel;

TEST(ScrollingCaptureLayout, PanelGoesBelowElseAboveElseInsideAndNeverOnTheCapturedPixels)
{
    const QRect visible(0, 30, 1000, 670); // a top bar of 30 points
    struct Case
    {
        const char* name;
        QRect area;
        QRect panel;
        QRect captured;
    };
    const Case cases[] = {
        {"below", QRect(200, 100, 400, 300), QRect(250, 412, 300, 44), QRect(200, 100, 400, 300)},
        // 12 below the area and 44 tall reach 701: past the bottom, so above.
        {"above", QRect(200, 300, 400, 345), QRect(250, 244, 300, 44), QRect(200, 300, 400, 345)},
        // Just fits below: its bottom lands on the visible bottom.
        {"fits below", QRect(200, 300, 400, 344), QRect(250, 656, 300, 44), QRect(200, 300, 400, 344)},
        // No room on either side: inside, 12 above the area's bottom, and the frames stop 6
        // points above the panel.
        {"inside", QRect(100, 40, 800, 640), QRect(350, 624, 300, 44), QRect(100, 40, 800, 578)},
        // Centred on the area, but kept on the screen.
        {"left edge", QRect(0, 100, 100, 100), QRect(0, 212, 300, 44), QRect(0, 100, 100, 100)},
        {"right edge", QRect(950, 100, 50, 100), QRect(700, 212, 300, 44), QRect(950, 100, 50, 100)},
    };
    for (const Case& c : cases) {
        const ScrollingCaptureLayout layout = ScrollingCaptureLayout::place(c.area, visible);
        EXPECT_EQ(layout.panel, c.panel) << c.name;
        EXPECT_EQ(layout.captured, c.captured) << c.name;
        EXPECT_EQ(layout.panelInside, std::string(c.name) == "inside") << c.name;
        EXPECT_FALSE(layout.panel.intersects(layout.ringFrame())) << c.name;
        EXPECT_EQ(layout.ringFrame(), layout.captured.adjusted(-3, -3, 3, 3)) << c.name;
    }
}

TEST(ScrollingCaptureLayout, ADraggedPanelIsPushedOutOfTheRingTheShortWay)
{
    const QRect ring(100, 100, 400, 300); // x 100…499, y 100…399
    const QSize panel(300, 44);
    struct Case
    {
        QPoint wanted;
        QPoint kept;
    };
    const Case cases[] = {
        {{150, 420}, {150, 420}}, // clear of it: stays
        {{150, 390}, {150, 400}}, // 10 into the bottom edge
        {{150, 70}, {150, 56}}, // 14 into the top edge
        {{-190, 200}, {-200, 200}}, // 10 into the left edge
        {{495, 200}, {500, 200}}, // 5 into the right edge
        {{200, 250}, {200, 400}}, // in the middle: out through the nearest side, the bottom
    };
    for (const Case& c : cases) {
        const QPoint kept = keepOutside(QRect(c.wanted, panel), ring);
        EXPECT_EQ(kept, c.kept) << c.wanted.x() << "," << c.wanted.y();
        EXPECT_FALSE(QRect(kept, panel).intersects(ring));
    }
}
