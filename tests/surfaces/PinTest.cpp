// SPDX-License-Identifier: GPL-3.0-or-later
// Pins on an offscreen 800 × 600 screen: fit, zoom, keys, the context menu, opacity, lock.
#include "DesktopFakes.h"
#include "Fakes.h"
#include "PinWindow.h"
#include "PlatformCapabilities.h"
#include "PreferenceStore.h"
#include "Service.h"
#include "Settings.h"
#include "SurfaceTestSupport.h"

#include <QDir>
#include <QMenu>
#include <QScreen>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <QWindow>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace vantrel;
using namespace vantrel::test;

namespace {

class Pins : public ::testing::Test, protected DesktopFakes
{
protected:
    RecordingHandOff handOff;
    ScopedService<SurfaceHandOff> handOffSlot {&handOff};

    void SetUp() override { removeAllSurfaces(); }
    void TearDown() override { removeAllSurfaces(); }

    static QRect visible() { return QGuiApplication::primaryScreen()->availableGeometry(); }
    static void wheel(QWidget* pin, QPoint pixels, QPoint angle)
    {
        QWheelEvent event(QPointF(10, 10), pin->mapToGlobal(QPointF(10, 10)), pixels, angle, Qt::NoButton,
            Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(pin, &event);
    }
    static QStringList titles(const QMenu* menu)
    {
        QStringList result;
        for (const QAction* action : menu->actions())
            result.append(action->isSeparator() ? QStringLiteral("---") : action->text());
        return result;
    }
};

} // namespace

TEST_F(Pins, APinFitsIntoSixtyPercentOfTheScreenKeepingItsProportions)
{
    const QRect screen = visible(); // 800 × 600: 60 % is 480 × 360
    PinWindow* large = PinWindow::pin(patternImage(1600, 800), 1);
    ASSERT_NE(large, nullptr);
    EXPECT_EQ(large->size(), QSize(480, 240));
    EXPECT_EQ(large->geometry().center(), screen.center());
    EXPECT_DOUBLE_EQ(large->aspect(), 0.5);
    EXPECT_TRUE(large->isVisible());
    EXPECT_TRUE(large->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(large->windowFlags().testFlag(Qt::WindowTransparentForInput));

    // Points are pixels ÷ scale: 400 × 300 pixels at scale 2 fit as they are.
    PinWindow* small = PinWindow::pin(patternImage(400, 300), 2);
    EXPECT_EQ(small->size(), QSize(200, 150));
    EXPECT_EQ(PinWindow::pins(), (QList<PinWindow*> {large, small}));

    // The picture fills the pin: the pixel in the middle is the picture's middle.
    const QImage shown = large->grab().toImage();
    const QColor centre = shown.pixelColor(240, 120);
    EXPECT_NEAR(centre.red(), 800 % 256, 3);
    EXPECT_NEAR(centre.green(), 400 % 256, 3);

    test::LogCapture log;
    EXPECT_EQ(PinWindow::pin(QImage(), 1), nullptr);
    EXPECT_EQ(PinWindow::pinCount(), 2);
    EXPECT_EQ(log.lines(), QStringList {QStringLiteral("Vantrel: nothing to pin: the picture is empty")});
}

TEST_F(Pins, ZoomStaysBetweenFortyAndSixThousandPointsAroundTheCentre)
{
    PinWindow* pin = PinWindow::pin(patternImage(300, 100), 1);
    const QPointF centre = pin->frame().center();
    // A wheel notch (120) grows by 1/20; touchpad points by 1/200 each.
    wheel(pin, QPoint(), QPoint(0, 120));
    EXPECT_DOUBLE_EQ(pin->frame().width(), 315);
    wheel(pin, QPoint(0, -20), QPoint(0, -120));
    EXPECT_NEAR(pin->frame().width(), 315 * std::pow(1.005, -20), 1e-9);
    for (int i = 0; i < 100; ++i)
        wheel(pin, QPoint(), QPoint(0, -1200));
    EXPECT_DOUBLE_EQ(pin->frame().width(), 40);
    EXPECT_EQ(pin->size(), QSize(40, 13));
    for (int i = 0; i < 100; ++i)
        QTest::keyClick(pin, Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(pin->frame().width(), 6000);
    EXPECT_DOUBLE_EQ(pin->frame().height(), 2000);
    EXPECT_EQ(pin->size(), QSize(6000, 2000));
    QTest::keyClick(pin, Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_NEAR(pin->frame().width(), 6000 / 1.1, 1e-9);
    EXPECT_NEAR(pin->frame().center().x(), centre.x(), 1e-9);
    EXPECT_NEAR(pin->frame().center().y(), centre.y(), 1e-9);
    EXPECT_LE(std::abs(pin->height() - pin->width() / 3.0), 1.0);
}

TEST_F(Pins, ZoomingOutAndBackInReturnsToTheSameSize)
{
    PinWindow* pin = PinWindow::pin(patternImage(300, 100), 1);
    const QRectF start = pin->frame();
    const QSize startSize = pin->size();
    struct Step
    {
        const char* what;
        std::function<void(int direction)> zoom;
        int times;
    };
    const std::vector<Step> steps = {
        {"wheel", [&](int d) { wheel(pin, QPoint(), QPoint(0, 120 * d)); }, 7},
        {"touchpad", [&](int d) { wheel(pin, QPoint(0, 35 * d), QPoint(0, 120 * d)); }, 9},
        {"keys", [&](int d) { QTest::keyClick(pin, d > 0 ? Qt::Key_Equal : Qt::Key_Minus, Qt::ControlModifier); }, 5},
    };
    for (const Step& step : steps) {
        for (int direction : {-1, 1}) {
            for (int i = 0; i < step.times; ++i)
                step.zoom(direction);
            for (int i = 0; i < step.times; ++i)
                step.zoom(-direction);
            EXPECT_NEAR(pin->frame().width(), start.width(), 1e-6) << step.what;
            EXPECT_NEAR(pin->frame().height(), start.height(), 1e-6) << step.what;
            EXPECT_EQ(pin->size(), startSize) << step.what;
        }
    }
}

TEST_F(Pins, KeysMoveCloseAndResetThePin)
{
    PinWindow* pin = PinWindow::pin(patternImage(200, 100), 1);
    const QPointF start = pin->frame().topLeft();
    QTest::keyClick(pin, Qt::Key_Right);
    QTest::keyClick(pin, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(pin, Qt::Key_Up);
    QTest::keyClick(pin, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(pin->frame().topLeft(), start + QPointF(1 - 10, 10 - 1));
    EXPECT_EQ(pin->pos(), (start + QPointF(-9, 9)).toPoint());

    // Reset size keeps the bottom-left corner: 200 × 100 pixels at scale 1 after zooming.
    QTest::keyClick(pin, Qt::Key_Plus, Qt::ControlModifier);
    const QPointF bottomLeft = pin->frame().bottomLeft();
    QTest::keyClick(pin, Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(pin->frame().size(), QSizeF(200, 100));
    EXPECT_EQ(pin->frame().bottomLeft(), bottomLeft);

    QTest::keyClick(pin, Qt::Key_C, Qt::ControlModifier);
    ASSERT_TRUE(clipboard.current && clipboard.current->image);
    EXPECT_EQ(*clipboard.current->image, pin->image());
    QTest::keyClick(pin, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 1);

    for (Qt::Key key : {Qt::Key_Backspace, Qt::Key_Escape, Qt::Key_Delete}) {
        PinWindow* other = PinWindow::pin(patternImage(50, 50), 1);
        QPointer<PinWindow> alive(other);
        QTest::keyClick(other, key);
        EXPECT_FALSE(PinWindow::pins().contains(other)) << key;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(alive.isNull()) << key;
    }
    QTest::keyClick(pin, Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(PinWindow::pinCount(), 0);
}

TEST_F(Pins, DragMovesAndDoubleClickCloses)
{
    PinWindow* pin = PinWindow::pin(patternImage(300, 200), 1);
    const QPoint start = pin->pos();
    QTest::mousePress(pin, Qt::LeftButton, Qt::NoModifier, QPoint(150, 100));
    QMouseEvent move(QEvent::MouseMove, QPointF(150, 100), pin->mapToGlobal(QPointF(150, 100)) + QPointF(30, -20),
        Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(pin, &move);
    QTest::mouseRelease(pin, Qt::LeftButton, Qt::NoModifier, QPoint(150, 100));
    EXPECT_EQ(pin->pos(), start + QPoint(30, -20));
    EXPECT_EQ(pin->size(), QSize(300, 200));

    // Dragging the right edge resizes, keeping the proportions and the top-left corner.
    const QPoint topLeft = pin->pos();
    QTest::mousePress(pin, Qt::LeftButton, Qt::NoModifier, QPoint(298, 100));
    QMouseEvent stretch(QEvent::MouseMove, QPointF(298, 100), pin->mapToGlobal(QPointF(298, 100)) + QPointF(60, 0),
        Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(pin, &stretch);
    QTest::mouseRelease(pin, Qt::LeftButton, Qt::NoModifier, QPoint(358, 100));
    EXPECT_EQ(pin->geometry(), QRect(topLeft, QSize(360, 240)));

    QTest::mouseDClick(pin, Qt::LeftButton, Qt::NoModifier, QPoint(150, 100));
    EXPECT_EQ(PinWindow::pinCount(), 0);
}

TEST_F(Pins, TheContextMenuListsItsItemsAndMarksTheOpacity)
{
    PinWindow* pin = PinWindow::pin(patternImage(300, 200), 1);
    std::unique_ptr<QMenu> menu(pin->makeContextMenu());
    EXPECT_EQ(titles(menu.get()),
        (QStringList {QStringLiteral("Copy"), QStringLiteral("Save"), QStringLiteral("Annotate"), QStringLiteral("---"),
            QStringLiteral("Opacity"), QStringLiteral("Reset Size"), QStringLiteral("Lock (Click Through)"),
            QStringLiteral("---"), QStringLiteral("Close")}));
    const QList<QAction*> actions = menu->actions();
    EXPECT_EQ(actions[0]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_C));
    EXPECT_EQ(actions[1]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    EXPECT_TRUE(actions[2]->shortcut().isEmpty());
    EXPECT_EQ(actions[5]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_0));
    EXPECT_TRUE(actions[6]->shortcut().isEmpty());
    EXPECT_EQ(actions[8]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_W));

    QMenu* opacity = actions[4]->menu();
    ASSERT_NE(opacity, nullptr);
    EXPECT_EQ(titles(opacity),
        (QStringList {QStringLiteral("100%"), QStringLiteral("85%"), QStringLiteral("70%"), QStringLiteral("50%"),
            QStringLiteral("30%")}));
    auto checked = [](const QMenu* levels) {
        QStringList marked;
        for (const QAction* level : levels->actions()) {
            if (level->isChecked())
                marked.append(level->text());
        }
        return marked;
    };
    EXPECT_EQ(checked(opacity), QStringList {QStringLiteral("100%")});

    opacity->actions()[2]->trigger(); // 70 %
    EXPECT_DOUBLE_EQ(pin->alpha(), 0.7);
    EXPECT_NEAR(pin->windowOpacity(), 0.7, 0.005);
    std::unique_ptr<QMenu> again(pin->makeContextMenu());
    EXPECT_EQ(checked(again->actions()[4]->menu()), QStringList {QStringLiteral("70%")});

    // Annotate hands over the picture at the pin's screen scale; the pin stays.
    again->actions()[2]->trigger();
    ASSERT_EQ(handOff.opened.size(), 1u);
    EXPECT_EQ(*handOff.opened[0]->image, pin->image());
    EXPECT_DOUBLE_EQ(handOff.opened[0]->scale, pin->screen()->devicePixelRatio());
    EXPECT_EQ(PinWindow::pinCount(), 1);
}

// Where the desktop cannot let clicks through a window (Wayland), the pin offers no lock: a
// locked pin there would take every click and answer none.
TEST_F(Pins, ThePinOffersALockOnlyWhereClicksCanPassThrough)
{
    PinWindow* pin = PinWindow::pin(patternImage(300, 200), 1);
    const PlatformCapabilities before = platformCapabilities();
    for (const bool clickThrough : {true, false}) {
        PlatformCapabilities capabilities = before;
        capabilities.clickThrough = clickThrough;
        setPlatformCapabilities(capabilities);
        std::unique_ptr<QMenu> menu(pin->makeContextMenu());
        EXPECT_EQ(titles(menu.get()).contains(QStringLiteral("Lock (Click Through)")), clickThrough) << clickThrough;
        EXPECT_TRUE(titles(menu.get()).contains(QStringLiteral("Close"))) << clickThrough;
    }
    setPlatformCapabilities(before);
    EXPECT_FALSE(PinWindow::anyLocked());
}

TEST_F(Pins, ALockedPinLetsClicksThroughUntilUnlocked)
{
    PinWindow* pin = PinWindow::pin(patternImage(300, 200), 1);
    PinWindow* other = PinWindow::pin(patternImage(100, 100), 1);
    EXPECT_FALSE(PinWindow::anyLocked());
    pin->lockAction();
    EXPECT_TRUE(pin->locked());
    EXPECT_TRUE(PinWindow::anyLocked());
    ASSERT_EQ(toasts.requests.size(), 1u);
    EXPECT_EQ(toasts.requests[0].text, QStringLiteral("Pin locked — unlock from the tray menu"));
    EXPECT_EQ(toasts.requests[0].symbol, QStringLiteral("lock.fill"));
    EXPECT_DOUBLE_EQ(toasts.requests[0].duration, 1.6);
    ASSERT_NE(pin->windowHandle(), nullptr);
    EXPECT_TRUE(pin->windowHandle()->flags().testFlag(Qt::WindowTransparentForInput));
    EXPECT_TRUE(pin->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_TRUE(pin->isVisible()); // locking does not hide and show the window again

    // No keys, scrolls or double clicks reach it.
    const QRectF frame = pin->frame();
    QTest::keyClick(pin, Qt::Key_Escape);
    QTest::keyClick(pin, Qt::Key_Right);
    wheel(pin, QPoint(), QPoint(0, 120));
    QTest::mouseDClick(pin, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    EXPECT_EQ(pin->frame(), frame);
    EXPECT_EQ(PinWindow::pinCount(), 2);

    PinWindow::unlockPins();
    EXPECT_FALSE(PinWindow::anyLocked());
    EXPECT_FALSE(pin->windowHandle()->flags().testFlag(Qt::WindowTransparentForInput));
    EXPECT_FALSE(pin->testAttribute(Qt::WA_TransparentForMouseEvents));
    QTest::keyClick(pin, Qt::Key_Right);
    EXPECT_EQ(pin->frame(), frame.translated(1, 0));
    EXPECT_FALSE(other->locked());
}

TEST_F(Pins, ClosePinsClosesEveryPinAndDoesNothingWithoutPins)
{
    test::LogCapture log;
    PinWindow::closePins();
    PinWindow::unlockPins();
    EXPECT_EQ(PinWindow::pinCount(), 0);
    EXPECT_TRUE(log.lines().isEmpty());

    QPointer<PinWindow> first(PinWindow::pin(patternImage(30, 30), 1));
    QPointer<PinWindow> second(PinWindow::pin(patternImage(30, 30), 1));
    second->lockAction();
    PinWindow::closePins();
    EXPECT_EQ(PinWindow::pinCount(), 0);
    EXPECT_FALSE(PinWindow::anyLocked());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    EXPECT_TRUE(second.isNull());
}
