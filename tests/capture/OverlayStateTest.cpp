// SPDX-License-Identifier: GPL-3.0-or-later
#include "OverlayViewState.h"

#include <gtest/gtest.h>

using namespace vantrel;

namespace {

// Records what a view asks of the overlay.
class FakeHost : public OverlayHost
{
public:
    void clearOtherSelections(const OverlayViewState&) override { ++clears; }
    void setWindowModeEverywhere(bool on) override
    {
        windowModeCalls.push_back(on);
        for (OverlayViewState* view : views)
            view->setWindowMode(on);
    }
    void finishWithArea(const OverlayViewState&, const QRectF& rect, OverlayAction action) override
    {
        areas.emplace_back(rect, action);
    }
    void finishWithWindow(const OverlayViewState&, const WindowInfo& window) override { windows.push_back(window.id); }
    void cancel() override { ++cancels; }

    std::vector<OverlayViewState*> views;
    int clears = 0;
    int cancels = 0;
    std::vector<bool> windowModeCalls;
    std::vector<std::pair<QRectF, OverlayAction>> areas;
    std::vector<quint32> windows;
};

WindowInfo window(quint32 id, QRect frame)
{
    WindowInfo w;
    w.id = id;
    w.frame = frame;
    w.nativeFrame = frame;
    return w;
}

struct Fixture
{
    explicit Fixture(OverlayPurpose purpose, QPointF origin = {0, 0})
        : state(host, purpose, QSizeF(1000, 800), origin, &windows)
    {
        host.views.push_back(&state);
        state.mouseMoved({500, 400});
    }
    void drag(QPointF from, QPointF to, bool shift = false)
    {
        state.mouseMoved(from);
        state.mouseDown(from, 1, shift);
        state.mouseDragged(to, shift);
        state.mouseUp();
    }

    FakeHost host;
    std::vector<WindowInfo> windows;
    OverlayViewState state;
};

} // namespace

TEST(OverlayState, ReleasingADragCommitsAtOnceWithoutABar)
{
    Fixture f(OverlayPurpose::screenshot);
    f.drag({10.4, 20.6}, {110.2, 70.1});
    ASSERT_EQ(f.host.areas.size(), 1u);
    // Made integral outward before it is handed on.
    EXPECT_EQ(f.host.areas[0].first, QRectF(10, 20, 101, 51));
    EXPECT_EQ(f.host.areas[0].second, OverlayAction::screenshot);
    EXPECT_EQ(f.host.clears, 1); // a new rectangle clears the other screens'

    Fixture ocr(OverlayPurpose::ocr);
    ocr.drag({0, 0}, {50, 50});
    ASSERT_EQ(ocr.host.areas.size(), 1u);
    EXPECT_EQ(ocr.host.areas[0].second, OverlayAction::ocr);
}

TEST(OverlayState, AClickWithoutADragPicksTheWindowUnderThePointer)
{
    Fixture f(OverlayPurpose::screenshot, QPointF(1920, 0));
    // Global frames; this screen starts at x 1920. The front-most match wins.
    f.windows = {window(7, QRect(2000, 100, 300, 200)), window(8, QRect(1920, 0, 1000, 800))};
    f.drag({100, 150}, {101, 151});
    EXPECT_EQ(f.host.windows, std::vector<quint32> {7});
    EXPECT_TRUE(f.host.areas.empty());

    Fixture empty(OverlayPurpose::screenshot);
    empty.drag({10, 10}, {10, 10});
    EXPECT_TRUE(empty.host.windows.empty());
    EXPECT_FALSE(empty.state.windowMode()); // back to area mode
    EXPECT_FALSE(empty.state.selection().has_value());
}

TEST(OverlayState, ShiftDragMakesASquareOnTheDraggedSide)
{
    Fixture f(OverlayPurpose::allInOne);
    f.drag({500, 500}, {400, 470}, true);
    EXPECT_EQ(*f.state.selection(), QRectF(400, 400, 100, 100));
}

TEST(OverlayState, DraggingAHandlePastTheOppositeEdgeFlips)
{
    Fixture f(OverlayPurpose::allInOne);
    f.state.setSelection(QRectF(100, 100, 200, 100));
    // Top-left handle at (100, 100), dragged past the bottom-right corner.
    f.state.mouseDown({101, 99}, 1, false);
    ASSERT_TRUE(std::holds_alternative<OverlayViewState::Resizing>(f.state.drag()));
    f.state.mouseDragged({350, 260}, false);
    EXPECT_EQ(*f.state.selection(), QRectF(300, 200, 50, 60));
    f.state.mouseUp();
    EXPECT_TRUE(f.host.areas.empty()); // a bar purpose keeps the selection open

    // Right-middle handle moves only the right edge.
    EXPECT_EQ(overlay::resized(3, QRectF(100, 100, 200, 100), {50, 999}), QRectF(50, 100, 50, 100));
}

