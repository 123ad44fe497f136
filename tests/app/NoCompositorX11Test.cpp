// SPDX-License-Identifier: GPL-3.0-or-later
// The harness runs no compositor, like openbox, i3 or Xfce with compositing off: nothing blends
// a translucent window over what lies behind it, and whatever such a window leaves transparent
// shows black. Each surface is put on screen over a green desktop, the screen is grabbed, and no
// black area may appear that the desktop did not have.
#include "CaptureItem.h"
#include "ChromeWindow.h"
#include "DesktopAppearance.h"
#include "DesktopFakes.h"
#include "OverlayBar.h"
#include "OverlayView.h"
#include "PinWindow.h"
#include "QuickAccessManager.h"
#include "QuickAccessPanel.h"
#include "QuickAccessView.h"
#include "SelectionOverlay.h"
#include "ToastService.h"
#include "X11TestSupport.h"
#include "x11/X11ScreenGrabber.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QToolButton>
#include <QToolTip>

#include <gtest/gtest.h>

using namespace vantrel;
using namespace vantrel::test;

namespace {

const QColor desktopGreen(0x20, 0x80, 0x40);

// Squares of 8 × 8 pixels that are black all through: text and thin lines never fill one, an
// unblended transparent window fills many.
QList<QRect> blackSquares(const QImage& screen, const QRect& area)
{
    QList<QRect> found;
    const QRect inside = area & screen.rect();
    for (int y = inside.top(); y + 8 <= inside.bottom() + 1; y += 8) {
        for (int x = inside.left(); x + 8 <= inside.right() + 1; x += 8) {
            bool black = true;
            for (int j = 0; j < 8 && black; ++j) {
                for (int i = 0; i < 8 && black; ++i) {
                    const QRgb p = screen.pixel(x + i, y + j);
                    black = qRed(p) < 6 && qGreen(p) < 6 && qBlue(p) < 6;
                }
            }
            if (black)
                found.append(QRect(x, y, 8, 8));
        }
    }
    return found;
}

// A light picture for thumbnails and pins, so their own content is never black.
QImage lightPicture()
{
    QImage image(400, 300, QImage::Format_RGB32);
    image.fill(QColor(240, 200, 120));
    return image;
}

class NoCompositor : public ::testing::Test, protected DesktopFakes
{
protected:
    X11ScreenGrabber grabber;
    ScopedService<ScreenGrabber> grabberSlot {&grabber};
    X11DesktopAppearance appearance;
    ScopedService<DesktopAppearance> appearanceSlot {&appearance};

    static void SetUpTestSuite()
    {
        ASSERT_TRUE(runProcess(QStringLiteral("xsetroot"), {QStringLiteral("-solid"), desktopGreen.name()}));
    }
    void SetUp() override
    {
        ASSERT_FALSE(desktopIsCompositing()) << "the harness runs no compositor";
        settings.setDropAnimation(false);
        // The desktop alone has no black at all, once what an earlier test showed has gone.
        QList<QRect> black;
        const bool clean = QTest::qWaitFor(
            [&] {
                black = blackSquares(grabDesktop(), QRect(0, 0, 1920, 1080));
                return black.isEmpty();
            },
            5000);
        ASSERT_TRUE(clean) << black.size() << " black squares, the first at " << black[0].x() << "," << black[0].y()
                           << "; windows: " << [] {
                                  std::string windows;
                                  for (QWidget* widget : QApplication::topLevelWidgets()) {
                                      if (widget->isVisible())
                                          windows += std::string(widget->metaObject()->className()) + " ";
                                  }
                                  return windows;
                              }();
    }
    void TearDown() override
    {
        if (SelectionOverlay* overlay = SelectionOverlay::active())
            overlay->cancel();
        PinWindow::closePins();
        for (QuickAccessPanel* panel : QuickAccessManager::shared().panels())
            delete panel;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Waits until `area` of the screen has stopped changing, then checks it for black.
    static void expectNoBlack(const QRect& area, const std::string& what)
    {
        syncWithServer();
        QImage last;
        (void)QTest::qWaitFor(
            [&] {
                const QImage now = grabDesktop().copy(area);
                const bool steady = now == last;
                last = now;
                return steady;
            },
            3000);
        const QList<QRect> black = blackSquares(grabDesktop(), area);
        EXPECT_TRUE(black.isEmpty()) << what << ": " << black.size() << " black squares, the first at "
                                     << (black.isEmpty() ? 0 : black[0].x()) << ","
                                     << (black.isEmpty() ? 0 : black[0].y());
    }
};

} // namespace

TEST_F(NoCompositor, OverlaysThatAreNotFrozenShowTheDesktopUnderTheirDimming)
{
    struct Case
    {
        OverlayPurpose purpose;
        bool freeze;
        const char* what;
    };
    for (const Case& c : {Case {OverlayPurpose::record, true, "record"},
             Case {OverlayPurpose::scrolling, true, "scroll"}, Case {OverlayPurpose::selfTimer, true, "self-timer"},
             Case {OverlayPurpose::screenshot, false, "screenshot without freezing"},
             Case {OverlayPurpose::screenshot, true, "frozen screenshot"}}) {
        settings.setFreezeScreen(c.freeze);
        SelectionOverlay::begin(c.purpose, [](std::optional<SelectionResult>) {});
        SelectionOverlay* overlay = SelectionOverlay::active();
        ASSERT_NE(overlay, nullptr) << c.what;
        for (QWidget* view : overlay->views())
            ASSERT_TRUE(QTest::qWaitForWindowExposed(view, 5000)) << c.what;
        expectNoBlack(QRect(0, 0, 1920, 1080), c.what);
        // The dimming lies over the desktop's own green, not over nothing.
        const QColor middle = screenPixel(QPoint(960, 540));
        EXPECT_GT(middle.green(), middle.red() + 10) << c.what << " " << describe(middle);
        overlay->cancel();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

TEST_F(NoCompositor, ThumbnailsPinsToastsMenusAndTooltipsHaveNoBlackCorners)
{
    QuickAccessManager::shared().show(CaptureItem::fromImage(lightPicture(), 1, CaptureKind::screenshot));
    QuickAccessPanel* panel = QuickAccessManager::shared().panels().value(0);
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel->geometry() == panel->targetFrame(); }, 5000));
    expectNoBlack(panel->geometry(), "thumbnail");

