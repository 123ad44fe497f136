// SPDX-License-Identifier: GPL-3.0-or-later
#include "AnnotationRenderer.h"
#include "EditorDocument.h"

#include <QPainter>

#include <gtest/gtest.h>

using namespace vantrel;

namespace {

QImage plainImage(int w, int h, QColor color = Qt::white)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}

// Black and white vertical stripes 2 pixels wide: any blur turns them grey.
QImage stripes(int w, int h)
{
    QImage image = plainImage(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; x += 4) {
            image.setPixelColor(x, y, Qt::black);
            image.setPixelColor(x + 1, y, Qt::black);
        }
    }
    return image;
}

Annotation make(Tool tool, QPointF start, QPointF end, QColor color = Qt::blue, double width = 4)
{
    Annotation a;
    a.kind = AnnotationKind::ofTool(tool);
    a.start = start;
    a.end = end;
    a.color = color;
    a.lineWidth = width;
    return a;
}

int grey(const QImage& image, int x, int y)
{
    return qGray(image.pixel(x, y));
}

bool near(QColor a, QColor b, int tolerance = 3)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
        && std::abs(a.blue() - b.blue()) <= tolerance && std::abs(a.alpha() - b.alpha()) <= tolerance;
}

} // namespace

TEST(Rendering, OutputSizeFollowsCropAndBackground)
{
    EditorDocument doc(plainImage(400, 300), 1.0);
    EXPECT_EQ(doc.render().size(), QSize(400, 300));

    doc.setAnnotations({make(Tool::filledRect, {10, 20}, {14, 24})});
    doc.setCrop(QRectF(10, 20, 100, 50));
    const QImage cropped = doc.render();
    EXPECT_EQ(cropped.size(), QSize(100, 50));
    // The annotation at base (10, 20) lands on output (0, 0).
    EXPECT_EQ(cropped.pixelColor(1, 1), QColor(Qt::blue));
    EXPECT_EQ(cropped.pixelColor(6, 6), QColor(Qt::white));

    doc.setCrop(std::nullopt);
    doc.setAnnotations({});
    BackgroundSettings background;
    background.enabled = true;
    doc.setBackground(background);
    const DocumentLayout layout = doc.layout(false);
    EXPECT_EQ(layout.contentRect, QRectF(64, 64, 400, 300));
    EXPECT_EQ(layout.offset, QPointF(64, 64));
    const QImage framed = doc.render();
    ASSERT_EQ(framed.size(), QSize(528, 428));
    EXPECT_EQ(framed.pixelColor(64 + 200, 64 + 150), QColor(Qt::white));
    EXPECT_NE(framed.pixelColor(20, 20), QColor(Qt::white));
    // The rounded corner cuts the image: its very corner shows the background.
    EXPECT_NE(framed.pixelColor(64, 64), QColor(Qt::white));
    EXPECT_EQ(framed.pixelColor(72, 72), QColor(Qt::white));

    // The crop tool sees the whole base, without crop or background.
    doc.setCrop(QRectF(0, 0, 50, 50));
    EXPECT_EQ(doc.layout(true).canvasSize, QSizeF(400, 300));
}

TEST(Rendering, BackgroundShadowFallsBelowTheImage)
{
    EditorDocument doc(plainImage(400, 300), 1.0);
    BackgroundSettings background;
    background.enabled = true;
    background.presetID = 16; // flat white-grey: darkening shows directly
    background.shadow = 0;
    doc.setBackground(background);
    const QImage flat = doc.render();
    background.shadow = 1;
    doc.setBackground(background);
    const QImage shaded = doc.render();

    const int x = 64 + 200;
    const int below = grey(flat, x, 364 + 8) - grey(shaded, x, 364 + 8);
    const int above = grey(flat, x, 64 - 8) - grey(shaded, x, 64 - 8);
    EXPECT_GT(below, 20);
    EXPECT_GT(below, above);
    // Soft: darkest next to the image, fading towards the canvas edge.
    EXPECT_GT(below, grey(flat, x, 425) - grey(shaded, x, 425));
    // The image itself is not darkened.
    EXPECT_EQ(shaded.pixelColor(x, 200), QColor(Qt::white));
}

