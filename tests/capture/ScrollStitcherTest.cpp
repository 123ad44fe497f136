// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScrollStitcher.h"

#include "TestPages.h"

#include <QImage>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <array>
#include <limits>

using namespace vantrel;
using Outcome = ScrollStitcher::Outcome;
using test::documentPage;

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

QImage greyImage(const std::vector<std::uint8_t>& grey, int width)
{
    const int height = int(grey.size() / std::size_t(width));
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int v = grey[std::size_t(y) * width + x];
            line[x] = qRgb(v, v, v);
        }
    }
    return image;
}

QImage frameOf(const QImage& page, int top, int height)
{
    return page.copy(0, top, page.width(), height);
}

// The rows [from, to) of several images, one under the other.
struct Rows
{
    const QImage& image;
    int from;
    int to;
};
QImage stacked(std::initializer_list<Rows> parts)
{
    int height = 0;
    for (const Rows& part : parts)
        height += part.to - part.from;
    QImage result(parts.begin()->image.width(), height, QImage::Format_RGB32);
    int y = 0;
    for (const Rows& part : parts) {
        for (int row = part.from; row < part.to; ++row, ++y)
            std::memcpy(result.scanLine(y), part.image.constScanLine(row), std::size_t(result.bytesPerLine()));
    }
    return result;
}

// A viewport of `height` rows showing the page from `top`, with fixed bars drawn over its first
// and last rows.
QImage viewport(const QImage& page, int top, int height, const QImage& header, const QImage& footer)
{
    QImage frame = frameOf(page, top, height);
    for (int y = 0; y < header.height(); ++y)
        std::memcpy(frame.scanLine(y), header.constScanLine(y), std::size_t(frame.bytesPerLine()));
    for (int y = 0; y < footer.height(); ++y)
        std::memcpy(
            frame.scanLine(height - footer.height() + y), footer.constScanLine(y), std::size_t(frame.bytesPerLine()));
    return frame;
}

QImage bar(int width, int height, QRgb colour, quint32 seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QRandomGenerator random(seed);
    for (int i = 0; i < 40; ++i)
        image.setPixel(random.bounded(width), random.bounded(height), qRgb(255, 255, 255));
    return image;
}

struct Stitched
{
    QImage picture;
    std::vector<Outcome> outcomes;
    std::vector<int> shifts;
};

Stitched stitch(const std::vector<QImage>& frames)
{
    ScrollStitcher stitcher;
    Stitched run;
    for (const QImage& frame : frames) {
        const ScrollStitcher::Result result = stitcher.addFrame(frame);
        run.outcomes.push_back(result.outcome);
        run.shifts.push_back(result.shift);
    }
    run.picture = stitcher.takePicture();
    return run;
}

// Empty when `picture` equals `expected` row for row, else which row differs first.
std::string rowDifference(const QImage& picture, const QImage& expected, int ignoreRightColumns = 0)
{
    if (picture.size() != expected.size())
        return "size " + std::to_string(picture.width()) + "x" + std::to_string(picture.height()) + ", expected "
            + std::to_string(expected.width()) + "x" + std::to_string(expected.height());
    const QImage a = picture.convertToFormat(QImage::Format_RGB32);
    const std::size_t bytes = std::size_t(a.width() - ignoreRightColumns) * 4;
    for (int y = 0; y < a.height(); ++y) {
        if (std::memcmp(a.constScanLine(y), expected.constScanLine(y), bytes) != 0)
            return "row " + std::to_string(y) + " differs";
    }
    return {};
}

std::vector<QImage> framesAt(const QImage& page, std::initializer_list<int> tops, int height)
{
    std::vector<QImage> frames;
    for (int top : tops)
        frames.push_back(frameOf(page, top, height));
    return frames;
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
    EXPECT_EQ(maxScrollOffset(100), 80);
    EXPECT_EQ(maxScrollOffset(500), 400);
    EXPECT_EQ(maxScrollOffset(20), 0);
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
    const std::vector<std::uint8_t> expected {76, 149, 28, 255};
    EXPECT_EQ(grayLevels(frame), expected);
    // Every pixel format reads the same: grabs arrive as RGB32, others are converted.
    EXPECT_EQ(grayLevels(frame.convertToFormat(QImage::Format_RGB32)), expected);
    EXPECT_EQ(grayLevels(frame.convertToFormat(QImage::Format_RGBA8888_Premultiplied)), expected);
    EXPECT_EQ(grayLevels(frame.convertToFormat(QImage::Format_RGB888)), expected);
}