TEST(OverlayState, MouseMovesAreClampedButArrowKeysAreNot)
{
    Fixture f(OverlayPurpose::allInOne);
    f.state.setSelection(QRectF(100, 100, 200, 100));
    f.state.mouseDown({150, 150}, 1, false);
    EXPECT_EQ(f.state.cursor(), OverlayViewState::Cursor::closedHand);
    f.state.mouseDragged({-500, 2000}, false);
    EXPECT_EQ(*f.state.selection(), QRectF(0, 700, 200, 100));
    f.state.mouseUp();

    f.state.key(OverlayViewState::Key::left, true, false);
    f.state.key(OverlayViewState::Key::down, false, false);
    EXPECT_EQ(*f.state.selection(), QRectF(-10, 701, 200, 100));
}

TEST(OverlayState, OptionArrowsResizeButNeverBelowFourPoints)
{
    Fixture f(OverlayPurpose::allInOne);
    f.state.setSelection(QRectF(10, 10, 12, 30));
    f.state.key(OverlayViewState::Key::left, true, true);
    f.state.key(OverlayViewState::Key::up, true, true);
    f.state.key(OverlayViewState::Key::up, true, true);
    EXPECT_EQ(*f.state.selection(), QRectF(10, 10, 4, 10));
    f.state.key(OverlayViewState::Key::up, true, true);
    EXPECT_EQ(*f.state.selection(), QRectF(10, 10, 4, 4));
    f.state.key(OverlayViewState::Key::right, false, true);
    EXPECT_EQ(*f.state.selection(), QRectF(10, 10, 5, 4));
}

TEST(OverlayState, SizeFieldsStayBetweenFourPointsAndTheScreenEdge)
{
    Fixture f(OverlayPurpose::record);
    f.state.setSelection(QRectF(900, 700, 50, 50));
    struct Case
    {
        QString width, height;
        QSizeF expected;
    };
    const std::vector<Case> cases = {{QStringLiteral("80"), QStringLiteral("60"), {80, 60}},
        {QStringLiteral("5000"), QStringLiteral("5000"), {100, 100}},
        {QStringLiteral("1"), QStringLiteral("-3"), {4, 4}},
        {QStringLiteral("abc"), QStringLiteral("20.5"), {4, 20.5}}};
    for (const Case& c : cases) {
        f.state.sizeFieldsChanged(c.width, c.height);
        EXPECT_EQ(f.state.selection()->size(), c.expected) << c.width.toStdString() << " " << c.height.toStdString();
        EXPECT_EQ(f.state.selection()->topLeft(), QPointF(900, 700));
    }
}

TEST(OverlayState, CommitNeedsTwoPointsAfterClippingToTheScreen)
{
    Fixture f(OverlayPurpose::allInOne);
    f.state.setSelection(QRectF(999, 100, 50, 50)); // only 1 point left on screen
    f.state.key(OverlayViewState::Key::returnKey, false, false);
    EXPECT_TRUE(f.host.areas.empty());
    f.state.setSelection(QRectF(990, -20, 50, 50));
    f.state.key(OverlayViewState::Key::enter, false, false);
    ASSERT_EQ(f.host.areas.size(), 1u);
    EXPECT_EQ(f.host.areas[0].first, QRectF(990, 0, 10, 30));
}

TEST(OverlayState, ReturnWithoutSelectionDoesNothingEscapeAndRightClickCancel)
{
    Fixture f(OverlayPurpose::allInOne);
    f.state.key(OverlayViewState::Key::returnKey, false, false);
    EXPECT_TRUE(f.host.areas.empty());
    EXPECT_EQ(f.host.cancels, 0);
    f.state.key(OverlayViewState::Key::escape, false, false);
    f.state.rightMouseDown();
    EXPECT_EQ(f.host.cancels, 2);
}

TEST(OverlayState, DoubleClickInsideCommitsTheDefaultAction)
{
    Fixture f(OverlayPurpose::record);
    f.state.setSelection(QRectF(100, 100, 200, 100));
    f.state.mouseDown({200, 150}, 2, false);
    ASSERT_EQ(f.host.areas.size(), 1u);
    EXPECT_EQ(f.host.areas[0].second, OverlayAction::recordVideo);
}

