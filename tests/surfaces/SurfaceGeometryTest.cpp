// SPDX-License-Identifier: GPL-3.0-or-later
// Thumbnail sizes, the thumbnail stack, and the pin's fit and zoom: points, y down.
#include "SurfaceGeometry.h"

#include <gtest/gtest.h>

#include <vector>

using namespace vantrel;

namespace {

void expectSize(const QSizeF& actual, const QSizeF& expected, const char* label)
{
    EXPECT_NEAR(actual.width(), expected.width(), 1e-9) << label;
    EXPECT_NEAR(actual.height(), expected.height(), 1e-9) << label;
}

} // namespace

TEST(ThumbnailSize, FollowsTheOverlaySizeAndItsLimits)
{
    struct Case
    {
        const char* label;
        QSizeF picture;
        double overlaySize;
        QSizeF expected;
    };
    const std::vector<Case> cases = {
        {"landscape at S", {400, 300}, 220, {220, 165}},
        {"square at S", {500, 500}, 220, {220, 220}},
        {"taller than 1.1 S is capped there", {100, 120}, 220, {242 / 1.2, 242}},
        // Twice as tall as wide: 1.1 S high makes it 121 wide, grown to the 170 minimum.
        {"tall picture gets narrower", {200, 400}, 220, {170, 340}},
        // A long scrolling capture grown to 170 wide would be 1,700 high; the height is capped.
        {"very tall picture keeps within 1.6 S", {100, 1000}, 220, {35.2, 352}},
        // Only the proportions count: 20 × 10 points at S = 160 is grown to 110 high.
        {"tiny picture grows to the minimum", {20, 10}, 160, {220, 110}},
        {"tiny picture at S = 220", {4, 2}, 220, {220, 110}},
        {"wide picture is capped at 1.6 S wide", {400, 100}, 160, {256, 64}},
        {"zero width counts as 0.6", {0, 50}, 220, {220, 132}},
        {"empty picture counts as 0.6", {0, 0}, 160, {160 * 110 / 96.0, 110}},
    };
    for (const Case& c : cases)
        expectSize(thumbnailSize(c.picture, c.overlaySize), c.expected, c.label);
}

TEST(ThumbnailStack, StacksUpwardsFromEitherBottomCorner)
{
    // A visible frame that does not start at the origin (a panel on the left and at the top).
    const QRectF visible(100, 30, 1600, 1000);
    const std::vector<QSizeF> sizes = {{220, 165}, {170, 110}, {220, 242}}; // newest first

    const std::vector<QPointF> left = stackedOrigins(visible, sizes, OverlayCorner::left);
    const std::vector<QPointF> expectedLeft
        = {{116, 1030 - 16 - 165}, {116, 1030 - 193 - 110}, {116, 1030 - 315 - 242}};
    EXPECT_EQ(left, expectedLeft);

    const std::vector<QPointF> right = stackedOrigins(visible, sizes, OverlayCorner::right);
    const std::vector<QPointF> expectedRight = {{1700 - 220 - 16, 849}, {1700 - 170 - 16, 727}, {1700 - 220 - 16, 473}};
    EXPECT_EQ(right, expectedRight);
}

TEST(ThumbnailStack, StopsBelowTheTopLimit)
{
    const QRectF visible(0, 0, 800, 600);
    // Bottoms at 16, 193, 370 points above the frame's bottom; the fourth would sit at 547,
    // above 600 − 60, so it and the older ones keep where they were.
    const std::vector<QSizeF> five(5, QSizeF(220, 165));
    const std::vector<QPointF> origins = stackedOrigins(visible, five, OverlayCorner::left);
    ASSERT_EQ(origins.size(), 3u);
    EXPECT_EQ(origins[2], QPointF(16, 600 - 370 - 165));

    // A bottom exactly at the limit is still placed.
    const std::vector<QSizeF> two(2, QSizeF(170, 100));
    EXPECT_EQ(stackedOrigins(QRectF(0, 0, 800, 16 + 112 + 60), two, OverlayCorner::left).size(), 2u);
    EXPECT_EQ(stackedOrigins(QRectF(0, 0, 800, 16 + 112 + 59), two, OverlayCorner::left).size(), 1u);
    // The newest thumbnail is always placed.
    EXPECT_EQ(stackedOrigins(QRectF(0, 0, 800, 50), two, OverlayCorner::left).size(), 1u);
    EXPECT_TRUE(stackedOrigins(visible, {}, OverlayCorner::right).empty());
}

TEST(PinGeometry, FitsIntoSixtyPercentOfTheVisibleFrame)
{
    const QSizeF visible(1920, 1080); // 60 %: 1152 × 648
    struct Case
    {
        const char* label;
        QSizeF points;
        QSizeF expected;
    };
    const std::vector<Case> cases = {
        {"small picture stays", {300, 200}, {300, 200}},
        {"too wide", {3000, 1000}, {1152, 384}},
        {"too tall", {1000, 3000}, {216, 648}},
        {"too wide, then still too tall", {4000, 3000}, {864, 648}},
        {"exactly 60 %", {1152, 648}, {1152, 648}},
    };
    for (const Case& c : cases) {
        const double aspect = c.points.height() / std::max(c.points.width(), 1.0);
        expectSize(pinFitSize(c.points, aspect, visible), c.expected, c.label);
    }
}

TEST(PinGeometry, ZoomKeepsTheCentreTheAspectAndTheWidthLimits)
{
    const QRectF frame(100, 100, 400, 200);
    EXPECT_EQ(zoomedPinFrame(frame, 2, 0.5), QRectF(-100, 0, 800, 400));
    EXPECT_EQ(zoomedPinFrame(frame, 0.01, 0.5), QRectF(280, 190, 40, 20));
    EXPECT_EQ(zoomedPinFrame(frame, 100, 0.5), QRectF(300 - 3000, 200 - 1500, 6000, 3000));
    // Negative factors (a wild pinch) end at the minimum, not at a mirrored frame.
    EXPECT_EQ(zoomedPinFrame(frame, -3, 0.5).width(), 40);

    // Many small steps never let the height drift from the aspect.
    const double aspect = 1.0 / 3.0;
    QRectF zoomed(0, 0, 300, 100);
    for (int i = 0; i < 40; ++i) {
        zoomed = zoomedPinFrame(zoomed, i % 3 == 0 ? 1 / 1.1 : 1.1, aspect);
        ASSERT_DOUBLE_EQ(zoomed.height(), zoomed.width() * aspect) << i;
        ASSERT_GE(zoomed.width(), 40);
        ASSERT_LE(zoomed.width(), 6000);
    }
    EXPECT_NEAR(zoomed.center().x(), 150, 1e-9);
    EXPECT_NEAR(zoomed.center().y(), 50, 1e-9);
}