// Frames cut from a document at known positions give back exactly the document's rows from the
// first frame's top to the last frame's bottom, whatever the steps between them.
TEST(ScrollStitcher, StitchesFramesIntoThePageRowForRow)
{
    const QImage page = documentPage(600, 4000, 17);
    struct Case
    {
        const char* name;
        std::vector<int> tops;
        std::vector<Outcome> outcomes;
    };
    const std::vector<Case> cases = {
        {"steady", {0, 90, 180, 270, 360, 450}, {}},
        {"uneven", {0, 1, 138, 139, 400, 437, 700}, {}},
        // Back up: the frame is dropped and the next one is matched against the last kept one.
        {"scroll up", {0, 120, 60, 240}, {Outcome::first, Outcome::appended, Outcome::unmatched, Outcome::appended}},
        {"identical frames", {0, 0, 75, 75, 75, 150},
            {Outcome::first, Outcome::still, Outcome::appended, Outcome::still, Outcome::still, Outcome::appended}},
        // 320 rows is exactly the search's reach for 400-row frames (a fifth kept as margin).
        {"largest step", {0, 320, 640}, {}},
    };
    for (const Case& c : cases) {
        std::vector<QImage> frames;
        for (int top : c.tops)
            frames.push_back(frameOf(page, top, 400));
        const Stitched run = stitch(frames);
        if (!c.outcomes.empty()) {
            EXPECT_EQ(run.outcomes, c.outcomes) << c.name;
        }
        const int bottom = *std::max_element(c.tops.begin(), c.tops.end()) + 400;
        EXPECT_EQ(rowDifference(run.picture, stacked({{page, 0, bottom}})), "") << c.name;
    }
}

TEST(ScrollStitcher, DropsFramesOfAnotherSizeAndKeepsGoing)
{
    const QImage page = documentPage(300, 1500, 4);
    ScrollStitcher stitcher;
    EXPECT_EQ(stitcher.addFrame(frameOf(page, 0, 200)).outcome, Outcome::first);
    // The area moved to a screen of another scale: twice the pixels.
    EXPECT_EQ(stitcher.addFrame(page.copy(0, 50, 300, 200).scaled(600, 400)).outcome, Outcome::wrongSize);
    EXPECT_EQ(stitcher.addFrame(frameOf(page, 50, 150)).outcome, Outcome::wrongSize);
    EXPECT_EQ(stitcher.addFrame(QImage()).outcome, Outcome::unusable);
    EXPECT_EQ(stitcher.height(), 200);
    EXPECT_EQ(stitcher.addFrame(frameOf(page, 100, 200)).outcome, Outcome::appended);
    EXPECT_EQ(stitcher.width(), 300);
    EXPECT_EQ(rowDifference(stitcher.takePicture(), stacked({{page, 0, 300}})), "");
    EXPECT_TRUE(stitcher.empty());
    EXPECT_TRUE(stitcher.takePicture().isNull());
}

TEST(ScrollStitcher, AreasOfTwentyRowsOrFewerKeepTheirFirstFrame)
{
    const QImage page = documentPage(200, 400, 8);
    for (int height : {1, 5, 20}) {
        const Stitched run = stitch(framesAt(page, {30, 33, 40, 41}, height));
        EXPECT_EQ(run.outcomes[0], Outcome::first);
        for (std::size_t i = 1; i < run.outcomes.size(); ++i)
            EXPECT_NE(run.outcomes[i], Outcome::appended) << height;
        EXPECT_EQ(rowDifference(run.picture, stacked({{page, 30, 30 + height}})), "") << height;
    }
}

// The sampled search compares every second row of a short overlap; on 6-row bands that start on
// an even row it cannot tell the true shift from the one a row short.
TEST(ScrollStitcher, BandedContentIsStitchedAtTheExactShift)
{
    const auto grey = bandedPicture(400, 1400, 5, 6, 0);
    const QImage page = greyImage(grey, 400);
    int sampledMisses = 0;
    for (int step : {137, 141, 203, 99}) {
        const int plain = findOffset(rows(grey, 400, 0, 500), rows(grey, 400, step, 500), 400, 500);
        sampledMisses += plain != step;
        const Stitched run = stitch(framesAt(page, {0, step, 2 * step}, 500));
        EXPECT_EQ(run.shifts, (std::vector<int> {0, step, step})) << step;
        EXPECT_EQ(rowDifference(run.picture, stacked({{page, 0, 2 * step + 500}})), "") << step;
    }
    EXPECT_GT(sampledMisses, 0) << "the case no longer shows what the sampled search gets wrong";
}