TEST(Rendering, ShortArrowsDrawNothingAndHeadsScaleWithTheArrow)
{
    EditorDocument doc(plainImage(200, 200), 1.0);
    doc.setAnnotations({make(Tool::arrow, {100, 100}, {101, 100})});
    EXPECT_EQ(doc.render(), doc.base().convertToFormat(QImage::Format_ARGB32_Premultiplied));

    EXPECT_DOUBLE_EQ(arrowHeadLength(2, 20), 12);
    EXPECT_DOUBLE_EQ(arrowHeadLength(2, 100), 18);
    EXPECT_DOUBLE_EQ(arrowHeadLength(10, 200), 42);

    doc.setAnnotations({make(Tool::arrow, {100, 100}, {120, 100}, Qt::blue, 2)});
    const QImage arrow = doc.render();
    EXPECT_TRUE(near(arrow.pixelColor(116, 100), Qt::blue, 10)); // inside the head
    EXPECT_TRUE(near(arrow.pixelColor(111, 103), Qt::blue, 60)); // near the head's back corner
    EXPECT_EQ(arrow.pixelColor(100, 110), QColor(Qt::white)); // well outside
    // A real soft shadow: just below the head it is darker than white but far from black.
    const int shade = grey(arrow, 116, 103);
    EXPECT_LT(shade, 255);
    EXPECT_GT(shade, 150);

    const QPainterPath head = arrowHeadPath(QPointF(0, 0), 0, 10);
    EXPECT_TRUE(head.contains(QPointF(-2, 0)));
    EXPECT_FALSE(head.contains(QPointF(-8.5, 0))); // the notch at 72 %
    EXPECT_NEAR(head.boundingRect().left(), -10 * std::cos(0.41887902), 1e-6);
}

TEST(Rendering, EveryArrowStyleDrawsItsShaftAndHead)
{
    for (qint64 style : {ArrowStyle::tapered, ArrowStyle::classic, ArrowStyle::doubleHeaded, ArrowStyle::curved, 7LL}) {
        EditorDocument doc(plainImage(300, 200), 1.0);
        Annotation a = make(Tool::arrow, {40, 60}, {240, 60}, Qt::blue, 6);
        a.style = style;
        doc.setAnnotations({a});
        const QImage image = doc.render();
        EXPECT_TRUE(near(image.pixelColor(237, 60), Qt::blue, 40)) << "head, style " << style;
        if (style == ArrowStyle::curved) {
            // Bows downwards for an arrow pointing right: its middle runs about 27 pixels lower.
            int lowest = 0;
            for (int y = 60; y < 120; ++y) {
                if (near(image.pixelColor(137, y), Qt::blue, 40))
                    lowest = y;
            }
            EXPECT_GT(lowest, 80) << "curve";
            EXPECT_GT(grey(image, 137, 60), 200);
        } else {
            EXPECT_TRUE(near(image.pixelColor(140, 60), Qt::blue, 40)) << "shaft, style " << style;
        }
        if (style == ArrowStyle::doubleHeaded) {
            EXPECT_TRUE(near(image.pixelColor(43, 60), Qt::blue, 40)) << "tail head";
        }
    }
}

TEST(Rendering, BlurAndPixelateNeverCoverShapes)
{
    EditorDocument doc(stripes(200, 120), 1.0);
    // The shape comes first in the list, the blur after it: the shape must still show.
    doc.setAnnotations({make(Tool::filledRect, {20, 20}, {40, 40}), make(Tool::blur, {0, 0}, {100, 100}),
        make(Tool::pixelate, {100, 0}, {200, 100}), make(Tool::filledRect, {140, 20}, {160, 40}, Qt::red)});
    const QImage image = doc.render();
    EXPECT_EQ(image.pixelColor(30, 30), QColor(Qt::blue));
    EXPECT_EQ(image.pixelColor(150, 30), QColor(Qt::red));
    // Inside the blur the stripes are grey; outside both effects they are untouched.
    EXPECT_NEAR(grey(image, 60, 60), 128, 12);
    EXPECT_NEAR(grey(image, 61, 60), 128, 12);
    EXPECT_EQ(grey(image, 60, 110), 0);
    EXPECT_EQ(grey(image, 62, 110), 255);
    // Pixelation: whole cells of one colour (10-pixel cells on this small base).
    EXPECT_EQ(image.pixel(110, 60), image.pixel(119, 69));
    EXPECT_EQ(image.pixel(100, 60), image.pixel(103, 60));
}

