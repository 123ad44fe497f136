// SPDX-License-Identifier: GPL-3.0-or-later
#include "EditorDocument.h"

#include <QColor>
#include <QImage>

#include <gtest/gtest.h>

using namespace vantrel;

namespace {

QImage plainImage(int w, int h, QColor color = Qt::white)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}

QUuid addRect(EditorDocument& doc, Tool tool, QPointF start, QPointF end)
{
    doc.setTool(tool);
    const QUuid id = *doc.createAnnotation(tool, start);
    doc.modifyAnnotation(id, [&](Annotation& a) { a.end = end; });
    return id;
}

} // namespace

TEST(EditorDocument, StartsWithTheDocumentedStyleAndNoHistory)
{
    EditorDocument doc(plainImage(400, 300), 2.0);
    EXPECT_TRUE(doc.annotations().empty());
    EXPECT_EQ(doc.tool(), Tool::arrow);
    EXPECT_DOUBLE_EQ(doc.lineWidth(), 6.0);
    EXPECT_DOUBLE_EQ(doc.fontSize(), 36.0);
    EXPECT_EQ(doc.color(), systemRed());
    EXPECT_FALSE(doc.background().enabled);
    EXPECT_DOUBLE_EQ(doc.background().padding, 64);
    EXPECT_DOUBLE_EQ(doc.background().cornerRadius, 12);
    EXPECT_DOUBLE_EQ(doc.background().shadow, 0.5);
    EXPECT_EQ(doc.background().aspect, AspectRatio::automatic);
    EXPECT_FALSE(doc.crop());
    EXPECT_FALSE(doc.selectedID());
    EXPECT_FALSE(doc.dirty());
    EXPECT_EQ(doc.arrowStyle(), 0);
    EXPECT_EQ(doc.textStyle(), 0);
    EXPECT_FALSE(doc.showBackgroundPanel());
    // Setting the widths at creation must not have recorded undo steps.
    EXPECT_TRUE(doc.undoStack().empty());
    ASSERT_TRUE(doc.blurred() && doc.pixelated());
    EXPECT_EQ(doc.blurred()->size(), QSize(400, 300));
    EXPECT_EQ(doc.pixelated()->size(), QSize(400, 300));
}

TEST(EditorDocument, CountersNumberUpwardsAndNeverRenumber)
{
    EditorDocument doc(plainImage(200, 200), 1.0);
    std::vector<QUuid> ids;
    for (int i = 0; i < 3; ++i)
        ids.push_back(*doc.createAnnotation(Tool::counter, QPointF(20 + 40 * i, 50)));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(doc.annotation(ids[i])->number, i + 1);

    doc.setTool(Tool::select);
    doc.setSelectedID(ids[1]);
    doc.deleteSelected();
    EXPECT_EQ(doc.annotations().size(), 2u);
    EXPECT_EQ(doc.nextCounterNumber(), 4);
    EXPECT_EQ(doc.annotation(ids[2])->number, 3);

    doc.removeAnnotation(ids[0]);
    doc.removeAnnotation(ids[2]);
    EXPECT_EQ(doc.nextCounterNumber(), 1);
}

TEST(EditorDocument, CreationTakesTheCurrentStyle)
{
    EditorDocument doc(plainImage(200, 200), 2.0);
    doc.setColor(Qt::blue);
    doc.setArrowStyle(ArrowStyle::curved);
    doc.setTextStyle(TextStyle::label);
    const QUuid arrow = *doc.createAnnotation(Tool::arrow, QPointF(10, 10));
    EXPECT_EQ(doc.annotation(arrow)->style, ArrowStyle::curved);
    EXPECT_EQ(doc.annotation(arrow)->color, QColor(Qt::blue));
    EXPECT_DOUBLE_EQ(doc.annotation(arrow)->lineWidth, 6);

    const QUuid text = *doc.createAnnotation(Tool::text, QPointF(50, 100));
    const Annotation* t = doc.annotation(text);
    EXPECT_EQ(t->start, QPointF(50, 100 - 0.6 * 36));
    EXPECT_EQ(t->end, QPointF(50, 100));
    EXPECT_EQ(t->style, TextStyle::label);
    EXPECT_DOUBLE_EQ(t->lineWidth, 6); // the record default, not the document's width

    const QUuid pencil = *doc.createAnnotation(Tool::pencil, QPointF(5, 6));
    EXPECT_EQ(doc.annotation(pencil)->points, std::vector<QPointF>({QPointF(5, 6)}));

    EXPECT_FALSE(doc.createAnnotation(Tool::select, QPointF(1, 1)));
    EXPECT_FALSE(doc.createAnnotation(Tool::crop, QPointF(1, 1)));
    // Each creation is one undo step, appended on top.
    EXPECT_EQ(doc.undoStack().size(), 3u);
    EXPECT_EQ(doc.annotations().back().id, pencil);
}