TEST(ScrollStitcher, FixedHeaderAndFooterAppearOnceAtTheirEnds)
{
    // A line-number column in the middle makes every row of the page unlike every other, so the
    // rows found fixed are the bars and nothing else.
    QImage page = documentPage(500, 3000, 23);
    for (int y = 0; y < page.height(); ++y)
        page.setPixel(250, y, qRgb(y & 255, (y >> 8) & 255, 77));
    const QImage header = bar(500, 60, qRgb(30, 60, 140), 1);
    const QImage footer = bar(500, 48, qRgb(220, 220, 226), 2);
    const QImage none;
    const std::vector<int> tops = {0, 110, 220, 250, 400, 600};
    const int h = 420;
    struct Case
    {
        const char* name;
        const QImage& header;
        const QImage& footer;
    };
    for (const Case& c :
        {Case {"header", header, none}, Case {"footer", none, footer}, Case {"both", header, footer}}) {
        const int headerRows = c.header.isNull() ? 0 : c.header.height();
        const int footerRows = c.footer.isNull() ? 0 : c.footer.height();
        std::vector<QImage> frames;
        for (int top : tops)
            frames.push_back(viewport(page, top, h, c.header, c.footer));
        ScrollStitcher stitcher;
        for (const QImage& frame : frames)
            stitcher.addFrame(frame);
        EXPECT_EQ(stitcher.header(), headerRows) << c.name;
        EXPECT_EQ(stitcher.footer(), footerRows) << c.name;
        // The page behind the header is seen from row 60 on; what lay behind the footer comes
        // into view as the page moves up.
        const int pageBottom = tops.back() + h - footerRows;
        QImage expected;
        if (headerRows && footerRows)
            expected = stacked({{c.header, 0, headerRows}, {page, headerRows, pageBottom}, {c.footer, 0, footerRows}});
        else if (headerRows)
            expected = stacked({{c.header, 0, headerRows}, {page, headerRows, pageBottom}});
        else
            expected = stacked({{page, 0, pageBottom}, {c.footer, 0, footerRows}});
        EXPECT_EQ(stitcher.height(), expected.height()) << c.name;
        EXPECT_EQ(rowDifference(stitcher.takePicture(), expected), "") << c.name;
    }
}

namespace {

// A document's first lines, 40 identical messages, and more lines. With `numbered`, each message
// carries a time stamp of two pixels that a sampled search steps over.
QImage chatPage(int width, bool numbered)
{
    const QImage top = documentPage(width, 160, 31);
    QImage message(width, 48, QImage::Format_RGB32);
    message.fill(qRgb(236, 240, 244));
    for (int y = 8; y < 40; ++y)
        for (int x = 20; x < 300; ++x)
            message.setPixel(x, y, qRgb((x * 13 + y * 7) % 200, 90, 160));
    const QImage bottom = documentPage(width, 400, 32);

    QImage page(width, 160 + 40 * 48 + 400, QImage::Format_RGB32);
    int y = 0;
    for (int row = 0; row < top.height(); ++row, ++y)
        std::memcpy(page.scanLine(y), top.constScanLine(row), std::size_t(page.bytesPerLine()));
    for (int i = 0; i < 40; ++i) {
        for (int row = 0; row < message.height(); ++row, ++y)
            std::memcpy(page.scanLine(y), message.constScanLine(row), std::size_t(page.bytesPerLine()));
        if (numbered) {
            page.setPixel(401 + i % 5, y - 20, qRgb(0, 0, 0));
            page.setPixel(407, y - 19 + i % 3, qRgb(0, 0, 0));
        }
    }
    for (int row = 0; row < bottom.height(); ++row, ++y)
        std::memcpy(page.scanLine(y), bottom.constScanLine(row), std::size_t(page.bytesPerLine()));
    return page;
}

// Draws a scroll bar into the last 14 columns: its thumb moves down as the page moves up.
void drawScrollBar(QImage& frame, int top, int pageHeight)
{
    const int thumbTop = top * frame.height() / pageHeight;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = frame.width() - 14; x < frame.width(); ++x)
            frame.setPixel(x, y, y >= thumbTop && y < thumbTop + 60 ? qRgb(120, 120, 120) : qRgb(240, 240, 240));
}

} // namespace

