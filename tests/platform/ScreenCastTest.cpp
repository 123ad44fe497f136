// SPDX-License-Identifier: GPL-3.0-or-later
// The screen-cast stream's arithmetic: which stream pixels an area is, which pointer mode to
// ask for, and how a picture and the pointer beside it become the recorder's pixels.
#include "wayland/PipeWireFrameSource.h"
#include "wayland/ScreenCastPortal.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

using namespace vantrel::wayland;

TEST(ScreenCastArea, TheAreaIsCutFromTheStreamInItsPixels)
{
    struct Case
    {
        const char* what;
        QRectF area; // logical
        QSizeF logical;
        QSize stream;
        bool even;
        QRect expected;
    };
    const Case cases[] = {
        {"scale 1", {100, 50, 301, 201}, {1280, 720}, {1280, 720}, true, {100, 50, 300, 200}},
        {"scale 1, odd kept", {100, 50, 301, 201}, {1280, 720}, {1280, 720}, false, {100, 50, 301, 201}},
        {"scale 2", {10.5, 20, 100, 50}, {1280, 720}, {2560, 1440}, true, {21, 40, 200, 100}},
        {"fractional scale 1.5", {101, 33, 201, 101}, {1280, 720}, {1920, 1080}, true, {152, 50, 300, 150}},
        {"reaching past the edge", {1200, 700, 200, 100}, {1280, 720}, {1280, 720}, true, {1200, 700, 80, 20}},
        {"the whole monitor", {}, {1280, 720}, {2560, 1440}, true, {0, 0, 2560, 1440}},
        {"no logical size: stream pixels", {4, 4, 10, 10}, {}, {64, 64}, true, {4, 4, 10, 10}},
        {"outside the monitor", {2000, 0, 100, 100}, {1280, 720}, {1280, 720}, true, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(streamArea(c.area, c.logical, c.stream, c.even), c.expected) << c.what;
}

TEST(ScreenCastCursor, ThePointerIsDrawnInByTheDesktopWhereItCanAndLeftOutWhenNotShown)
{
    struct Case
    {
        uint offered;
        bool show;
        CastCursor expected;
    };
    const Case cases[] = {
        {1 | 2 | 4, true, CastCursor::embedded},
        {1 | 2 | 4, false, CastCursor::hidden},
        {1 | 4, true, CastCursor::metadata},
        {2, false, CastCursor::embedded}, // the desktop cannot leave it out
        {4, false, CastCursor::metadata}, // sent beside, and not drawn
        {1, true, CastCursor::hidden}, // the desktop cannot show it
        {0, true, CastCursor::embedded}, // an old portal that does not say
        {0, false, CastCursor::hidden},
    };
    for (const Case& c : cases)
        EXPECT_EQ(chooseCursorMode(c.offered, c.show), c.expected) << c.offered << " " << c.show;
}

TEST(ScreenCastFrame, RedFirstPixelsAreReorderedAndThePointerIsBlendedWhereItLies)
{
    // A 4 × 2 picture inside a wider stream row (stride 24), red first.
    std::vector<uint8_t> stream(24 * 2, 0);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x) {
            uint8_t* p = stream.data() + y * 24 + x * 4;
            p[0] = uint8_t(10 * x + 1); // red
            p[1] = uint8_t(20 + y); // green
            p[2] = 200; // blue
            p[3] = 0;
        }
    }
    // A 2 × 2 pointer hanging over the top-left corner: opaque white, then half-transparent
    // black (premultiplied: 0, 0, 0, 128), then fully transparent.
    const std::array<uint8_t, 16> cursor {255, 255, 255, 255, 0, 0, 0, 128, 0, 0, 0, 0, 0, 0, 0, 0};
    StreamFrame frame;
    frame.pixels = stream.data();
    frame.stride = 24;
    frame.size = QSize(4, 2);
    frame.redFirst = true;
    frame.cursorPixels = cursor.data();
    frame.cursorSize = QSize(2, 2);
    frame.cursorPosition = QPoint(2, 1);

    for (bool draw : {false, true}) {
        SCOPED_TRACE(draw ? "pointer drawn" : "pointer left out");
        std::vector<uint8_t> target(16 * 2, 7);
        copyFrame(frame, target.data(), 16, draw);
        auto at = [&](int x, int y) { return target.data() + y * 16 + x * 4; };
        // BGRX, opaque.
        EXPECT_EQ(at(1, 0)[0], 200);
        EXPECT_EQ(at(1, 0)[1], 20);
        EXPECT_EQ(at(1, 0)[2], 11);
        EXPECT_EQ(at(1, 0)[3], 255);
        EXPECT_EQ(at(3, 0)[2], 31);
        if (draw) {
            EXPECT_EQ(at(2, 1)[0], 255);
            EXPECT_EQ(at(2, 1)[2], 255);
            // Half of the picture's blue (200) and red (31) stay under the half-black pixel.
            EXPECT_NEAR(at(3, 1)[0], 100, 1);
            EXPECT_NEAR(at(3, 1)[2], 16, 1);
        } else {
            EXPECT_EQ(at(2, 1)[2], 21);
            EXPECT_EQ(at(3, 1)[2], 31);
        }
        // The pointer's second row lies below the picture and is clipped.
        EXPECT_EQ(at(0, 1)[2], 1);
    }
}
