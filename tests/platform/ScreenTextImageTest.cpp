// SPDX-License-Identifier: GPL-3.0-or-later
// Preparing screenshots for the text engine, on pictures drawn with rectangles (no fonts).
#include "ScreenTextImage.h"

#include <QPainter>

#include <gtest/gtest.h>

using namespace vantrel;

namespace {

// Bars shaped like strokes of 11 px text: 1 px wide, 8 px high, 3 px apart, in rows 19 px apart.
QImage strokes(QSize size, QColor page, QColor ink, QRect area)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(page);
    QPainter painter(&image);
    for (int y = area.top(); y + 8 <= area.bottom(); y += 19) {
        for (int x = area.left(); x < area.right(); x += 4)
            painter.fillRect(QRect(x, y, 1, 8), ink);
    }
    return image;
}

int greyAt(const ScreenTextImage& prepared, QPoint sourcePixel)
{
    const QPoint at(int(sourcePixel.x() * prepared.magnification), int(sourcePixel.y() * prepared.magnification));
    return qGray(prepared.grey.pixel(at));
}

} // namespace

TEST(ScreenTextImage, PicturesThatCannotHoldTextAreBlank)
{
    QImage transparent(400, 300, QImage::Format_ARGB32);
    transparent.fill(Qt::transparent);
    QImage uniform(400, 300, QImage::Format_RGB32);
    uniform.fill(QColor(0x24, 0x24, 0x24));
    QImage tiny(1, 1, QImage::Format_RGB32);
    tiny.fill(Qt::black);
    QImage speck = uniform.copy();
    speck.setPixel(200, 150, qRgb(255, 255, 255)); // a dead pixel is not text
    const std::pair<const char*, QImage> cases[] = {
        {"null", QImage()},
        {"zero-sized", QImage(0, 0, QImage::Format_RGB32)},
        {"one pixel", tiny},
        {"fully transparent", transparent},
        {"one colour", uniform},
        {"one odd pixel", speck},
    };
    for (const auto& [name, image] : cases) {
        const ScreenTextImage prepared = prepareScreenText(image, 1.0);
        EXPECT_TRUE(prepared.blank) << name;
        EXPECT_TRUE(prepared.grey.isNull()) << name;
    }
}

TEST(ScreenTextImage, TextComesOutDarkOnWhiteWhateverItWasDrawnOn)
{
    struct Case
    {
        const char* name;
        QColor page;
        QColor ink;
    };
    const Case cases[] = {
        {"light theme", QColor(0xf6, 0xf5, 0xf4), QColor(0x2e, 0x34, 0x36)},
        {"dark theme", QColor(0x24, 0x24, 0x24), QColor(0xe8, 0xe8, 0xe8)},
        {"white on blue", QColor(0x35, 0x84, 0xe4), Qt::white},
        {"dark on yellow", QColor(0xf6, 0xd3, 0x2d), QColor(0x24, 0x1f, 0x31)},
        {"red on green, equally bright", QColor(0x00, 0x80, 0x00), QColor(0xd0, 0x30, 0x30)},
        {"muted grey on white", Qt::white, QColor(0x99, 0x99, 0x99)},
    };
    for (const Case& c : cases) {
        const ScreenTextImage prepared
            = prepareScreenText(strokes(QSize(300, 120), c.page, c.ink, QRect(20, 20, 260, 80)), 1.0);
        ASSERT_FALSE(prepared.blank) << c.name;
        EXPECT_LT(greyAt(prepared, QPoint(20, 24)), 100) << c.name << ": a stroke";
        EXPECT_GT(greyAt(prepared, QPoint(22, 24)), 200) << c.name << ": between strokes";
        EXPECT_GT(greyAt(prepared, QPoint(5, 5)), 240) << c.name << ": the page";
    }
}

TEST(ScreenTextImage, TextOnAButtonIsReadAgainstTheButtonNotThePage)
{
    // White strokes on a blue button on a white page: against the page they would vanish.
    QImage image = strokes(QSize(300, 100), Qt::white, Qt::white, QRect());
    QPainter painter(&image);
    painter.fillRect(QRect(40, 30, 160, 36), QColor(0x35, 0x84, 0xe4));
    for (int x = 60; x < 180; x += 4)
        painter.fillRect(QRect(x, 44, 1, 8), Qt::white);
    painter.end();
    const ScreenTextImage prepared = prepareScreenText(image, 1.0);
    ASSERT_FALSE(prepared.blank);
    EXPECT_LT(greyAt(prepared, QPoint(60, 47)), 100); // a white stroke, now dark
    EXPECT_GT(greyAt(prepared, QPoint(50, 36)), 200); // the button, now paper
    EXPECT_GT(greyAt(prepared, QPoint(10, 10)), 240); // the page
}