// A table of identical rows, and chat messages that differ only in a two-pixel detail: each step
// is longer than the period, so shifts a period short look right to a search that does not see
// every row, and would silently drop rows.
TEST(ScrollStitcher, PeriodicContentKeepsEveryRow)
{
    for (bool numbered : {false, true}) {
        const QImage page = chatPage(480, numbered);
        std::vector<QImage> frames;
        int last = 0;
        for (int t = 0; t + 300 <= page.height(); t += 110) {
            frames.push_back(frameOf(page, t, 300));
            last = t;
        }
        const Stitched run = stitch(frames);
        EXPECT_EQ(rowDifference(run.picture, stacked({{page, 0, last + 300}})), "") << numbered;
    }
}

// One strip at the edge may disagree: the thumb of a scroll bar moves as the page moves. Over
// identical messages only rows that agree exactly tell the true shift from one a message short.
TEST(ScrollStitcher, ScrollBarThumbDoesNotStopTheStitch)
{
    const QImage page = chatPage(640, false);
    const int h = 300;
    std::vector<QImage> frames;
    std::vector<int> tops;
    for (int top = 0; top + h <= page.height(); top += 100 + (top / 100) % 3 * 5) {
        QImage frame = frameOf(page, top, h);
        drawScrollBar(frame, top, page.height());
        frames.push_back(frame);
        tops.push_back(top);
    }
    const Stitched run = stitch(frames);
    for (std::size_t i = 1; i < tops.size(); ++i)
        EXPECT_EQ(run.shifts[i], tops[i] - tops[i - 1]) << i;
    EXPECT_EQ(rowDifference(run.picture, stacked({{page, 0, tops.back() + h}}), 14), "");
}

// Blank runs agree with each other under any shift. A step whose overlap holds nothing but
// white proves nothing, even when it is the step nearest the previous one.
TEST(ScrollStitcher, BlankOverlapsProveNothing)
{
    const QImage ink = documentPage(500, 600, 91);
    QImage page(500, 1200, QImage::Format_RGB32);
    page.fill(Qt::white);
    for (const auto& [from, to] : {std::pair {280, 330}, std::pair {550, 600}, std::pair {900, 960}})
        for (int y = from; y < to; ++y)
            std::memcpy(page.scanLine(y), ink.constScanLine(y % 600), std::size_t(page.bytesPerLine()));
    // From 300 to 450 the overlap at a step of 300 to 320 is white in both frames; the true
    // step of 150 has the ink at 550 in common. From 450 to 600 the frames share nothing but
    // white: no step can be told, and none is taken.
    const Stitched run = stitch(framesAt(page, {0, 300, 450, 600}, 400));
    EXPECT_EQ(run.shifts, (std::vector<int> {0, 300, 150, 0}));
    EXPECT_EQ(run.outcomes.back(), Outcome::unmatched);
    EXPECT_EQ(rowDifference(run.picture, stacked({{page, 0, 850}})), "");
}

