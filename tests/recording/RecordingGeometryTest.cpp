// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordingGeometry.h"

#include <gtest/gtest.h>

using namespace vantrel;
using namespace vantrel::recordinggeometry;

TEST(RecordingGeometry, MovieSizesAreTruncatedToEvenPixels)
{
    struct Case
    {
        QSizeF area;
        double scale;
        QSize pixels;
    };
    const Case cases[] = {
        {{301, 201}, 1.0, {300, 200}}, // odd sizes drop their last pixel
        {{300, 200}, 1.0, {300, 200}}, {{301, 201}, 2.0, {602, 402}}, // a HiDPI area at full resolution
        {{301.5, 201.5}, 2.0, {602, 402}}, // 603 × 403 pixels, made even
        {{100.9, 50.99}, 1.0, {100, 50}}, // truncated, not rounded
        {{640, 400}, 1.5, {960, 600}}, {{1, 1}, 1.0, {0, 0}}, // too small to record at all
    };
    for (const Case& c : cases)
        EXPECT_EQ(pixelSize(c.area, c.scale), c.pixels) << c.area.width() << "×" << c.area.height() << " @" << c.scale;
}

TEST(RecordingGeometry, TheFrameSurroundsTheAreaInGlobalPoints)
{
    // A second screen to the right: the area is relative to it.
    const QRectF screen(1920, 0, 1280, 1024);
    EXPECT_EQ(frameRect(screen, QRectF(100, 50, 300, 200)), QRectF(2017, 47, 306, 206));
}

TEST(RecordingGeometry, TheBarSitsBelowTheAreaInsideItOrAtTheBottomOfAWholeScreen)
{
    const QRectF screen(0, 0, 1920, 1080);
    const QRectF visible(0, 0, 1920, 1040); // a 40-point panel at the bottom
    struct Case
    {
        const char* what;
        QRectF area;
        QRectF bar;
    };
    const Case cases[] = {
        {"12 points below the area, centred", {300, 200, 640, 400}, {620 - 90, 612, 180, 36}},
        // Below, it would end 8 points above the panel exactly: it still fits.
        {"as low as it may go", {0, 0, 400, 984}, {110, 996, 180, 36}},
        // One point lower would come within 8 points of the panel: inside the area's bottom edge.
        {"inside the bottom edge", {0, 0, 400, 985}, {110, 985 - 12 - 36, 180, 36}},
        {"an area down to the panel", {500, 600, 400, 440}, {610, 1040 - 12 - 36, 180, 36}},
        {"the whole screen", {0, 0, 1920, 1080}, {960 - 90, 1040 - 20 - 36, 180, 36}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(barRect(screen, visible, c.area, 180), c.bar) << c.what;

    // On a screen placed below another, everything moves with it.
    const QRectF lower(0, 1080, 1920, 1080);
    EXPECT_EQ(barRect(lower, lower, QRectF(300, 200, 640, 400), 180), QRectF(530, 1080 + 612, 180, 36));
    EXPECT_EQ(barRect(lower, lower, QRectF(0, 0, 1920, 1080), 180), QRectF(870, 2160 - 56, 180, 36));
}

TEST(RecordingGeometry, WholeScreensAndAreasBeyondTheScreen)
{
    EXPECT_TRUE(isWholeScreen({1920, 1080}, {1920, 1080}));
    EXPECT_FALSE(isWholeScreen({1920, 1079}, {1920, 1080}));
    EXPECT_EQ(clampedArea({-50, 100, 400, 2000}, {1920, 1080}), QRectF(0, 100, 350, 980));
    EXPECT_EQ(clampedArea({10, 10, 100, 100}, {1920, 1080}), QRectF(10, 10, 100, 100));
    EXPECT_TRUE(clampedArea({2000, 10, 100, 100}, {1920, 1080}).isEmpty());
}

TEST(RecordingGeometry, TheClockReadsMinutesAndSeconds)
{
    const std::pair<double, const char*> cases[] = {
        {0, "\u25CF REC  0:00"},
        {7.9, "\u25CF REC  0:07"},
        {59.99, "\u25CF REC  0:59"},
        {750, "\u25CF REC  12:30"},
        {4500, "\u25CF REC  75:00"}, // minutes are not wrapped into hours
        {-3, "\u25CF REC  0:00"},
    };
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(elapsedLabel(seconds), QString::fromUtf8(text)) << seconds;
}
