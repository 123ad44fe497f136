// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScrollingCapture.h"

#include "CaptureCoordinator.h"
#include "CaptureHistory.h"
#include "CaptureItem.h"
#include "ChromeWindow.h"
#include "FlowFixture.h"
#include "ScrollingCapturePanel.h"
#include "ScrollingFrameWindow.h"
#include "TestPages.h"

#include <QPushButton>
#include <QTest>

#include <functional>

using namespace vantrel;

namespace {

// A screen whose selected area shows a tall page, scrolled to `top` (in pixels).
class PageScreen : public test::FakeScreenGrabber
{
public:
    Expected<QImage> grabScreenInto(const QScreen* screen, const QRect& nativeRect, QImage recycled) override
    {
        screenGrabs.emplace_back(screen, nativeRect);
        recycledSizes.push_back(recycled.size());
        if (duringGrab)
            duringGrab();
        if (failing)
            return Error {.description = QStringLiteral("refused")};
        const QRect source(
            nativeRect.x() - area.x(), top + nativeRect.y() - area.y(), nativeRect.width(), nativeRect.height());
        return page.copy(source);
    }

    QImage page;
    QRect area; // native pixels of the screen where the page's top-left lies when `top` is 0
    int top = 0;
    bool failing = false;
    std::function<void()> duringGrab;
    std::vector<QSize> recycledSizes;
};

class ScrollingCaptureTest : public test::FlowFixture
{
protected:
    PageScreen screen;
    ScopedService<ScreenGrabber> screenSlot {&screen};
    CaptureCoordinator& coordinator = CaptureCoordinator::shared();

    void SetUp() override
    {
        FlowFixture::SetUp();
        settings.setAfterShowOverlay(true);
        settings.setAfterCopy(false);
    }
    void TearDown() override
    {
        if (ScrollingCapture* running = ScrollingCapture::active())
            running->cancelAction();
        CaptureHistory::shared().waitForPendingWrites();
        FlowFixture::TearDown();
    }

    // Starts a capture of `rect` (points) on `on`, showing `page` there from its top.
    ScrollingCapture* begin(QScreen* on, QRect rect, QImage page)
    {
        const qreal scale = on->devicePixelRatio();
        screen.page = std::move(page);
        screen.area = QRect(rect.topLeft() * scale, rect.size() * scale);
        screen.top = 0;
        ScrollingCapture::start(on, QRectF(rect));
        return ScrollingCapture::active();
    }
    // Scrolls the page to `top` and runs one step of the frame clock.
    void scrollTo(int top)
    {
        screen.top = top;
        ScrollingCapture::active()->tick();
    }
    const std::vector<std::shared_ptr<CaptureItem>>& delivered() const { return surfaces.thumbnails; }
};

bool sameRows(const QImage& picture, const QImage& page, int firstRow)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y) {
        if (std::memcmp(rgb.constScanLine(y), page.constScanLine(firstRow + y), std::size_t(rgb.bytesPerLine())) != 0)
            return false;
    }
    return true;
}

} // namespace