TEST(ScrollStitcher, ChangesThatAreNotAScrollAddNothing)
{
    const QImage page = documentPage(500, 2000, 51);
    QImage tooltip = frameOf(page, 300, 400);
    for (int y = 180; y < 210; ++y)
        for (int x = 100; x < 260; ++x)
            tooltip.setPixel(x, y, qRgb(255, 255, 200));

    const Stitched hover = stitch({frameOf(page, 300, 400), frameOf(page, 340, 400), tooltip});
    EXPECT_EQ(hover.outcomes[2], Outcome::unmatched);
    EXPECT_EQ(hover.picture.height(), 440);

    // On a faint page every shift differs by little on average, less than a scroll must beat;
    // standing still differs by less still, so the tooltip is no reason to stitch.
    QImage faint = page;
    for (int y = 0; y < faint.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(faint.scanLine(y));
        for (int x = 0; x < faint.width(); ++x)
            line[x] = qRgb(245 + qRed(line[x]) * 10 / 255, 245 + qGreen(line[x]) * 10 / 255, 250);
    }
    QImage faintTooltip = frameOf(faint, 300, 400);
    for (int y = 180; y < 210; ++y)
        for (int x = 100; x < 260; ++x)
            faintTooltip.setPixel(x, y, qRgb(255, 255, 200));
    const Stitched faintHover = stitch({frameOf(faint, 260, 400), frameOf(faint, 300, 400), faintTooltip});
    EXPECT_EQ(faintHover.outcomes[2], Outcome::unmatched);
    EXPECT_EQ(faintHover.picture.height(), 440);
    EXPECT_EQ(rowDifference(faintHover.picture, stacked({{faint, 260, 700}})), "");
    // A caret blinking in a blank spot, the page standing still. (At the edges a strip may change
    // freely: a scroll bar appearing on hover is no change of the page.)
    QImage withCaret = frameOf(page, 340, 400);
    QPoint spot(-1, -1);
    for (int x = 150; x < 350 && spot.x() < 0; x += 3) {
        for (int y = 0; y + 18 < 400 && spot.x() < 0; ++y) {
            bool white = true;
            for (int i = 0; i < 18 && white; ++i)
                white = withCaret.pixel(x, y + i) == qRgb(255, 255, 255);
            if (white)
                spot = QPoint(x, y);
        }
    }
    ASSERT_GE(spot.x(), 0);
    for (int y = spot.y(); y < spot.y() + 18; ++y)
        withCaret.setPixel(spot.x(), y, qRgb(0, 0, 0));
    const Stitched caret
        = stitch({frameOf(page, 300, 400), frameOf(page, 340, 400), withCaret, frameOf(page, 340, 400)});
    EXPECT_EQ(
        caret.outcomes, (std::vector<Outcome> {Outcome::first, Outcome::appended, Outcome::unmatched, Outcome::still}));
    EXPECT_EQ(rowDifference(caret.picture, stacked({{page, 300, 740}})), "");
}

// Content resampled while it scrolls (a page zoomed by a fraction) never agrees exactly; the
// closest fit on every row still finds the shift.
TEST(ScrollStitcher, NearlyEqualRowsStillGiveTheShift)
{
    const QImage page = documentPage(400, 2000, 61);
    QImage moved = frameOf(page, 77, 400);
    QRandomGenerator random(3);
    for (int y = 0; y < moved.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(moved.scanLine(y));
        for (int x = 0; x < moved.width(); x += 3) {
            const int d = random.bounded(3) - 1;
            const int g = std::clamp(qGreen(line[x]) + d, 0, 255);
            line[x] = qRgb(qRed(line[x]), g, qBlue(line[x]));
        }
    }
    const Stitched run = stitch({frameOf(page, 0, 400), moved});
    EXPECT_EQ(run.shifts, (std::vector<int> {0, 77}));
    EXPECT_EQ(run.picture.height(), 477);
    EXPECT_EQ(rowDifference(run.picture.copy(0, 0, 400, 400), frameOf(page, 0, 400)), "");
}

// Before anything is added, a frame that does not follow starts the picture afresh: the first
// grab may have caught the screen before it repainted, or the user backed up first.
TEST(ScrollStitcher, TheNewestFrameStartsThePictureUntilOneFollows)
{
    const QImage page = documentPage(400, 2000, 77);
    QImage unpainted(400, 300, QImage::Format_RGB32);
    unpainted.fill(Qt::black);
    const Stitched run = stitch({unpainted, frameOf(page, 500, 300), frameOf(page, 420, 300), frameOf(page, 500, 300),
        frameOf(page, 300, 300), frameOf(page, 380, 300)});
    EXPECT_EQ(run.outcomes,
        (std::vector<Outcome> {Outcome::first, Outcome::restarted, Outcome::restarted, Outcome::appended,
            Outcome::unmatched, Outcome::unmatched}));
    EXPECT_EQ(rowDifference(run.picture, stacked({{page, 420, 800}})), "");
}

