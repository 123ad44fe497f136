// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScrollStitcher.h"

#include <QImage>
#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace vantrel;

namespace {

// Bands of `bandRows` rows of random grey, each with a 40-pixel block of the inverse grey at a
// random x; the first band is `phase` rows short. The matcher compares only every second or
// third row, so bands thicker than that are told apart only at favourable phases: one-row bands
// make every offset unambiguous.
std::vector<std::uint8_t> bandedPicture(int width, int height, quint32 seed, int bandRows = 1, int phase = 0)
{
    QRandomGenerator random(seed);
    std::vector<std::uint8_t> picture(std::size_t(width) * height);
    int grey = 0, blockX = 0;
    for (int y = 0; y < height; ++y) {
        if ((y + phase) % bandRows == 0 || y == 0) {
            grey = random.bounded(256);
            blockX = random.bounded(std::max(1, width - 40));
        }
        for (int x = 0; x < width; ++x)
            picture[std::size_t(y) * width + x] = (x >= blockX && x < blockX + 40) ? 255 - grey : grey;
    }
    return picture;
}

std::vector<std::uint8_t> rows(const std::vector<std::uint8_t>& picture, int width, int first, int count)
{
    return {picture.begin() + std::ptrdiff_t(first) * width, picture.begin() + std::ptrdiff_t(first + count) * width};
}

} // namespace

TEST(ScrollStitcher, FindsTheScrolledDistance)
{
    const auto picture = bandedPicture(400, 1400, 7);
    const auto first = rows(picture, 400, 0, 500);
    for (int scrolled : {1, 37, 137, 250, 400}) {
        const auto second = rows(picture, 400, scrolled, 500);
        EXPECT_EQ(findOffset(first, second, 400, 500), scrolled);
        const auto match = bestFrameMatch(first, second, 400, 500);
        ASSERT_TRUE(match);
        EXPECT_DOUBLE_EQ(match->score, 0);
    }
    // Past the margin (a fifth of 500 rows) the search does not look.
    EXPECT_EQ(findOffset(first, rows(picture, 400, 401, 500), 400, 500), 0);
}

TEST(ScrollStitcher, SixRowBandsStartingOneRowEarlyGive137)
{
    const auto picture = bandedPicture(400, 1400, 5, 6, 1);
    EXPECT_EQ(findOffset(rows(picture, 400, 0, 500), rows(picture, 400, 137, 500), 400, 500), 137);
}

TEST(ScrollStitcher, SmallFramesUseATwentyRowMargin)
{
    const auto picture = bandedPicture(300, 400, 11);
    const auto first = rows(picture, 300, 0, 100);
    EXPECT_EQ(findOffset(first, rows(picture, 300, 80, 100), 300, 100), 80);
    EXPECT_EQ(findOffset(first, rows(picture, 300, 81, 100), 300, 100), 0);
}

TEST(ScrollStitcher, RejectsStillAndBackwardFramesAndTinyAreas)
{
    const auto picture = bandedPicture(400, 1400, 3);
    const auto top = rows(picture, 400, 0, 500);
    const auto lower = rows(picture, 400, 137, 500);
    EXPECT_EQ(findOffset(top, top, 400, 500), 0);
    EXPECT_FALSE(bestFrameMatch(top, top, 400, 500));
    // Content that moved down (the user scrolled up) has no good match.
    EXPECT_EQ(findOffset(lower, top, 400, 500), 0);
    for (int height : {0, 1, 10, 20}) {
        const auto a = rows(picture, 400, 0, height);
        const auto b = rows(picture, 400, 3, height);
        EXPECT_EQ(findOffset(a, b, 400, height), 0) << height;
    }
    // Buffers smaller than the stated size are refused rather than read past their end.
    EXPECT_EQ(findOffset(rows(picture, 400, 0, 100), lower, 400, 500), 0);
}

TEST(ScrollStitcher, GreyLevelsUseIntegerWeights)
{
    QImage frame(4, 1, QImage::Format_ARGB32_Premultiplied);
    frame.setPixel(0, 0, qRgb(255, 0, 0));
    frame.setPixel(1, 0, qRgb(0, 255, 0));
    frame.setPixel(2, 0, qRgb(0, 0, 255));
    frame.setPixel(3, 0, qRgb(255, 255, 255));
    EXPECT_EQ(grayLevels(frame), (std::vector<std::uint8_t> {76, 149, 28, 255}));
}
