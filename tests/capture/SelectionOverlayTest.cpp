// SPDX-License-Identifier: GPL-3.0-or-later
#include "DesktopAppearance.h"
#include "DropEntrance.h"
#include "FlowFixture.h"
#include "OverlayBar.h"
#include "OverlayView.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QTest>

using namespace vantrel;

namespace {

class OverlayTest : public test::FlowFixture
{
protected:
    std::optional<std::optional<SelectionResult>> completed;

    void begin(OverlayPurpose purpose)
    {
        completed.reset();
        SelectionOverlay::begin(purpose, [this](std::optional<SelectionResult> r) { completed = r; });
        ASSERT_NE(SelectionOverlay::active(), nullptr);
    }
    OverlayView* view(int i) { return SelectionOverlay::active()->views().at(i); }
    void drag(OverlayView* v, QPoint from, QPoint to)
    {
        QTest::mousePress(v, Qt::LeftButton, Qt::NoModifier, from);
        QTest::mouseMove(v, (from + to) / 2);
        QTest::mouseMove(v, to);
        QTest::mouseRelease(v, Qt::LeftButton, Qt::NoModifier, to);
    }
    bool waitForCompletion()
    {
        return QTest::qWaitFor([this] { return completed.has_value(); }, 2000);
    }
};

} // namespace

TEST_F(OverlayTest, OneFrozenViewPerScreenAndAnAreaResultAfterTheWindowsLeave)
{
    begin(OverlayPurpose::screenshot);
    SelectionOverlay* overlay = SelectionOverlay::active();
    ASSERT_EQ(overlay->views().size(), 2u);
    EXPECT_EQ(view(0)->geometry(), left()->geometry());
    EXPECT_EQ(view(1)->geometry(), right()->geometry());
    ASSERT_TRUE(view(1)->frozen().has_value());
    EXPECT_EQ(view(1)->frozen()->image.size(), QSize(1600, 1200)); // points × 2
    EXPECT_EQ(grabber.windowListRequests, 1);

    drag(view(1), QPoint(10, 20), QPoint(110, 70));
    // The windows leave at once; the result follows after a short pause.
    EXPECT_EQ(SelectionOverlay::active(), nullptr);
    EXPECT_FALSE(completed.has_value());
    ASSERT_TRUE(waitForCompletion());
    ASSERT_TRUE(completed->has_value());
    const SelectionResult& result = **completed;
    const auto& area = std::get<SelectionResult::Area>(result.target);
    EXPECT_EQ(area.screen, right());
    EXPECT_EQ(area.rect, QRectF(10, 20, 100, 50));
    ASSERT_TRUE(result.frozen.has_value());
    EXPECT_EQ(result.frozen->scale, 2.0);
    EXPECT_EQ(SelectionOverlay::lastSelectionByDisplay().at(101), QRectF(10, 20, 100, 50));
}

TEST_F(OverlayTest, WhatIsFrozenAndFetchedDependsOnPurposeAndSetting)
{
    begin(OverlayPurpose::selfTimer);
    EXPECT_FALSE(view(0)->frozen().has_value());
    EXPECT_EQ(grabber.windowListRequests, 0);
    SelectionOverlay::active()->cancel();

    settings.setFreezeScreen(false);
    begin(OverlayPurpose::window);
    EXPECT_FALSE(view(0)->frozen().has_value());
    EXPECT_TRUE(view(0)->state().windowMode());
    EXPECT_EQ(grabber.windowListRequests, 1);
    SelectionOverlay::active()->cancel();
}

TEST_F(OverlayTest, AClickWithoutDragPicksTheWindowUnderThePointer)
{
    WindowInfo window;
    window.id = 42;
    window.frame = QRect(1100, 100, 300, 200); // global points, on the right screen
    window.applicationName = QStringLiteral("Editor");
    grabber.windows = {window};
    begin(OverlayPurpose::screenshot);
    QTest::mouseMove(view(1), QPoint(150, 150));
    QTest::mouseClick(view(1), Qt::LeftButton, Qt::NoModifier, QPoint(150, 150));
    ASSERT_TRUE(waitForCompletion());
    ASSERT_TRUE(completed->has_value());
    EXPECT_EQ(std::get<WindowInfo>((*completed)->target).id, 42u);
    EXPECT_TRUE(SelectionOverlay::lastSelectionByDisplay().empty()); // only areas are remembered
}

// The pointer's place as the view learns it on entering: what the crosshair and magnifier
// follow before the first move (a Wayland overlay knows no pointer position when it opens).
TEST_F(OverlayTest, ThePointerIsWhereItEnteredTheView)
{
    begin(OverlayPurpose::screenshot);
    QEnterEvent enter(QPointF(120, 80), QPointF(120, 80), view(1)->mapToGlobal(QPointF(120, 80)));
    QCoreApplication::sendEvent(view(1), &enter);
    EXPECT_EQ(view(1)->state().mouse(), QPointF(120, 80));
}

TEST_F(OverlayTest, ASelectionOnAnotherScreenClearsTheFirst)
{
    begin(OverlayPurpose::allInOne);
    drag(view(0), QPoint(10, 10), QPoint(200, 150));
    EXPECT_TRUE(view(0)->state().selection().has_value());
    drag(view(1), QPoint(50, 50), QPoint(90, 80));
    EXPECT_FALSE(view(0)->state().selection().has_value());
    EXPECT_EQ(*view(1)->state().selection(), QRectF(50, 50, 40, 30));
    EXPECT_FALSE(completed.has_value()); // the bar keeps it open
}