TEST(Rendering, SpotlightsDimTheRestButNeverShapes)
{
    EditorDocument doc(plainImage(300, 200), 1.0);
    doc.setAnnotations({make(Tool::spotlight, {20, 20}, {120, 120}), make(Tool::spotlight, {80, 20}, {180, 120}),
        make(Tool::filledRect, {250, 150}, {290, 190}, Qt::white), make(Tool::pixelate, {200, 10}, {290, 60})});
    const QImage image = doc.render();
    const int dimmed = qRound(255 * 0.45);
    EXPECT_NEAR(grey(image, 40, 70), 255, 1); // inside one ellipse only
    EXPECT_NEAR(grey(image, 100, 70), dimmed, 2); // inside both: even-odd dims the overlap
    EXPECT_NEAR(grey(image, 5, 190), dimmed, 2); // outside every ellipse
    EXPECT_EQ(image.pixelColor(270, 170), QColor(Qt::white)); // the shape stays bright
    EXPECT_NEAR(grey(image, 240, 30), dimmed, 2); // the pixelated area is dimmed too
}

TEST(Rendering, CounterBadgesGrowWithTheLineWidthAboveFive)
{
    EXPECT_DOUBLE_EQ(counterRadius(1), 16);
    EXPECT_DOUBLE_EQ(counterRadius(5), 16);
    EXPECT_DOUBLE_EQ(counterRadius(6), 19.2);
    EXPECT_DOUBLE_EQ(counterRadius(10), 32);

    for (double width : {5.0, 10.0}) {
        EditorDocument doc(plainImage(200, 200), 1.0);
        Annotation counter = make(Tool::counter, {100, 100}, {100, 100}, Qt::blue, width);
        counter.number = 7;
        doc.setAnnotations({counter});
        const QImage image = doc.render();
        const double r = counterRadius(width);
        EXPECT_TRUE(near(image.pixelColor(100, int(100 + r * 0.7)), Qt::blue, 4)) << width;
        EXPECT_TRUE(near(image.pixelColor(int(100 + r - 1), 100), Qt::white, 40)) << "ring " << width;
        EXPECT_GT(grey(image, int(100 + r + 3), 100), 235) << "outside " << width;
        // The number is drawn in white on blue.
        bool sawDigit = false;
        for (int x = 90; x < 110; ++x)
            sawDigit |= grey(image, x, 100) > 200;
        EXPECT_TRUE(sawDigit) << width;
    }
}

TEST(Rendering, LabelTextContrastsWithItsColour)
{
    Annotation white;
    white.kind = AnnotationKind::ofTool(Tool::text);
    white.style = TextStyle::label;
    white.color = Qt::white;
    EXPECT_EQ(textAttributes(white).foreground, QColor(Qt::black));
    Annotation red = white;
    red.color = systemRed();
    EXPECT_EQ(textAttributes(red).foreground, QColor(Qt::white));
    Annotation outline = red;
    outline.style = TextStyle::outline;
    EXPECT_EQ(textAttributes(outline).strokeColor, QColor(Qt::white));
    EXPECT_EQ(textAttributes(outline).font.weight(), QFont::Bold);
    Annotation plain = red;
    plain.style = TextStyle::plain;
    EXPECT_EQ(textAttributes(plain).font.weight(), QFont::DemiBold);
    EXPECT_FALSE(isLight(QColor()));
    EXPECT_TRUE(isLight(QColor(255, 255, 200)));
    EXPECT_FALSE(isLight(QColor(128, 128, 128)));

    for (const auto& [colour, letters] :
        {std::pair {QColor(Qt::white), QColor(Qt::black)}, std::pair {systemRed(), QColor(Qt::white)}}) {
        EditorDocument doc(plainImage(300, 120, Qt::darkGray), 1.0);
        Annotation label = white;
        label.color = colour;
        label.text = QStringLiteral("HHHH");
        label.fontSize = 40;
        label.start = QPointF(10, 10);
        doc.setAnnotations({label});
        const QImage image = doc.render();
        const QRectF box = textBox(label);
        EXPECT_GT(box.width(), 100);
        // The box is filled with the annotation colour (inside the corner rounding) …
        EXPECT_TRUE(near(image.pixelColor(int(box.left() + 14), int(box.top() + 4)), colour));
        // … and the letters inside it are in the contrast colour.
        int letterPixels = 0;
        for (int x = int(box.left()); x < int(box.right()); ++x) {
            for (int y = int(box.top()); y < int(box.bottom()); ++y)
                letterPixels += near(image.pixelColor(x, y), letters, 10) ? 1 : 0;
        }
        EXPECT_GT(letterPixels, 100);
    }
}