TEST(EditorDocument, RotationSwapsTheSidesAndFlipKeepsThem)
{
    QImage base = plainImage(300, 200);
    base.setPixelColor(0, 0, Qt::red);
    EditorDocument doc(base, 1.0);
    addRect(doc, Tool::rectangle, QPointF(10, 10), QPointF(50, 50));

    doc.transform(90, false, false);
    EXPECT_EQ(doc.base().size(), QSize(200, 300));
    EXPECT_TRUE(doc.annotations().empty());
    EXPECT_FALSE(doc.crop());
    // Positive degrees turn clockwise: the top-left pixel goes to the top-right.
    EXPECT_EQ(doc.base().pixelColor(199, 0), QColor(Qt::red));
    ASSERT_TRUE(doc.blurred());
    EXPECT_EQ(doc.blurred()->size(), QSize(200, 300));

    doc.transform(-90, false, false);
    EXPECT_EQ(doc.base().size(), QSize(300, 200));
    EXPECT_EQ(doc.base().pixelColor(0, 0), QColor(Qt::red));

    doc.transform(0, true, false);
    EXPECT_EQ(doc.base().size(), QSize(300, 200));
    EXPECT_EQ(doc.base().pixelColor(299, 0), QColor(Qt::red));
    doc.transform(0, false, true);
    EXPECT_EQ(doc.base().pixelColor(299, 199), QColor(Qt::red));

    // The rectangle was baked into the pixels; undoing everything brings it back as an object.
    while (!doc.undoStack().empty())
        doc.undo();
    EXPECT_EQ(doc.annotations().size(), 0u);
    doc.redo();
    EXPECT_EQ(doc.annotations().size(), 1u);
    EXPECT_EQ(doc.base().size(), QSize(300, 200));
}

TEST(EditorDocument, UndoAndRedoRoundTrip)
{
    EditorDocument doc(plainImage(100, 100), 1.0);
    doc.pushUndo();
    Annotation a;
    a.kind = AnnotationKind::ofTool(Tool::line);
    a.end = QPointF(50, 50);
    doc.setAnnotations({a});

    doc.undo();
    EXPECT_TRUE(doc.annotations().empty());
    EXPECT_EQ(doc.redoStack().size(), 1u);
    EXPECT_TRUE(doc.dirty());
    doc.redo();
    ASSERT_EQ(doc.annotations().size(), 1u);
    EXPECT_EQ(doc.annotations().front(), a);
    EXPECT_TRUE(doc.redoStack().empty());

    // Empty stacks do nothing.
    EditorDocument fresh(plainImage(10, 10), 1.0);
    fresh.undo();
    fresh.redo();
    EXPECT_FALSE(fresh.dirty());
}

TEST(EditorDocument, UndoKeepsTwoHundredLevelsAndPushClearsRedo)
{
    EditorDocument doc(plainImage(50, 50), 1.0);
    // Each snapshot is told apart by the padding it holds.
    for (int i = 0; i < 201; ++i) {
        BackgroundSettings settings = doc.background();
        settings.padding = i;
        doc.setBackground(settings);
        doc.pushUndo();
    }
    ASSERT_EQ(doc.undoStack().size(), 200u);
    EXPECT_DOUBLE_EQ(doc.undoStack().front().background.padding, 1); // snapshot 0 was dropped
    EXPECT_DOUBLE_EQ(doc.undoStack().back().background.padding, 200);

    doc.undo();
    doc.undo();
    EXPECT_EQ(doc.redoStack().size(), 2u);
    doc.pushUndo();
    EXPECT_TRUE(doc.redoStack().empty());
    EXPECT_LE(doc.undoStack().size(), 200u);
}