TEST_F(ScrollingCaptureTest, ScrolledRowsBecomeOneTallPictureDeliveredOnceAsScrolling)
{
    const QImage page = test::documentPage(300, 3000, 3);
    ScrollingCapture* capture = begin(left(), QRect(100, 80, 300, 400), page);
    ASSERT_NE(capture, nullptr);
    EXPECT_EQ(capture->framesGrabbed(), 1) << "the first frame is taken at once";
    EXPECT_EQ(capture->statusText(), QStringLiteral("Scroll slowly…  400 pt"));
    EXPECT_EQ(capture->panel()->status(), capture->statusText());
    for (int top : {90, 180, 181, 181, 400, 650})
        scrollTo(top);
    EXPECT_EQ(capture->height(), 1050);
    EXPECT_EQ(capture->panel()->status(), QStringLiteral("Scroll slowly…  1050 pt"));
    // Every grab after the second reuses the frame the stitcher let go.
    EXPECT_TRUE(screen.recycledSizes.front().isEmpty());
    EXPECT_EQ(screen.recycledSizes.back(), QSize(300, 400));

    const size_t historyBefore = CaptureHistory::shared().items().size();
    const int soundsBefore = sounds.captures;
    QTest::mouseClick(capture->panel()->doneButton(), Qt::LeftButton);
    EXPECT_EQ(ScrollingCapture::active(), nullptr);
    ASSERT_EQ(delivered().size(), 1u);
    const auto& item = delivered()[0];
    EXPECT_EQ(item->kind, CaptureKind::scrolling);
    EXPECT_EQ(item->scale, 1.0);
    ASSERT_TRUE(item->image);
    EXPECT_EQ(item->image->size(), QSize(300, 1050));
    EXPECT_TRUE(sameRows(*item->image, page, 0));
    EXPECT_EQ(CaptureHistory::shared().items().size(), historyBefore + 1);
    EXPECT_EQ(CaptureHistory::shared().items().front().kind, CaptureKind::scrolling);
    EXPECT_EQ(sounds.captures, soundsBefore + 1);

    // The clock has stopped with it.
    const size_t grabs = screen.screenGrabs.size();
    QTest::qWait(2 * ScrollingCapture::frameIntervalMs + 50);
    EXPECT_EQ(screen.screenGrabs.size(), grabs);
    EXPECT_EQ(delivered().size(), 1u);
}

TEST_F(ScrollingCaptureTest, TheClockGrabsEvery180MillisecondsAtTheScreensScale)
{
    const QImage page = test::documentPage(400, 2000, 5);
    ScrollingCapture* capture = begin(right(), QRect(50, 60, 200, 150), page);
    ASSERT_NE(capture, nullptr);
    // Points to pixels at scale 2, relative to the screen.
    EXPECT_EQ(screen.screenGrabs.back().first, right());
    EXPECT_EQ(screen.screenGrabs.back().second, QRect(100, 120, 400, 300));
    EXPECT_EQ(capture->scale(), 2.0);
    EXPECT_EQ(capture->statusText(), QStringLiteral("Scroll slowly…  150 pt"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return screen.screenGrabs.size() >= 3; }, 2000));
    screen.top = 120;
    ASSERT_TRUE(QTest::qWaitFor([&] { return capture->height() == 420; }, 2000));
    EXPECT_EQ(capture->statusText(), QStringLiteral("Scroll slowly…  210 pt"));
    capture->doneAction();
    ASSERT_EQ(delivered().size(), 1u);
    EXPECT_EQ(delivered()[0]->scale, 2.0);
    EXPECT_EQ(delivered()[0]->image->size(), QSize(400, 420));
    EXPECT_TRUE(sameRows(*delivered()[0]->image, page, 0));
}

TEST_F(ScrollingCaptureTest, RingAndPanelStayOffTheCapturedPixels)
{
    ScrollingCapture* capture = begin(left(), QRect(100, 80, 300, 400), test::documentPage(300, 1000, 7));
    ASSERT_NE(capture, nullptr);
    ScrollingFrameWindow* ring = capture->frameWindow();
    ScrollingCapturePanel* panel = capture->panel();
    ASSERT_TRUE(ring && panel);
    EXPECT_TRUE(ring->isVisible());
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(isChrome(ring));
    EXPECT_TRUE(isChrome(panel));
    EXPECT_TRUE(ring->windowFlags().testFlag(Qt::WindowTransparentForInput));

    const QRect area(100, 80, 300, 400); // left screen at the origin: global = screen-relative
    EXPECT_EQ(ring->geometry(), area.adjusted(-3, -3, 3, 3));
    // The ring's shape is two points wide and a point clear of the area.
    const QRegion shape = ring->mask().translated(ring->geometry().topLeft());
    EXPECT_FALSE(shape.intersects(area.adjusted(-1, -1, 1, 1)));
    EXPECT_TRUE(shape.contains(QPoint(area.x() - 2, area.y() + 50)));
    EXPECT_TRUE(shape.contains(QPoint(area.right() + 3, area.y() + 50)));
    EXPECT_EQ(panel->geometry(), QRect(100, 492, 300, 44)); // centred, 12 below
    EXPECT_EQ(capture->capturedRect(), QRectF(area));

    // Dragging its background moves the panel, but never over the ring.
    QTest::mousePress(panel, Qt::LeftButton, Qt::NoModifier, QPoint(150, 40));
    QTest::mouseMove(panel, QPoint(150, 10));
    EXPECT_EQ(panel->pos(), QPoint(100, 483)) << "stopped at the ring's bottom edge";
    EXPECT_FALSE(panel->geometry().intersects(ring->geometry()));
    QTest::mouseMove(panel, QPoint(470, 10));
    QTest::mouseRelease(panel, Qt::LeftButton, Qt::NoModifier, QPoint(470, 10));
    EXPECT_FALSE(panel->geometry().intersects(ring->geometry()));

    capture->cancelAction();
    EXPECT_FALSE(ring->isVisible());
    EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(delivered().empty()) << "Cancel discards";
}