    PinWindow* pin = PinWindow::pin(lightPicture(), 1);
    ASSERT_TRUE(pin && QTest::qWaitForWindowExposed(pin, 5000));
    expectNoBlack(pin->frameGeometry(), "pin");

    ToastService toasts;
    toasts.show({.text = QStringLiteral("Copied to clipboard"),
        .symbol = QStringLiteral("checkmark.circle.fill"),
        .duration = 30});
    ASSERT_TRUE(toasts.currentPanel() && QTest::qWaitForWindowExposed(toasts.currentPanel(), 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return toasts.currentPanel()->windowOpacity() == 1.0; }, 3000));
    expectNoBlack(toasts.currentPanel()->geometry(), "toast");
    toasts.dismiss();

    QMenu menu;
    menu.addAction(QStringLiteral("Capture Area\tShift+Super+S"));
    menu.addAction(QStringLiteral("Capture Fullscreen\tShift+Super+F"));
    menu.addSeparator();
    menu.addAction(QStringLiteral("Quit Vantrel"));
    menu.popup(QPoint(1200, 300));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu, 5000));
    expectNoBlack(menu.geometry(), "menu");
    menu.close();
}

// A tooltip shown for `anchor` at `at` (global), once it is up; activation changes elsewhere
// hide a tooltip at once, so it is shown again until it stays.
QWidget* showTooltip(QWidget* anchor, QPoint at, const QString& text)
{
    QWidget* tip = nullptr;
    const bool shown = QTest::qWaitFor(
        [&] {
            tip = nullptr;
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (widget->inherits("QTipLabel") && widget->isVisible())
                    tip = widget;
            }
            if (!tip)
                QToolTip::showText(at, text, anchor);
            return tip && tip->windowHandle() && tip->windowHandle()->isExposed();
        },
        5000);
    return shown ? tip : nullptr;
}

TEST_F(NoCompositor, TooltipsAreOpaqueOverTranslucentWindows)
{
    // Over a thumbnail, whose window is translucent.
    QuickAccessManager::shared().show(CaptureItem::fromImage(lightPicture(), 1, CaptureKind::screenshot));
    QuickAccessPanel* panel = QuickAccessManager::shared().panels().value(0);
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel->geometry() == panel->targetFrame(); }, 5000));
    QWidget* tip = showTooltip(
        panel->content(), panel->content()->mapToGlobal(QPoint(20, 20)), QStringLiteral("Annotate (Ctrl+E)"));
    ASSERT_NE(tip, nullptr);
    expectNoBlack(tip->geometry(), "tooltip over a thumbnail");
    QToolTip::hideText();

    // Over the recording overlay's dark toolbar, whose style sheet the tooltip takes on.
    SelectionOverlay::begin(OverlayPurpose::record, [](std::optional<SelectionResult>) {});
    ASSERT_NE(SelectionOverlay::active(), nullptr);
    OverlayView* view = SelectionOverlay::active()->views().front();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view, 5000));
    view->state().setSelection(QRectF(300, 200, 500, 300));
    view->refresh();
    ASSERT_NE(view->bar(), nullptr);
    QWidget* button = view->bar()->findChild<QToolButton*>();
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return button->isVisible(); }, 3000));
    tip = showTooltip(button, button->mapToGlobal(QPoint(4, 4)), QStringLiteral("Cancel"));
    ASSERT_NE(tip, nullptr);
    expectNoBlack(tip->geometry(), "tooltip over the overlay's toolbar");
    QToolTip::hideText();
}