TEST(EditorDocument, SnapshotsShareTheBaseAndUndoKeepsTheEffectLayers)
{
    EditorDocument doc(plainImage(120, 80), 1.0);
    const qint64 blurKey = doc.blurred()->cacheKey();
    doc.pushUndo();
    EXPECT_EQ(doc.undoStack().back().base.cacheKey(), doc.base().cacheKey());
    EXPECT_EQ(doc.undoStack().back().base.constBits(), doc.base().constBits());
    doc.createAnnotation(Tool::rectangle, QPointF(5, 5));
    doc.undo();
    // Same base object: the effects were not recomputed.
    EXPECT_EQ(doc.blurred()->cacheKey(), blurKey);

    doc.transform(90, false, false);
    const qint64 rotatedBlur = doc.blurred()->cacheKey();
    EXPECT_NE(rotatedBlur, blurKey);
    doc.undo();
    EXPECT_EQ(doc.base().size(), QSize(120, 80));
    EXPECT_EQ(doc.blurred()->size(), QSize(120, 80));
}

TEST(EditorDocument, StyleChangesRestyleOnlyTheSelection)
{
    EditorDocument doc(plainImage(200, 200), 1.0);
    // Nothing selected: only the style for new annotations changes, no undo.
    doc.setColor(Qt::green);
    EXPECT_EQ(doc.color(), QColor(Qt::green));
    EXPECT_TRUE(doc.undoStack().empty());

    const QUuid rect = addRect(doc, Tool::rectangle, QPointF(10, 10), QPointF(60, 60));
    doc.setTool(Tool::select);
    doc.setSelectedID(rect);
    const Annotation before = *doc.annotation(rect);
    const std::size_t steps = doc.undoStack().size();

    doc.setArrowStyle(ArrowStyle::doubleHeaded);
    EXPECT_EQ(doc.undoStack().size(), steps + 1);
    EXPECT_EQ(*doc.annotation(rect), before);

    doc.setColor(Qt::blue);
    EXPECT_EQ(doc.annotation(rect)->color, QColor(Qt::blue));
    doc.setLineWidth(11);
    EXPECT_DOUBLE_EQ(doc.annotation(rect)->lineWidth, 11);
    doc.setFontSize(99);
    EXPECT_DOUBLE_EQ(doc.annotation(rect)->fontSize, before.fontSize);
    EXPECT_EQ(doc.undoStack().size(), steps + 4);

    // Choosing a drawing tool drops the selection.
    doc.setTool(Tool::pencil);
    EXPECT_FALSE(doc.selectedID());
}

TEST(EditorDocument, ApplySelectionStyleCopiesWithoutRecordingUndo)
{
    EditorDocument doc(plainImage(200, 200), 1.0);
    doc.setColor(Qt::magenta);
    doc.setTextStyle(TextStyle::outline);
    doc.setFontSize(50);
    const QUuid text = *doc.createAnnotation(Tool::text, QPointF(20, 80));
    doc.setColor(Qt::black);
    doc.setTextStyle(TextStyle::plain);
    doc.setFontSize(10);
    doc.setTool(Tool::select);
    doc.setSelectedID(text);
    const std::size_t steps = doc.undoStack().size();

    doc.applySelectionStyle();
    EXPECT_EQ(doc.color(), QColor(Qt::magenta));
    EXPECT_EQ(doc.textStyle(), TextStyle::outline);
    EXPECT_DOUBLE_EQ(doc.fontSize(), 50);
    EXPECT_EQ(doc.undoStack().size(), steps);
    EXPECT_FALSE(doc.applyingSelection());
}

TEST(EditorDocument, ResizeScalesTheWholeImage)
{
    EditorDocument doc(plainImage(301, 200), 2.0);
    addRect(doc, Tool::filledRect, QPointF(0, 0), QPointF(301, 100));
    doc.resize(doc.base().width() / 2);
    EXPECT_EQ(doc.base().size(), QSize(150, 100)); // round(150 / 301 × 200) = 100
    EXPECT_TRUE(doc.annotations().empty());
    // The filled rectangle is in the pixels now: its top half is red.
    EXPECT_EQ(doc.base().pixelColor(75, 20), systemRed());

    doc.resize(static_cast<int>(doc.base().width() / doc.scale()));
    EXPECT_EQ(doc.base().size(), QSize(75, 50));
    const std::size_t steps = doc.undoStack().size();
    doc.resize(0);
    doc.resize(-5);
    EXPECT_EQ(doc.undoStack().size(), steps);
}