TEST_F(ScrollingCaptureTest, AnAreaAsTallAsTheScreenKeepsThePanelStripOutOfItsFrames)
{
    const QRect available = left()->availableGeometry();
    ScrollingCapture* capture = begin(left(), QRect(0, 0, 1000, 700), test::documentPage(1000, 1400, 9));
    ASSERT_NE(capture, nullptr);
    const QRect panel = capture->panel()->geometry();
    EXPECT_EQ(panel.bottom() + 1, available.bottom() + 1 - 12);
    EXPECT_LE(capture->capturedRect().bottom() + 3, panel.top());
    EXPECT_EQ(screen.screenGrabs.back().second, capture->capturedRect().toRect());
}

TEST_F(ScrollingCaptureTest, OnlyHistoryAndPinningRunBesideIt)
{
    ScrollingCapture* capture = begin(left(), QRect(100, 80, 300, 400), test::documentPage(300, 1000, 11));
    ASSERT_NE(capture, nullptr);
    const size_t grabs = screen.screenGrabs.size();
    const size_t history = CaptureHistory::shared().items().size();
    for (HotKeyAction action : {HotKeyAction::captureArea, HotKeyAction::allInOne, HotKeyAction::captureFullscreen,
             HotKeyAction::captureWindow, HotKeyAction::capturePreviousArea, HotKeyAction::selfTimer,
             HotKeyAction::scrollingCapture, HotKeyAction::captureText, HotKeyAction::recordScreen}) {
        coordinator.perform(action);
        EXPECT_EQ(SelectionOverlay::active(), nullptr) << int(action);
    }
    EXPECT_EQ(screen.screenGrabs.size(), grabs);
    EXPECT_EQ(CaptureHistory::shared().items().size(), history);
    EXPECT_TRUE(surfaces.recordings.empty());

    coordinator.perform(HotKeyAction::openHistory);
    EXPECT_EQ(surfaces.historyWindows, 1);
    clipboard.write(ClipboardContents {QImage(20, 10, QImage::Format_RGB32), {}, {}});
    coordinator.perform(HotKeyAction::pinFromClipboard);
    EXPECT_EQ(surfaces.pins.size(), 1u);

    // A second start, from anywhere, leaves the running one alone.
    ScrollingCapture::start(right(), QRectF(0, 0, 50, 50));
    EXPECT_EQ(ScrollingCapture::active(), capture);
    EXPECT_EQ(capture->screen(), left());
    capture->cancelAction();
    EXPECT_EQ(ScrollingCapture::active(), nullptr);
    coordinator.perform(HotKeyAction::captureArea);
    EXPECT_NE(SelectionOverlay::active(), nullptr) << "captures run again once it ends";
}

