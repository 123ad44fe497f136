// SPDX-License-Identifier: GPL-3.0-or-later
#include "BackgroundRenderer.h"

#include <QPainter>

#include <gtest/gtest.h>

using namespace vantrel;

namespace {

BackgroundSettings enabled(double padding, AspectRatio aspect = AspectRatio::automatic)
{
    BackgroundSettings settings;
    settings.enabled = true;
    settings.padding = padding;
    settings.aspect = aspect;
    return settings;
}

bool near(QColor a, QColor b, int tolerance)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
        && std::abs(a.blue() - b.blue()) <= tolerance;
}

} // namespace

TEST(Background, CanvasLayoutGrowsToTheAspectAndRoundsHalfAway)
{
    struct Case
    {
        const char* what;
        BackgroundSettings settings;
        QSizeF content;
        CanvasLayout expected;
    };
    const Case cases[] = {
        {"disabled", BackgroundSettings {}, {400, 300}, {400, 300, 0, 0}},
        {"padding 64", enabled(64), {400, 300}, {528, 428, 64, 64}},
        {"square", enabled(0, AspectRatio::square), {400, 300}, {400, 400, 0, 50}},
        {"16:9 widens", enabled(10, AspectRatio::r16x9), {100, 100}, {213, 120, 57, 10}},
        {"9:16 heightens", enabled(0, AspectRatio::r9x16), {160, 90}, {160, 284, 0, 97}},
        {"4:3 equal ratio", enabled(0, AspectRatio::r4x3), {400, 300}, {400, 300, 0, 0}},
        {"half pixel rounds away", enabled(0.25), {10, 10}, {11, 11, 0, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(canvasLayout(c.settings, c.content), c.expected) << c.what;
}

TEST(Background, PresetTableAndIdsOutOfRange)
{
    const auto& table = presets();
    ASSERT_EQ(table.size(), 20u);
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(table[i].id, qint64(i));
        EXPECT_DOUBLE_EQ(table[i].angle, 135);
        EXPECT_EQ(table[i].colors.size() == 1, i >= 16) << i;
    }
    EXPECT_EQ(table[0].name, QStringLiteral("Sunrise"));
    EXPECT_EQ(table[0].colors.size(), 3);
    EXPECT_EQ(table[10].colors.last(), QColor(44, 83, 100));
    EXPECT_EQ(presetFor(21).name, QStringLiteral("Ocean"));
    EXPECT_EQ(presetFor(-1).name, QStringLiteral("Orange"));
    EXPECT_EQ(presetFor(-21).name, QStringLiteral("Orange"));
    EXPECT_EQ(presetFor(40).name, QStringLiteral("Sunrise"));

    for (AspectRatio aspect : allAspectRatios)
        EXPECT_EQ(aspectRatioFromRaw(rawValue(aspect)), aspect);
    EXPECT_EQ(rawValue(AspectRatio::automatic), QStringLiteral("Auto"));
    EXPECT_FALSE(aspectRatioFromRaw(QStringLiteral("2:1")));
}

TEST(Background, ShadowParametersFollowStrengthAndPadding)
{
    BackgroundSettings settings = enabled(64);
    settings.shadow = 0;
    EXPECT_FALSE(backgroundShadow(settings));
    settings.shadow = 1;
    const BackgroundShadow shadow = *backgroundShadow(settings);
    EXPECT_DOUBLE_EQ(shadow.alpha, 0.6);
    EXPECT_DOUBLE_EQ(shadow.offset.y(), 7.68);
    EXPECT_DOUBLE_EQ(shadow.blur, 44.4);
}

TEST(Background, GradientRunsFromTopRightToBottomLeftInYDown)
{
    QImage canvas(200, 100, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&canvas);
    drawGradient(painter, QRectF(0, 0, 200, 100), {Qt::red, Qt::blue}, 135);
    painter.end();
    EXPECT_TRUE(near(canvas.pixelColor(199, 0), Qt::red, 40));
    EXPECT_TRUE(near(canvas.pixelColor(0, 99), Qt::blue, 40));
    // Along the other diagonal the two colours are mixed evenly.
    const QColor middle = canvas.pixelColor(100, 50);
    EXPECT_NEAR(middle.red(), middle.blue(), 8);
}

TEST(Background, ApplyBackgroundFramesTheImageWithSquareCorners)
{
    QImage image(400, 300, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    image.setPixelColor(0, 0, Qt::green);
    BackgroundSettings settings = enabled(60);
    settings.presetID = 1; // Ocean: dark blue into cyan
    const QImage framed = applyBackground(settings, image);
    ASSERT_EQ(framed.size(), QSize(520, 420));
    EXPECT_EQ(framed.pixelColor(60, 60), QColor(Qt::green)); // square corner, unscaled
    EXPECT_EQ(framed.pixelColor(459, 359), QColor(Qt::white));
    // Laid out y-up: the first colour sits at the bottom-right, the last at the top-left.
    EXPECT_TRUE(near(framed.pixelColor(519, 419), QColor(46, 49, 146), 30));
    EXPECT_TRUE(near(framed.pixelColor(0, 0), QColor(27, 255, 255), 30));
    // No shadow in this path: just outside the image is plain gradient.
    EXPECT_TRUE(near(framed.pixelColor(300, 365), framed.pixelColor(300, 415), 40));
}