TEST(Rendering, FreehandStrokesAndHighlighter)
{
    Annotation dot = make(Tool::pencil, {50, 50}, {50, 50}, Qt::blue, 8);
    dot.points = {QPointF(50, 50)};
    Annotation highlight = make(Tool::highlighter, {}, {}, QColor(255, 255, 0), 4);
    highlight.points = {QPointF(100, 40), QPointF(140, 40), QPointF(180, 40)};

    QImage base = plainImage(200, 100);
    for (int x = 120; x < 130; ++x) {
        for (int y = 30; y < 50; ++y)
            base.setPixelColor(x, y, Qt::black);
    }
    EditorDocument doc(base, 1.0);
    doc.setAnnotations({dot, highlight});
    const QImage image = doc.render();
    EXPECT_TRUE(near(image.pixelColor(50, 50), Qt::blue, 5)); // a single point is a dot
    // Multiply: yellow over white tints it, black text stays black.
    const QColor tinted = image.pixelColor(110, 40);
    EXPECT_EQ(tinted.red(), 255);
    EXPECT_LT(tinted.blue(), 200);
    EXPECT_EQ(grey(image, 125, 40), 0);
    // Butt caps: nothing past the last point.
    EXPECT_EQ(image.pixelColor(185, 40), QColor(Qt::white));

    const QPainterPath path = smoothPath({QPointF(0, 0), QPointF(10, 0), QPointF(20, 10), QPointF(30, 10)});
    EXPECT_GT(path.elementCount(), 4);
    EXPECT_EQ(path.currentPosition(), QPointF(30, 10));
    EXPECT_TRUE(smoothPath({}).isEmpty());
}

TEST(Rendering, ImagesAndFlattening)
{
    QImage sticker = plainImage(10, 10, Qt::green);
    EditorDocument doc(plainImage(100, 100), 1.0);
    doc.createImageAnnotation(sticker, QPointF(20, 20), QPointF(60, 40));
    doc.setCrop(QRectF(0, 0, 30, 30));
    BackgroundSettings background;
    background.enabled = true;
    doc.setBackground(background);

    // Flattening ignores crop and background.
    const QImage flat = doc.flattenBase(true);
    EXPECT_EQ(flat.size(), QSize(100, 100));
    EXPECT_EQ(flat.pixelColor(50, 30), QColor(Qt::green)); // stretched into its rectangle
    EXPECT_EQ(doc.flattenBase(false).pixelColor(50, 30), QColor(Qt::white));

    Annotation empty;
    empty.kind = AnnotationKind::image();
    empty.end = QPointF(50, 50);
    doc.setAnnotations({empty});
    EXPECT_EQ(doc.flattenBase(true).pixelColor(25, 25), QColor(Qt::white));
}

TEST(Rendering, UnderAndOverAnAnnotationDrawnInTheLastPassMakeTheWhole)
{
    EditorDocument doc(stripes(200, 150), 1.0);
    Annotation highlight = make(Tool::highlighter, {10, 100}, {190, 100}, Qt::yellow, 6);
    highlight.points = {{10, 100}, {100, 110}, {190, 100}};
    Annotation text = make(Tool::text, {20, 20}, {20, 20}, Qt::red);
    text.text = QStringLiteral("over");
    text.style = TextStyle::shadow;
    doc.setAnnotations({make(Tool::blur, {0, 0}, {80, 80}), make(Tool::filledRect, {30, 30}, {120, 90}, Qt::green),
        make(Tool::spotlight, {60, 20}, {180, 140}), highlight, make(Tool::arrow, {20, 140}, {180, 10}, Qt::blue), text,
        make(Tool::counter, {150, 60}, {150, 60}, Qt::magenta)});
    BackgroundSettings background = doc.background();
    background.enabled = true;
    background.padding = 16;
    doc.setBackground(background);

    const QSize size = doc.render().size();
    auto draw = [&](const std::vector<DocumentPart>& parts) {
        QImage image = plainImage(size.width(), size.height(), Qt::transparent);
        QPainter painter(&image);
        for (const DocumentPart& part : parts)
            doc.drawDocument(painter, false, part);
        return image;
    };
    const QImage whole = draw({{}});
    int splits = 0;
    for (std::size_t index = 0; index < doc.annotations().size(); ++index) {
        if (!doc.drawnInLastPass(index))
            continue;
        ++splits;
        EXPECT_EQ(draw({DocumentPart::under(index), DocumentPart::over(index)}), whole) << "split at " << index;
        EXPECT_NE(draw({DocumentPart::under(index)}), whole) << "under " << index << " leaves something out";
    }
    EXPECT_EQ(splits, 5);
    EXPECT_FALSE(doc.drawnInLastPass(0)) << "blur";
    EXPECT_FALSE(doc.drawnInLastPass(2)) << "spotlight";
    EXPECT_FALSE(doc.drawnInLastPass(7)) << "past the end";
}