// Done pressed while a frame is being grabbed (the grab lets the event loop run): the picture
// as it stood goes out once, the frame in flight is dropped, and nothing touches the finished
// capture afterwards.
TEST_F(ScrollingCaptureTest, DoneDuringAGrabDeliversWhatWasThereOnce)
{
    const QImage page = test::documentPage(300, 2000, 13);
    ScrollingCapture* capture = begin(left(), QRect(100, 80, 300, 400), page);
    scrollTo(100);
    ASSERT_EQ(capture->height(), 500);
    screen.duringGrab = [&] {
        screen.duringGrab = nullptr;
        QTest::mouseClick(capture->panel()->doneButton(), Qt::LeftButton);
        QTest::qWait(20); // the event loop runs inside the grab, deferred deletions included
    };
    scrollTo(200);
    EXPECT_EQ(ScrollingCapture::active(), nullptr);
    ASSERT_EQ(delivered().size(), 1u);
    EXPECT_EQ(delivered()[0]->image->size(), QSize(300, 500));
    EXPECT_TRUE(sameRows(*delivered()[0]->image, page, 0));
    QTest::qWait(2 * ScrollingCapture::frameIntervalMs + 50);
    EXPECT_EQ(delivered().size(), 1u);
}

TEST_F(ScrollingCaptureTest, ReturnOnThePanelIsDone)
{
    ScrollingCapture* capture = begin(left(), QRect(100, 80, 300, 400), test::documentPage(300, 1000, 17));
    ScrollingCapturePanel* panel = capture->panel();
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel->isActiveWindow(); }, 2000)) << "the panel takes the keyboard";
    QTest::keyClick(panel, Qt::Key_Return);
    EXPECT_EQ(ScrollingCapture::active(), nullptr);
    EXPECT_EQ(delivered().size(), 1u);
}

TEST_F(ScrollingCaptureTest, StopsByItselfPast30000Rows)
{
    const QImage page = test::documentPage(96, 31000, 19);
    ScrollingCapture* capture = begin(left(), QRect(10, 10, 96, 300), page);
    int top = 0;
    while (ScrollingCapture::active() && top + 540 <= page.height()) {
        top += 240;
        scrollTo(top);
        ASSERT_TRUE(ScrollingCapture::active() == nullptr || capture->height() <= 30000) << top;
    }
    EXPECT_EQ(ScrollingCapture::active(), nullptr);
    ASSERT_EQ(delivered().size(), 1u);
    const QImage& picture = *delivered()[0]->image;
    EXPECT_GT(picture.height(), 30000);
    EXPECT_EQ(picture.height(), top + 300);
    EXPECT_TRUE(sameRows(picture, page, 0));
}

TEST_F(ScrollingCaptureTest, BadInputEndsQuietlyWithWhatThereIs)
{
    // An area under 21 rows: nothing can follow the first frame, which is what Done delivers.
    const QImage page = test::documentPage(300, 1000, 23);
    ScrollingCapture* tiny = begin(left(), QRect(100, 80, 300, 20), page);
    for (int top : {3, 7, 12})
        scrollTo(top);
    tiny->doneAction();
    ASSERT_EQ(delivered().size(), 1u);
    EXPECT_EQ(delivered()[0]->image->size(), QSize(300, 20));
    EXPECT_TRUE(sameRows(*delivered()[0]->image, page, 0));

    // No frame ever arrived: Done delivers nothing and says nothing.
    screen.failing = true;
    toasts.requests.clear();
    ScrollingCapture* blind = begin(left(), QRect(100, 80, 300, 400), page);
    blind->tick();
    blind->doneAction();
    EXPECT_EQ(ScrollingCapture::active(), nullptr);
    EXPECT_EQ(delivered().size(), 1u);
    EXPECT_TRUE(toasts.requests.empty());
    screen.failing = false;

    // The screen goes away mid-capture: what was collected is delivered.
    ScrollingCapture* unplugged = begin(left(), QRect(100, 80, 300, 400), page);
    scrollTo(150);
    Q_EMIT qGuiApp->screenRemoved(left());
    EXPECT_EQ(ScrollingCapture::active(), nullptr);
    ASSERT_EQ(delivered().size(), 2u);
    EXPECT_EQ(delivered()[1]->image->size(), QSize(300, 550));
    EXPECT_TRUE(sameRows(*delivered()[1]->image, page, 0));
    (void)unplugged;
}
