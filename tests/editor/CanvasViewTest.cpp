// SPDX-License-Identifier: GPL-3.0-or-later
// The canvas under simulated mouse and keys: drawing, moving, handles, crop, text, drops, keys.
#include "CanvasView.h"

#include "EditorDocument.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

using namespace vantrel;

namespace {

QImage plainImage(int w, int h, QColor color = Qt::white)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}

// A 400 × 300 base at scale 1 in a 600 × 400 view is shown at actual size with its top-left
// at view (100, 50), so document points map to whole view points.
class Canvas : public ::testing::Test
{
protected:
    std::unique_ptr<EditorDocument> doc;
    std::unique_ptr<CanvasView> canvas;

    void SetUp() override { make(plainImage(400, 300), 1.0); }

    void make(QImage base, double scale, QSize view = QSize(600, 400))
    {
        canvas.reset();
        doc = std::make_unique<EditorDocument>(std::move(base), scale);
        canvas = std::make_unique<CanvasView>(doc.get());
        canvas->resize(view);
        canvas->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(canvas.get()));
        canvas->activateWindow();
        canvas->setFocus();
    }

    QPoint view(QPointF document) const { return canvas->geometryNow().toView(document).toPoint(); }

    void press(QPointF at, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mousePress(canvas.get(), Qt::LeftButton, modifiers, view(at));
    }
    // Moves with the left button held; QTest's moves carry no modifiers, so this sends its own.
    void move(QPointF to, Qt::KeyboardModifiers modifiers = {})
    {
        const QPointF v = canvas->geometryNow().toView(to);
        QMouseEvent event(QEvent::MouseMove, v, canvas->mapToGlobal(v), Qt::NoButton, Qt::LeftButton, modifiers);
        QApplication::sendEvent(canvas.get(), &event);
    }
    void release(QPointF at) { QTest::mouseRelease(canvas.get(), Qt::LeftButton, {}, view(at)); }
    void drag(QPointF from, QPointF to, Qt::KeyboardModifiers modifiers = {}, int steps = 4)
    {
        press(from, modifiers);
        for (int i = 1; i <= steps; ++i)
            move(from + (to - from) * (double(i) / steps), modifiers);
        release(to);
    }
    void key(Qt::Key k, Qt::KeyboardModifiers modifiers = {}) { QTest::keyClick(canvas.get(), k, modifiers); }

    const Annotation& only() const
    {
        EXPECT_EQ(doc->annotations().size(), 1u);
        return doc->annotations().front();
    }
    QUuid add(Tool tool, QPointF start, QPointF end)
    {
        const QUuid id = *doc->createAnnotation(tool, start);
        doc->modifyAnnotation(id, [&](Annotation& a) { a.end = end; });
        return id;
    }
};

void expectNear(QPointF actual, QPointF expected, double tolerance = 1e-6)
{
    EXPECT_NEAR(actual.x(), expected.x(), tolerance);
    EXPECT_NEAR(actual.y(), expected.y(), tolerance);
}

} // namespace

// --- view transform ------------------------------------------------------------------------