TEST_F(OverlayTest, TheBarShowsTheSizeAndItsButtonsCommit)
{
    begin(OverlayPurpose::allInOne);
    drag(view(0), QPoint(100, 100), QPoint(340, 260));
    OverlayBar* bar = view(0)->bar();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->widthText(), QStringLiteral("240"));
    EXPECT_EQ(bar->heightText(), QStringLiteral("160"));
    EXPECT_GE(bar->y(), 260 + 12 - 1);

    // Typing a size keeps the origin.
    bar->widthField()->setText(QStringLiteral("5000"));
    Q_EMIT bar->widthField()->editingFinished();
    EXPECT_EQ(*view(0)->state().selection(), QRectF(100, 100, 900, 160));

    QAbstractButton* text = nullptr;
    for (QAbstractButton* button : bar->buttons()) {
        if (button->text() == QStringLiteral("Text"))
            text = button;
    }
    ASSERT_NE(text, nullptr);
    text->click();
    ASSERT_TRUE(waitForCompletion());
    ASSERT_TRUE(completed->has_value());
    EXPECT_EQ((*completed)->action, OverlayAction::ocr);
}

TEST_F(OverlayTest, AllInOneReopensWithTheLastAreaOfEachDisplay)
{
    SelectionOverlay::lastSelectionByDisplay()[100] = QRectF(5, 6, 70, 80);
    begin(OverlayPurpose::allInOne);
    EXPECT_EQ(view(0)->state().selection(), QRectF(5, 6, 70, 80));
    EXPECT_FALSE(view(1)->state().selection().has_value());
    ASSERT_NE(view(0)->bar(), nullptr);
    EXPECT_TRUE(view(0)->bar()->isVisible());
}

TEST_F(OverlayTest, EscapeAndRightClickCancelWithNothing)
{
    begin(OverlayPurpose::screenshot);
    QTest::keyClick(view(0), Qt::Key_Escape);
    ASSERT_TRUE(waitForCompletion());
    EXPECT_FALSE(completed->has_value());

    begin(OverlayPurpose::record);
    QTest::mouseClick(view(1), Qt::RightButton);
    ASSERT_TRUE(waitForCompletion());
    EXPECT_FALSE(completed->has_value());
}

TEST_F(OverlayTest, KeysReachTheViewLastClickedWhicheverWindowHasThem)
{
    begin(OverlayPurpose::allInOne);
    drag(view(1), QPoint(10, 10), QPoint(50, 50));
    // A key delivered to the other screen's window moves this selection.
    QTest::keyClick(view(0), Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(*view(1)->state().selection(), QRectF(20, 10, 40, 40));
    QTest::keyClick(view(0), Qt::Key_Return);
    ASSERT_TRUE(waitForCompletion());
    ASSERT_TRUE(completed->has_value());
    EXPECT_EQ(std::get<SelectionResult::Area>((*completed)->target).screen, right());
}

namespace {

class StillDesktop : public DesktopAppearance
{
public:
    std::optional<QImage> wallpaper(const QScreen*) override { return std::nullopt; }
    std::optional<QColor> backgroundColor(const QScreen*) override { return std::nullopt; }
    bool reduceMotion() override { return reduce; }
    bool reduce = false;
};

} // namespace

TEST_F(OverlayTest, TheStillPictureDropsInUnlessMotionIsReduced)
{
    QImage white(grabber.screenImage(left()).size(), QImage::Format_RGB32);
    white.fill(Qt::white);
    grabber.screenImages[left()] = white;
    StillDesktop desktop;
    ScopedService<DesktopAppearance> desktopSlot(&desktop);

    begin(OverlayPurpose::screenshot);
    ASSERT_NE(view(0)->entrance(), nullptr);
    ASSERT_TRUE(view(0)->entrance()->running());
    // At the deepest point of the dip the corner shows the darker backdrop, the middle the
    // picture under the usual dimming.
    view(0)->entrance()->stepTo(0.13);
    const QImage dipped = view(0)->grab().toImage();
    const int corner = qGray(dipped.pixel(3, 3));
    const int middle = qGray(dipped.pixel(dipped.width() / 2, dipped.height() / 2));
    EXPECT_LT(corner, middle - 20);
    EXPECT_NEAR(middle, 158, 6);
    view(0)->entrance()->stepTo(0.8);
    EXPECT_FALSE(view(0)->entrance()->running());
    EXPECT_NEAR(qGray(view(0)->grab().toImage().pixel(3, 3)), 158, 6);
    SelectionOverlay::active()->cancel();
    settleCompletions();

    desktop.reduce = true;
    begin(OverlayPurpose::screenshot);
    EXPECT_TRUE(view(0)->entrance() == nullptr || !view(0)->entrance()->running());
    SelectionOverlay::active()->cancel();
    settleCompletions();

    desktop.reduce = false;
    settings.setDropAnimation(false);
    begin(OverlayPurpose::screenshot);
    EXPECT_TRUE(view(0)->entrance() == nullptr || !view(0)->entrance()->running());
}