TEST(ScrollStitcher, ReportsTheLimitOnceThePictureIsTallerThan30000Rows)
{
    const QImage page = documentPage(128, 31000, 71);
    ScrollStitcher stitcher;
    int top = 0;
    stitcher.addFrame(frameOf(page, top, 300));
    while (!stitcher.limitReached() && top + 540 <= page.height()) {
        top += 240;
        ASSERT_EQ(stitcher.addFrame(frameOf(page, top, 300)).outcome, Outcome::appended) << top;
        if (stitcher.height() <= ScrollStitcher::heightLimit) {
            EXPECT_FALSE(stitcher.limitReached());
        }
    }
    ASSERT_TRUE(stitcher.limitReached());
    EXPECT_EQ(stitcher.height(), top + 300);
    EXPECT_GE(stitcher.height(), 30001);
    EXPECT_LT(stitcher.height(), 30001 + 240);
    EXPECT_EQ(rowDifference(stitcher.takePicture(), stacked({{page, 0, top + 300}})), "");
}

TEST(ScrollStitcher, HandsBackAFrameForTheNextGrab)
{
    const QImage page = documentPage(200, 800, 5);
    ScrollStitcher stitcher;
    stitcher.addFrame(frameOf(page, 0, 100));
    EXPECT_TRUE(stitcher.takeSpare().isNull());
    stitcher.addFrame(frameOf(page, 30, 100));
    const QImage spare = stitcher.takeSpare();
    EXPECT_EQ(spare.size(), QSize(200, 100));
    EXPECT_TRUE(stitcher.takeSpare().isNull());
}

namespace {

// The search exactly as described: strided samples straight from the frames.
std::optional<FrameMatch> plainSearch(
    const std::vector<std::uint8_t>& prev, const std::vector<std::uint8_t>& cur, int w, int h)
{
    const int c = w >= 160 ? w / 160 : 1;
    bool identical = true;
    for (int y = 0; y < h; y += 8)
        for (int x = 0; x < w; x += 2 * c)
            identical = identical && prev[std::size_t(y) * w + x] == cur[std::size_t(y) * w + x];
    if (identical)
        return std::nullopt;
    const int maxOffset = h - (h < 105 ? 20 : h / 5);
    if (maxOffset < 1)
        return std::nullopt;
    double best = std::numeric_limits<double>::max();
    int bestOffset = 0;
    for (int offset = 1; offset <= maxOffset; ++offset) {
        const int overlap = h - offset;
        const int r = overlap >= 240 ? overlap / 120 : 2;
        long long sum = 0, count = 0;
        for (int y = 0; y < overlap; y += r) {
            for (int x = 0; x < w; x += c) {
                sum += std::abs(int(prev[std::size_t(y + offset) * w + x]) - int(cur[std::size_t(y) * w + x]));
                ++count;
            }
        }
        const double mean = double(sum) / double(std::max(count, 1LL));
        if (mean < best) {
            best = mean;
            bestOffset = offset;
        }
        if (mean == 0 || offset == maxOffset)
            break;
    }
    return FrameMatch {bestOffset, best};
}

} // namespace

// The search packs its sampled columns to go faster; its answers must stay those of the plain
// description, on every size and kind of content, matching or not.
TEST(ScrollStitcher, TheSearchAnswersAsThePlainDescriptionDoes)
{
    QRandomGenerator random(99);
    const QImage page = documentPage(1013, 1800, 5);
    for (int round = 0; round < 60; ++round) {
        const int w = std::array {7, 150, 160, 333, 1013}[round % 5];
        const int h = std::array {15, 21, 100, 104, 105, 260, 500}[round % 7];
        const int from = random.bounded(600);
        const int shift = round % 4 == 0 ? -random.bounded(40) : random.bounded(h);
        std::vector<std::uint8_t> prev, cur;
        if (round % 3 == 0) {
            // Banded noise, where many shifts score alike.
            const auto grey = bandedPicture(w, 1800, quint32(round), 1 + round % 7, round % 5);
            prev = rows(grey, w, from, h);
            cur = rows(grey, w, std::max(0, from + shift), h);
        } else {
            const QImage part = page.copy(0, 0, w, 1800);
            const auto grey = grayLevels(part);
            prev = rows(grey, w, from, h);
            cur = rows(grey, w, std::max(0, from + shift), h);
        }
        const auto fast = bestFrameMatch(prev, cur, w, h);
        const auto plain = plainSearch(prev, cur, w, h);
        ASSERT_EQ(fast.has_value(), plain.has_value()) << round;
        if (fast) {
            EXPECT_EQ(fast->offset, plain->offset) << round;
            EXPECT_DOUBLE_EQ(fast->score, plain->score) << round;
        }
    }
}