TEST(EditorDocument, HitTestsFollowTheShape)
{
    Annotation outline;
    outline.kind = AnnotationKind::ofTool(Tool::rectangle);
    outline.start = QPointF(0, 0);
    outline.end = QPointF(100, 100);
    outline.lineWidth = 4;
    Annotation filled = outline;
    filled.kind = AnnotationKind::ofTool(Tool::filledRect);
    Annotation ellipse = outline;
    ellipse.kind = AnnotationKind::ofTool(Tool::ellipse);
    Annotation tiny = outline;
    tiny.end = QPointF(10, 10); // too small to have an inside: hit everywhere
    Annotation line;
    line.kind = AnnotationKind::ofTool(Tool::line);
    line.end = QPointF(100, 0);
    line.lineWidth = 2;
    Annotation dot;
    dot.kind = AnnotationKind::ofTool(Tool::pencil);
    dot.points = {QPointF(5, 5)};
    Annotation stroke = dot;
    stroke.points = {QPointF(0, 0), QPointF(50, 0), QPointF(50, 50)};
    stroke.lineWidth = 2;

    struct Case
    {
        const char* what;
        const Annotation& annotation;
        QPointF point;
        bool hit;
    };
    const Case cases[] = {
        {"outline centre", outline, {50, 50}, false},
        {"outline edge", outline, {0, 50}, true},
        {"outline just outside", outline, {-3, 50}, true},
        {"outline far outside", outline, {-6, 50}, false},
        {"filled centre", filled, {50, 50}, true},
        {"ellipse centre", ellipse, {50, 50}, false},
        {"tiny outline centre", tiny, {5, 5}, true},
        {"line near", line, {50, 3}, true},
        {"line far", line, {50, 5}, false},
        {"line past the end", line, {103, 0}, true},
        {"single pencil point", dot, {5, 5}, false},
        {"stroke corner", stroke, {50, 25}, true},
        {"stroke inside the bend", stroke, {25, 25}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(hitTest(c.annotation, c.point, 4), c.hit) << c.what;
}

TEST(EditorDocument, BoundsGrowByTheStroke)
{
    Annotation arrow;
    arrow.kind = AnnotationKind::ofTool(Tool::arrow);
    arrow.start = QPointF(10, 10);
    arrow.end = QPointF(50, 30);
    arrow.lineWidth = 3;
    EXPECT_EQ(bounds(arrow), QRectF(4, 4, 52, 32));

    Annotation counter;
    counter.kind = AnnotationKind::ofTool(Tool::counter);
    counter.start = QPointF(100, 100);
    counter.lineWidth = 5;
    EXPECT_EQ(bounds(counter), QRectF(84, 84, 32, 32));
    counter.lineWidth = 10;
    EXPECT_EQ(bounds(counter), QRectF(68, 68, 64, 64));

    Annotation highlighter;
    highlighter.kind = AnnotationKind::ofTool(Tool::highlighter);
    highlighter.points = {QPointF(0, 0), QPointF(10, 0)};
    highlighter.lineWidth = 2;
    EXPECT_EQ(bounds(highlighter), QRectF(-5, -5, 20, 10));

    translate(highlighter, QPointF(1, 2));
    EXPECT_EQ(highlighter.points[1], QPointF(11, 2));
    EXPECT_EQ(highlighter.start, QPointF(1, 2));
}

TEST(EditorDocument, AutoBalancePadsByTheContentsLongerSide)
{
    EditorDocument doc(plainImage(1000, 400), 1.0);
    doc.autoBalanceBackground();
    EXPECT_TRUE(doc.background().enabled);
    EXPECT_DOUBLE_EQ(doc.background().padding, 80);
    EXPECT_EQ(doc.undoStack().size(), 1u);

    doc.setCrop(QRectF(10.2, 10.7, 99.5, 50.1));
    EXPECT_EQ(*doc.crop(), QRectF(10, 10, 100, 51)); // outward to whole pixels
    doc.autoBalanceBackground();
    EXPECT_DOUBLE_EQ(doc.background().padding, 8);
}

TEST(EditorDocument, ChangesAreSignalled)
{
    EditorDocument doc(plainImage(50, 50), 1.0);
    int changes = 0;
    int tools = 0;
    QObject::connect(&doc, &EditorDocument::changed, [&] { ++changes; });
    QObject::connect(&doc, &EditorDocument::toolChanged, [&] { ++tools; });
    doc.setTool(Tool::text);
    doc.setTool(Tool::text);
    EXPECT_EQ(tools, 1);
    doc.createAnnotation(Tool::rectangle, QPointF(1, 1));
    EXPECT_GE(changes, 3); // tool, dirty, annotations
}