TEST(CanvasGeometryTest, FitsWithMarginsButNeverEnlargesAndZoomIsAFractionOfActualSize)
{
    struct Case
    {
        const char* name;
        QSizeF canvas;
        double scale;
        double zoom;
        QSizeF view;
        double s;
        QPointF origin;
    };
    const Case cases[] = {
        // A small capture is shown at actual size, not blown up to fill the view.
        {"small at scale 1", {200, 100}, 1, 0, {800, 600}, 1.0, {300, 250}},
        {"small at scale 2", {200, 100}, 2, 0, {800, 600}, 0.5, {350, 275}},
        // A large one is fitted with 20 points on each side, by its tighter dimension.
        {"wide", {3840, 1000}, 1, 0, {800, 600}, 760.0 / 3840, {20, std::round((600 - 1000 * 760.0 / 3840) / 2)}},
        {"tall", {1000, 3000}, 1, 0, {800, 600}, 560.0 / 3000, {std::round((800 - 1000 * 560.0 / 3000) / 2), 20}},
        // Zoom 1.25 of a scale-2 capture: 0.625 points per pixel, centred even when larger.
        {"zoomed", {2000, 1000}, 2, 1.25, {800, 600}, 0.625, {-225, -13}},
        // A view smaller than its margins must not flip the picture.
        {"tiny view", {100, 100}, 1, 0, {30, 30}, 0.01, {15, 15}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DocumentLayout layout {c.canvas, QPointF(0, 0), QRectF(QPointF(0, 0), c.canvas)};
        const CanvasGeometry g = canvasGeometry(layout, c.view, c.zoom, c.scale);
        EXPECT_NEAR(g.s, c.s, 1e-9);
        expectNear(g.origin, c.origin);
        expectNear(g.toDocument(g.toView(QPointF(13, 7))), QPointF(13, 7), 1e-9);
    }
}

TEST(CanvasGeometryTest, ShiftConstraintSnapsLinesTo45DegreesAndMakesSquares)
{
    const AnnotationKind line = AnnotationKind::ofTool(Tool::line);
    const AnnotationKind rect = AnnotationKind::ofTool(Tool::rectangle);
    expectNear(constrain(line, {0, 0}, {100, 10}), {std::hypot(100, 10), 0});
    expectNear(constrain(line, {0, 0}, {100, 90}), QPointF(1, 1) * (std::hypot(100, 90) / std::sqrt(2.0)));
    expectNear(constrain(line, {10, 10}, {12, -90}), {10, 10 - std::hypot(2, 100)});
    expectNear(constrain(AnnotationKind::ofTool(Tool::arrow), {0, 0}, {-50, 48}),
        QPointF(-1, 1) * (std::hypot(50, 48) / std::sqrt(2.0)));
    expectNear(constrain(rect, {10, 10}, {40, 20}), {40, 40});
    expectNear(constrain(rect, {10, 10}, {-20, 15}), {-20, 40});
    expectNear(constrain(rect, {10, 10}, {10, -5}), {25, -5}); // a zero component counts as positive
}

TEST_F(Canvas, ShowsTheDocumentAtActualSizeWithTheCheckerboardAround)
{
    make(plainImage(200, 100, Qt::blue), 2.0, QSize(600, 400));
    // Scale 2: 200 × 100 pixels are 100 × 50 points, centred.
    const CanvasGeometry g = canvas->geometryNow();
    EXPECT_DOUBLE_EQ(g.s, 0.5);
    EXPECT_EQ(g.imageRect(), QRectF(250, 175, 100, 50));
    const QImage shown = canvas->grab().toImage();
    EXPECT_EQ(QColor(shown.pixel(300, 200)), QColor(Qt::blue));
    EXPECT_NE(QColor(shown.pixel(240, 200)), QColor(Qt::blue));
}

// --- drawing -------------------------------------------------------------------------------

TEST_F(Canvas, AClickWithAShapeToolCreatesNothingAndLeavesNoUndoStep)
{
    for (Tool tool : {Tool::rectangle, Tool::filledRect, Tool::ellipse, Tool::line, Tool::arrow, Tool::blur,
             Tool::pixelate, Tool::spotlight}) {
        SCOPED_TRACE(rawValue(tool).toStdString());
        doc->setTool(tool);
        drag({100, 100}, {102, 101}, {}, 2); // under 3 pixels: a click
        EXPECT_TRUE(doc->annotations().empty());
        EXPECT_TRUE(doc->undoStack().empty());
        EXPECT_FALSE(doc->dirty());
    }
    doc->setTool(Tool::rectangle);
    drag({100, 100}, {103, 100}, {}, 2);
    EXPECT_EQ(doc->annotations().size(), 1u);
    EXPECT_EQ(doc->undoStack().size(), 1u);
}

TEST_F(Canvas, DraggingAShapeSpansItAndIsOneUndoStep)
{
    doc->setTool(Tool::ellipse);
    drag({50, 60}, {150, 120}, {}, 8);
    const Annotation& a = only();
    EXPECT_TRUE(a.is(Tool::ellipse));
    expectNear(a.start, {50, 60});
    expectNear(a.end, {150, 120});
    EXPECT_DOUBLE_EQ(a.lineWidth, doc->lineWidth());
    EXPECT_EQ(doc->undoStack().size(), 1u);
    doc->undo();
    EXPECT_TRUE(doc->annotations().empty());
}

TEST_F(Canvas, PencilRecordsPointsOnlyPastOneAndAHalfPixels)
{
    doc->setTool(Tool::pencil);
    drag({100, 100}, {100, 100}, {}, 3);
    EXPECT_TRUE(doc->annotations().empty()) << "a click without movement leaves no stroke";

    press({100, 100});
    move({101, 100}); // 1 pixel: not recorded
    move({101, 101}); // still within 1.5 of the first point
    move({102, 100}); // 2 pixels from the first: recorded
    move({103, 100}); // 1 from the last: not recorded
    move({104, 100});
    release({104, 100});
    ASSERT_EQ(doc->annotations().size(), 1u);
    const std::vector<QPointF>& points = only().points;
    ASSERT_EQ(points.size(), 3u);
    expectNear(points[0], {100, 100});
    expectNear(points[1], {102, 100});
    expectNear(points[2], {104, 100});
}

TEST_F(Canvas, ShiftKeepsFreehandStraightAlongTheLargerMovement)
{
    doc->setTool(Tool::highlighter);
    drag({100, 100}, {160, 120}, Qt::ShiftModifier, 6);
    const std::vector<QPointF>& points = only().points;
    ASSERT_EQ(points.size(), 2u);
    expectNear(points[0], {100, 100});
    expectNear(points[1], {160, 100});
}

TEST_F(Canvas, ShiftSnapsLinesAndSquaresShapes)
{
    doc->setTool(Tool::line);
    drag({100, 100}, {200, 190}, Qt::ShiftModifier);
    const double length = std::hypot(100, 90) / std::sqrt(2.0);
    expectNear(doc->annotations().back().end, QPointF(100, 100) + QPointF(length, length));

    doc->setTool(Tool::rectangle);
    drag({100, 100}, {160, 120}, Qt::ShiftModifier);
    const QRectF r = doc->annotations().back().normRect();
    EXPECT_DOUBLE_EQ(r.width(), 60);
    EXPECT_DOUBLE_EQ(r.height(), 60);
}

TEST_F(Canvas, CounterIsPlacedAtOnceAndCanBeDraggedIntoPlace)
{
    doc->setTool(Tool::counter);
    drag({50, 50}, {80, 70});
    const Annotation& a = only();
    EXPECT_EQ(a.number, 1);
    expectNear(a.start, {80, 70});
    press({200, 200});
    release({200, 200});
    EXPECT_EQ(doc->annotations().back().number, 2);
    EXPECT_EQ(doc->undoStack().size(), 2u);
}

// --- selecting, moving, handles ------------------------------------------------------------

TEST_F(Canvas, SelectClickSelectsAndDragsMoveAsOneStepButAClickIsNoEdit)
{
    const QUuid id = add(Tool::filledRect, {100, 100}, {200, 150});
    const std::size_t steps = doc->undoStack().size();
    doc->setDirty(false);
    doc->setTool(Tool::select);
    press({150, 120});
    release({150, 120});
    EXPECT_EQ(doc->selectedID(), id);
    EXPECT_EQ(doc->undoStack().size(), steps) << "selecting changes nothing";
    EXPECT_FALSE(doc->dirty());

    drag({150, 120}, {170, 100});
    expectNear(only().start, {120, 80});
    EXPECT_EQ(doc->undoStack().size(), steps + 1);
    EXPECT_TRUE(doc->dirty());

    press({390, 290}); // empty canvas: the selection goes
    release({390, 290});
    EXPECT_FALSE(doc->selectedID());
}

TEST_F(Canvas, CtrlMovesAnAnnotationWithoutLeavingTheTool)
{
    add(Tool::filledRect, {100, 100}, {200, 150});
    doc->setTool(Tool::ellipse);
    drag({150, 120}, {160, 130}, Qt::ControlModifier);
    ASSERT_EQ(doc->annotations().size(), 1u) << "nothing new was drawn";
    expectNear(only().start, {110, 110});
    EXPECT_EQ(doc->tool(), Tool::ellipse);
}

TEST_F(Canvas, DraggingACornerPastTheOppositeCornerFlipsTheShape)
{
    const QUuid id = add(Tool::rectangle, {100, 100}, {200, 160});
    doc->setTool(Tool::select);
    doc->setSelectedID(id);
    // Handle 2 is the bottom-right corner; drag it far beyond the top-left one.
    press({200, 160});
    for (QPointF p : {QPointF(150, 130), QPointF(90, 90), QPointF(60, 70), QPointF(40, 50)})
        move(p);
    release({40, 50});
    EXPECT_EQ(only().normRect(), QRectF(QPointF(40, 50), QPointF(100, 100)));
    EXPECT_EQ(doc->undoStack().size(), 2u); // the creation and the whole handle drag
}

TEST_F(Canvas, LineHandlesMoveTheirOwnEnd)
{
    const QUuid id = add(Tool::arrow, {100, 100}, {200, 100});
    doc->setTool(Tool::select);
    doc->setSelectedID(id);
    drag({100, 100}, {120, 150});
    expectNear(only().start, {120, 150});
    expectNear(only().end, {200, 100});
}

TEST_F(Canvas, ResizingAnImageKeepsItsAspectFromTheHorizontalMovement)
{
    const QUuid id = doc->createImageAnnotation(plainImage(40, 20, Qt::green), {100, 100}, {200, 150});
    doc->setTool(Tool::select);
    doc->setSelectedID(id);
    // Bottom-right handle to the right and only slightly down: height follows the width.
    drag({200, 150}, {300, 160});
    EXPECT_EQ(only().normRect(), QRectF(100, 100, 200, 100));
    // Past the anchor to the upper left: still 2:1, mirrored through the anchor.
    drag({300, 200}, {40, 60}, {}, 6);
    EXPECT_EQ(only().normRect(), QRectF(40, 70, 60, 30));
}

// --- crop ----------------------------------------------------------------------------------

TEST_F(Canvas, ASmallCropIsDiscardedAndACropNeverLeavesTheBase)
{
    doc->setTool(Tool::crop);
    drag({100, 100}, {103, 150});
    EXPECT_FALSE(doc->crop()) << "3 pixels wide";
    EXPECT_TRUE(doc->undoStack().empty());

    // Dragged beyond the picture, started beside it: clamped to the base.
    drag({-30, -20}, {500, 120});
    ASSERT_TRUE(doc->crop());
    EXPECT_EQ(*doc->crop(), QRectF(0, 0, 400, 120));

    // Moving the crop stops at the edges.
    drag({200, 60}, {400, 400});
    EXPECT_EQ(*doc->crop(), QRectF(0, 180, 400, 120));

    drag({50, 20}, {150.4, 80.6});
    EXPECT_EQ(*doc->crop(), QRectF(50, 20, 101, 61)) << "outward to whole pixels";
}

TEST_F(Canvas, EscapeAndReturnLeaveTheCropToolKeepingTheCrop)
{
    doc->setTool(Tool::crop);
    drag({10, 10}, {110, 60});
    key(Qt::Key_Escape);
    EXPECT_EQ(doc->tool(), Tool::select);
    EXPECT_EQ(*doc->crop(), QRectF(10, 10, 100, 50));
    doc->setTool(Tool::crop);
    key(Qt::Key_Return);
    EXPECT_EQ(doc->tool(), Tool::select);
}

TEST_F(Canvas, TheCropOverlayDimsOutsideAndLabelsTheSize)
{
    doc->setTool(Tool::crop);
    drag({100, 100}, {300, 200});
    const QImage shown = canvas->grab().toImage();
    const QColor inside = shown.pixelColor(view({250, 180}));
    const QColor outside = shown.pixelColor(view({350, 250}));
    EXPECT_EQ(inside, QColor(Qt::white));
    EXPECT_LT(outside.lightness(), 150) << "half-black over white";
    // The label sits 4 points into the crop's top-left corner on black.
    EXPECT_LT(shown.pixelColor(view({100, 100}) + QPoint(5, 6)).lightness(), 120);
}

// --- text ----------------------------------------------------------------------------------

TEST_F(Canvas, TextToolTypesATextThatEmptyLeavesNothing)
{
    doc->setTool(Tool::text);
    press({50, 100});
    release({50, 100});
    ASSERT_TRUE(canvas->textField());
    QTest::keyClicks(canvas->textField(), QStringLiteral("Hello"));
    QTest::keyClick(canvas->textField(), Qt::Key_Return);
    EXPECT_FALSE(canvas->textField());
    EXPECT_EQ(only().text, QStringLiteral("Hello"));
    EXPECT_EQ(doc->selectedID(), only().id);

    // A click that types nothing (spaces only) leaves neither a text nor an undo step.
    const std::size_t steps = doc->undoStack().size();
    press({50, 250});
    release({50, 250});
    QTest::keyClicks(canvas->textField(), QStringLiteral("   "));
    QTest::keyClick(canvas->textField(), Qt::Key_Escape);
    EXPECT_EQ(doc->annotations().size(), 1u);
    EXPECT_EQ(doc->undoStack().size(), steps);
}

TEST_F(Canvas, DoubleClickEditsTextEscapeKeepsItAndEmptyingRemovesIt)
{
    doc->setTool(Tool::text);
    const QUuid id = *doc->createAnnotation(Tool::text, {100, 100});
    doc->modifyAnnotation(id, [](Annotation& a) { a.text = QStringLiteral("Note"); });
    doc->setTool(Tool::select);
    const QPointF inside = bounds(only()).center();

    QTest::mouseDClick(canvas.get(), Qt::LeftButton, {}, view(inside));
    ASSERT_TRUE(canvas->textField());
    EXPECT_EQ(canvas->textField()->text(), QStringLiteral("Note"));
    EXPECT_TRUE(only().text.isEmpty()) << "not drawn twice while edited";
    EXPECT_FALSE(doc->selectedID());
    QTest::keyClicks(canvas->textField(), QStringLiteral("s!"));
    QTest::keyClick(canvas->textField(), Qt::Key_Escape);
    EXPECT_FALSE(canvas->textField());
    EXPECT_EQ(only().text, QStringLiteral("Notes!"));
    EXPECT_EQ(doc->selectedID(), id);

    QTest::mouseDClick(canvas.get(), Qt::LeftButton, {}, view(bounds(only()).center()));
    ASSERT_TRUE(canvas->textField());
    canvas->textField()->clear();
    canvas->endTextEditing();
    EXPECT_TRUE(doc->annotations().empty());
}

TEST_F(Canvas, TheTextFieldStartsAtTheTextAndGrowsWithIt)
{
    doc->setTool(Tool::text);
    press({50, 100});
    release({50, 100});
    QLineEdit* field = canvas->textField();
    ASSERT_TRUE(field);
    const QPoint topLeft = view(only().start);
    EXPECT_EQ(field->pos(), topLeft);
    EXPECT_EQ(field->width(), 200);
    EXPECT_EQ(field->height(), int(std::max(doc->fontSize() * 1.35, 22.0)));
    QTest::keyClicks(field, QStringLiteral("A rather long sentence typed into the field"));
    EXPECT_GT(field->width(), 200);
    // A press elsewhere commits it first.
    doc->setTool(Tool::select);
    press({300, 250});
    EXPECT_FALSE(canvas->textField());
    EXPECT_EQ(doc->annotations().front().text, QStringLiteral("A rather long sentence typed into the field"));
}

// --- keys ----------------------------------------------------------------------------------

TEST_F(Canvas, ArrowKeysMoveTheSelectionByPointsEachPressOneStep)
{
    make(plainImage(400, 300), 2.0);
    const QUuid id = add(Tool::rectangle, {100, 100}, {200, 160});
    doc->setTool(Tool::select);
    doc->setSelectedID(id);
    const std::size_t steps = doc->undoStack().size();
    key(Qt::Key_Right);
    key(Qt::Key_Right);
    key(Qt::Key_Down, Qt::ShiftModifier);
    key(Qt::Key_Up);
    key(Qt::Key_Left, Qt::ShiftModifier);
    // 1 point = 2 pixels at scale 2; Shift moves 10 points.
    expectNear(only().start, QPointF(100 + 2 + 2 - 20, 100 + 20 - 2));
    EXPECT_EQ(doc->undoStack().size(), steps + 5);
    doc->undo();
    expectNear(doc->annotations().front().start, QPointF(104, 118));
}

TEST_F(Canvas, ToolLettersWorkOnlyWithoutModifiers)
{
    const QUuid id = add(Tool::rectangle, {100, 100}, {200, 160});
    doc->setTool(Tool::select);
    doc->setSelectedID(id);
    key(Qt::Key_R, Qt::ShiftModifier);
    EXPECT_EQ(doc->tool(), Tool::select);
    EXPECT_EQ(doc->selectedID(), id);
    key(Qt::Key_R);
    EXPECT_EQ(doc->tool(), Tool::rectangle);
    EXPECT_FALSE(doc->selectedID());

    const std::pair<Qt::Key, Tool> letters[] = {{Qt::Key_V, Tool::select}, {Qt::Key_C, Tool::crop},
        {Qt::Key_F, Tool::filledRect}, {Qt::Key_O, Tool::ellipse}, {Qt::Key_L, Tool::line}, {Qt::Key_A, Tool::arrow},
        {Qt::Key_T, Tool::text}, {Qt::Key_P, Tool::pencil}, {Qt::Key_H, Tool::highlighter}, {Qt::Key_N, Tool::counter},
        {Qt::Key_B, Tool::blur}, {Qt::Key_X, Tool::pixelate}, {Qt::Key_S, Tool::spotlight}};
    for (const auto& [letter, tool] : letters) {
        key(letter);
        EXPECT_EQ(doc->tool(), tool) << rawValue(tool).toStdString();
    }
    key(Qt::Key_Z);
    EXPECT_EQ(doc->tool(), Tool::spotlight) << "no tool has z";
}

TEST_F(Canvas, DeleteRemovesTheSelectionAndEscapeOnlyDeselects)
{
    const QUuid first = add(Tool::rectangle, {10, 10}, {50, 50});
    const QUuid second = add(Tool::ellipse, {100, 100}, {150, 150});
    doc->setTool(Tool::select);
    doc->setSelectedID(second);
    key(Qt::Key_Escape);
    EXPECT_FALSE(doc->selectedID());
    EXPECT_EQ(doc->annotations().size(), 2u);
    doc->setSelectedID(second);
    key(Qt::Key_Backspace);
    ASSERT_EQ(doc->annotations().size(), 1u);
    doc->setSelectedID(first);
    key(Qt::Key_Delete);
    EXPECT_TRUE(doc->annotations().empty());
}

// --- drops ---------------------------------------------------------------------------------

TEST_F(Canvas, DroppedImagesAreCappedAt60PercentCentredAndSelected)
{
    make(plainImage(1000, 800), 1.0, QSize(1200, 1000));
    struct Case
    {
        QSize image;
        QSizeF placed;
    };
    for (const Case& c : {Case {{2000, 500}, {600, 150}}, Case {{300, 200}, {300, 200}}}) {
        QMimeData data;
        data.setImageData(plainImage(c.image.width(), c.image.height(), Qt::red));
        EXPECT_TRUE(canvas->dropImage(data, canvas->geometryNow().toView(QPointF(500, 400))));
        ASSERT_FALSE(doc->annotations().empty());
        const Annotation& a = doc->annotations().back();
        EXPECT_TRUE(a.kind.isImage());
        EXPECT_EQ(a.normRect().size(), c.placed);
        expectNear(a.normRect().center(), {500, 400});
        EXPECT_EQ(doc->selectedID(), a.id);
        EXPECT_EQ(doc->tool(), Tool::select);
    }
    QMimeData text;
    text.setText(QStringLiteral("not a picture"));
    EXPECT_FALSE(canvas->dropImage(text, QPointF(10, 10)));
    EXPECT_EQ(doc->annotations().size(), 2u);
}

TEST_F(Canvas, DroppedFilesAreReadFromDisk)
{
    const QString path
        = QDir::temp().filePath(QStringLiteral("vantrel-drop-%1.png").arg(QCoreApplication::applicationPid()));
    ASSERT_TRUE(plainImage(100, 50, Qt::blue).save(path));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    EXPECT_TRUE(canvas->dropImage(data, canvas->geometryNow().toView(QPointF(200, 150))));
    QFile::remove(path);
    ASSERT_EQ(doc->annotations().size(), 1u);
    EXPECT_EQ(only().normRect(), QRectF(150, 125, 100, 50));
    EXPECT_EQ(only().image->pixelColor(10, 10), QColor(Qt::blue));
}

// --- drawing the selection -----------------------------------------------------------------

TEST_F(Canvas, TheSelectionIsOutlinedWithHandles)
{
    const QUuid id = add(Tool::filledRect, {100, 100}, {200, 150});
    doc->setTool(Tool::select);
    const QImage before = canvas->grab().toImage();
    doc->setSelectedID(id);
    const QImage after = canvas->grab().toImage();
    // Handle centred on the top-left corner: white inside, over the red fill and the white base.
    const QPoint corner = view({100, 100});
    EXPECT_EQ(after.pixelColor(corner + QPoint(1, 1)), QColor(Qt::white));
    EXPECT_NE(before.pixelColor(corner + QPoint(1, 1)), QColor(Qt::white));
    // The dashed outline runs 4 points outside the bounds.
    bool outlined = false;
    for (int x = 0; x < 12; ++x)
        outlined |= after.pixelColor(view({150, 100}) + QPoint(x, -4)) != QColor(Qt::white);
    EXPECT_TRUE(outlined);
}

// --- repainting while dragging -------------------------------------------------------------

namespace {

// A base with detail, and annotations of every drawing pass, so that a part drawn apart or a
// region left unpainted shows.
void busyDocument(EditorDocument& doc)
{
    QImage base(400, 300, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x)
            base.setPixel(x, y, qRgb(x * 7 % 256, y * 5 % 256, (x + y) % 256));
    doc.restore({base, {}, std::nullopt, doc.background()});
    for (auto [tool, a, b] : {std::tuple {Tool::blur, QPointF(20, 20), QPointF(120, 120)},
             std::tuple {Tool::spotlight, QPointF(200, 50), QPointF(380, 250)},
             std::tuple {Tool::highlighter, QPointF(30, 200), QPointF(300, 200)},
             std::tuple {Tool::arrow, QPointF(50, 280), QPointF(250, 150)}}) {
        const QUuid id = *doc.createAnnotation(tool, a);
        doc.modifyAnnotation(id, [&, b = b, a = a](Annotation& x) {
            x.end = b;
            if (!x.points.empty())
                x.points = {a, (a + b) / 2 + QPointF(0, 20), b};
        });
    }
}

// What the window shows now, as painted region by region into its backing store.
QImage shownOnScreen(QWidget* widget)
{
    QApplication::processEvents();
    return widget->screen()->grabWindow(widget->winId()).toImage().convertToFormat(QImage::Format_RGB32);
}

QImage paintedWhole(QWidget* widget)
{
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

TEST_F(Canvas, DrawingTheDraggedAnnotationApartGivesTheWholePicture)
{
    busyDocument(*doc);
    for (Tool tool : {Tool::filledRect, Tool::highlighter, Tool::arrow, Tool::counter}) {
        SCOPED_TRACE(rawValue(tool).toStdString());
        doc->setTool(tool);
        press({60, 60});
        move({150, 90});
        move({230, 170});
        const QImage duringDrag = paintedWhole(canvas.get());
        release({230, 170});
        doc->setSelectedID(std::nullopt);
        EXPECT_EQ(duringDrag, paintedWhole(canvas.get()));
    }
    // An annotation under others (the multiplying highlighter, under an arrow and the new shapes).
    doc->setTool(Tool::select);
    press({165, 220});
    move({150, 200});
    move({120, 150});
    const QImage duringDrag = paintedWhole(canvas.get());
    ASSERT_TRUE(doc->selectedID());
    EXPECT_TRUE(doc->annotation(*doc->selectedID())->is(Tool::highlighter));
    release({120, 150});
    EXPECT_EQ(duringDrag, paintedWhole(canvas.get()));
}

TEST_F(Canvas, EffectDragsRepaintEverythingTheyChange)
{
    busyDocument(*doc);
    shownOnScreen(canvas.get());
    for (Tool tool : {Tool::spotlight, Tool::blur, Tool::pixelate}) {
        SCOPED_TRACE(rawValue(tool).toStdString());
        doc->setTool(tool);
        press({300, 100});
        for (QPointF p : {QPointF(320, 160), QPointF(250, 200), QPointF(150, 60), QPointF(90, 280)}) {
            move(p);
            shownOnScreen(canvas.get());
        }
        EXPECT_EQ(shownOnScreen(canvas.get()), paintedWhole(canvas.get()));
        release({90, 280});
        // Moved and resized by its handle, with its selection outline.
        doc->setTool(Tool::select);
        press({200, 180});
        move({260, 120});
        shownOnScreen(canvas.get());
        move({100, 150});
        EXPECT_EQ(shownOnScreen(canvas.get()), paintedWhole(canvas.get()));
        release({100, 150});
    }
}