TEST(OverlayState, SpaceTogglesWindowModeOnlyWhereOffered)
{
    Fixture f(OverlayPurpose::allInOne);
    f.state.key(OverlayViewState::Key::space, false, false);
    EXPECT_TRUE(f.state.windowMode());
    EXPECT_EQ(f.state.hint(), windowModeHint());
    Fixture scrolling(OverlayPurpose::scrolling);
    scrolling.state.key(OverlayViewState::Key::space, false, false);
    EXPECT_FALSE(scrolling.state.windowMode());
    EXPECT_EQ(scrolling.state.hint(), QStringLiteral("Select the scrollable area"));
}

TEST(OverlayState, RecordingAWindowTurnsItIntoAnArea)
{
    Fixture f(OverlayPurpose::record, QPointF(100, 0));
    f.windows = {window(3, QRect(50, 50, 400, 300))};
    f.state.setWindowMode(true);
    f.state.mouseMoved({100, 100});
    f.state.mouseDown({100, 100}, 1, false);
    EXPECT_TRUE(f.host.windows.empty());
    // In view coordinates and clipped to the screen.
    EXPECT_EQ(*f.state.selection(), QRectF(0, 50, 350, 300));
    EXPECT_FALSE(f.state.windowMode());
    EXPECT_TRUE(f.state.wantsBar());
}

TEST(OverlayState, HintsByPurpose)
{
    EXPECT_EQ(areaHint(OverlayPurpose::allInOne),
        QStringLiteral("Drag to select an area  ·  Space: window mode  ·  Esc: cancel"));
    EXPECT_EQ(areaHint(OverlayPurpose::record),
        QStringLiteral("Drag to select an area to record  ·  Space: window  ·  Esc: cancel"));
    EXPECT_EQ(
        areaHint(OverlayPurpose::selfTimer), QStringLiteral("Select an area — the timer starts after you release"));
    EXPECT_TRUE(areaHint(OverlayPurpose::screenshot).isEmpty());
    Fixture f(OverlayPurpose::ocr);
    EXPECT_EQ(f.state.hint(), QStringLiteral("Select an area to recognize text"));
    f.state.mouseExited();
    EXPECT_TRUE(f.state.hint().isEmpty());
}

TEST(OverlayGeometry, BarSitsBelowFlipsInsideAndKeepsEightPointsFromEdges)
{
    const QSizeF bounds(1000, 800);
    const QSizeF bar(300, 40);
    EXPECT_EQ(overlay::barPosition(QRectF(100, 100, 400, 200), bar, bounds), QPointF(150, 312));
    // No room below: inside the bottom of the selection.
    EXPECT_EQ(overlay::barPosition(QRectF(100, 500, 400, 290), bar, bounds), QPointF(150, 738));
    // Near the left and right edges.
    EXPECT_EQ(overlay::barPosition(QRectF(0, 100, 20, 20), bar, bounds).x(), 8);
    EXPECT_EQ(overlay::barPosition(QRectF(980, 100, 20, 20), bar, bounds).x(), 692);
    // A selection the height of the screen: the bar stays 8 points from the top.
    EXPECT_EQ(overlay::barPosition(QRectF(0, 0, 1000, 30), bar, QSizeF(1000, 60)).y(), 8);
}

TEST(OverlayGeometry, HandlesMagnifierAndPills)
{
    const QRectF s(100, 100, 200, 100);
    const auto handles = overlay::handleRects(s);
    EXPECT_EQ(handles[0], QRectF(95, 95, 10, 10));
    EXPECT_EQ(handles[5], QRectF(195, 195, 10, 10));
    EXPECT_EQ(overlay::handleAt(s, {91, 91}), 0); // grown by 4 for hit testing
    EXPECT_FALSE(overlay::handleAt(s, {90, 90}).has_value());
    EXPECT_EQ(overlay::handleAt(s, {300, 150}), 3);

    const QSizeF bounds(1000, 800);
    EXPECT_EQ(overlay::magnifierRect({100, 100}, bounds), QRectF(124, 124, 128, 128));
    EXPECT_EQ(overlay::magnifierRect({900, 700}, bounds), QRectF(748, 524, 128, 128));

    EXPECT_EQ(overlay::sizePillCentre(QRectF(0, 0, 100, 100), bounds), QPointF(50, 114));
    EXPECT_EQ(overlay::sizePillCentre(QRectF(0, 700, 100, 90), bounds), QPointF(50, 776));
    EXPECT_EQ(overlay::pillBox({100, 14}, {10, 50}, bounds), QRectF(4, 40, 116, 20));

    EXPECT_EQ(overlay::integral(QRectF(0.5, 0.5, 1, 1)), QRectF(0, 0, 2, 2));
    EXPECT_TRUE(overlay::integral(QRectF(5, 5, 0, 10)).isNull());
}