TEST(ScreenTextImage, ThickStrokesOfLargeTextStaySolid)
{
    // Strokes 6 px wide, 30 px high (bold text near 40 px): flat inside, yet ink, not paper.
    QImage image(300, 100, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (int x = 20; x < 280; x += 14)
        painter.fillRect(QRect(x, 30, 6, 30), QColor(0x20, 0x20, 0x20));
    painter.end();
    const ScreenTextImage prepared = prepareScreenText(image, 1.0);
    ASSERT_FALSE(prepared.blank);
    EXPECT_LT(greyAt(prepared, QPoint(23, 45)), 100);
}

TEST(ScreenTextImage, FramesRulesAndUnderlinesGoButLettersStay)
{
    // Strokes of 11 px text inside a field's frame, beside a table rule, over an underline, and
    // a tall thin letter of a heading (a stem as high as two lines of text, a shape of its own).
    QImage image = strokes(QSize(400, 200), Qt::white, QColor(0x20, 0x20, 0x20), QRect(30, 30, 200, 12));
    QPainter painter(&image);
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.drawRect(QRect(24, 24, 230, 22)); // the field, 3 px around the text
    painter.fillRect(QRect(300, 0, 1, 200), QColor(0x60, 0x60, 0x60)); // a column rule
    for (int x = 30; x < 230; x += 4)
        painter.fillRect(QRect(x, 80, 1, 8), QColor(0x20, 0x20, 0x20));
    painter.fillRect(QRect(28, 89, 204, 1), QColor(0x20, 0x20, 0x20)); // the underline, touching
    painter.fillRect(QRect(320, 120, 2, 16), QColor(0x20, 0x20, 0x20)); // the heading's "l"
    // A table rule in one row's stripe only, a line of its own 21 px high.
    painter.fillRect(QRect(340, 150, 60, 21), QColor(0xe8, 0xe8, 0xe8));
    painter.fillRect(QRect(360, 150, 1, 21), QColor(0x80, 0x80, 0x80));
    painter.end();

    for (const double scale : {1.0, 2.0}) {
        const QImage scaled
            = scale == 1.0 ? image : image.scaled(image.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        const ScreenTextImage prepared = prepareScreenText(scaled, scale);
        ASSERT_FALSE(prepared.blank);
        auto at = [&](int x, int y) { return greyAt(prepared, QPoint(int(x * scale), int(y * scale))); };
        EXPECT_GT(at(24, 35), 200) << scale << ": the field's left edge";
        EXPECT_GT(at(140, 24), 200) << scale << ": the field's top edge";
        EXPECT_GT(at(300, 150), 200) << scale << ": the rule";
        EXPECT_GT(at(130, 89), 200) << scale << ": the underline between strokes";
        EXPECT_GT(at(360, 160), 200) << scale << ": the rule in a stripe";
        EXPECT_LT(at(30, 34), 100) << scale << ": a stroke inside the field";
        EXPECT_LT(at(226, 34), 100) << scale << ": the last stroke, 3 px from the frame";
        EXPECT_LT(at(30, 84), 100) << scale << ": a stroke on the underline";
        EXPECT_LT(at(320, 128), 100) << scale << ": the heading's letter";
    }
}

TEST(ScreenTextImage, SmallTextIsMagnifiedUnlessTheCaptureIsHiDpi)
{
    const QImage small = strokes(QSize(300, 120), Qt::white, Qt::black, QRect(20, 20, 260, 80));
    const ScreenTextImage atOne = prepareScreenText(small, 1.0);
    EXPECT_GE(atOne.magnification, 1.5);
    EXPECT_EQ(atOne.grey.width(), qRound(300 * atOne.magnification));
    EXPECT_EQ(prepareScreenText(small, 2.0).magnification, 1.0);

    // Magnification follows the measured glyph height: small glyphs more, large ones not at all.
    EXPECT_EQ(magnificationFor(4), 3.0);
    EXPECT_EQ(magnificationFor(6.5), 2.0);
    EXPECT_EQ(magnificationFor(9), 1.5);
    EXPECT_EQ(magnificationFor(14), 1.0);
    EXPECT_EQ(magnificationFor(40), 1.0);
}

TEST(ScreenTextImage, GlyphHeightIsMeasuredOnLetterSizedShapesOnly)
{
    QImage grey(400, 200, QImage::Format_Grayscale8);
    grey.fill(255);
    QPainter painter(&grey);
    for (int x = 10; x < 300; x += 6)
        painter.fillRect(QRect(x, 20, 3, 7), Qt::black); // letters 7 px high
    painter.fillRect(QRect(0, 100, 400, 1), Qt::black); // a rule
    painter.fillRect(QRect(350, 0, 1, 200), Qt::black); // a border
    painter.fillRect(QRect(20, 120, 120, 70), Qt::black); // a picture
    painter.end();
    ASSERT_TRUE(typicalGlyphHeight(grey));
    EXPECT_EQ(*typicalGlyphHeight(grey), 7.0);

    QImage empty(50, 50, QImage::Format_Grayscale8);
    empty.fill(255);
    EXPECT_FALSE(typicalGlyphHeight(empty));
}

TEST(ScreenTextImage, TilesCoverALargePictureOnceWithMargins)
{
    const QSize size(5000, 2100);
    const std::vector<TextTile> tiles = textTiles(size, 2048, 128);
    ASSERT_EQ(tiles.size(), 6u);
    qint64 covered = 0;
    for (const TextTile& tile : tiles) {
        covered += qint64(tile.owned.width()) * tile.owned.height();
        EXPECT_LE(tile.owned.width(), 2048);
        EXPECT_TRUE(tile.read.contains(tile.owned));
        EXPECT_TRUE(QRect(QPoint(0, 0), size).contains(tile.read));
        for (const TextTile& other : tiles) {
            if (&other != &tile)
                EXPECT_FALSE(tile.owned.intersects(other.owned));
        }
    }
    EXPECT_EQ(covered, qint64(size.width()) * size.height());
    EXPECT_EQ(textTiles(QSize(800, 600), 2048, 128).size(), 1u);
    EXPECT_TRUE(textTiles(QSize(0, 0), 2048, 128).empty());
}
