// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaptureCoordinator.h"

#include "CaptureHistory.h"
#include "CaptureItem.h"
#include "FlowFixture.h"
#include "OverlayTypes.h"
#include "OverlayView.h"
#include "PlatformCapabilities.h"
#include "ScrollingCapture.h"

#include <QCursor>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrel;

namespace {

class CoordinatorTest : public test::FlowFixture
{
protected:
    CaptureCoordinator& coordinator = CaptureCoordinator::shared();

    size_t historyCount() { return CaptureHistory::shared().items().size(); }
    QImage picture(QSize size = {40, 30})
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        return image;
    }
    SelectionResult area(QScreen* screen, QRectF rect, OverlayAction action, std::optional<Capture> frozen = {})
    {
        return SelectionResult {SelectionResult::Area {screen, rect}, action, std::move(frozen)};
    }
};

} // namespace

TEST_F(CoordinatorTest, AfterCaptureStepsFollowTheSettings)
{
    struct Case
    {
        bool copy, save, editor, overlay;
        bool expectEditor, expectThumbnail, expectCopiedToast;
    };
    const std::vector<Case> cases = {
        {false, false, false, false, false, false, false},
        {true, false, false, true, false, true, false},
        {true, false, false, false, false, false, true},
        {false, false, true, true, true, false, false},
        {true, true, true, false, true, false, false},
        {false, true, false, false, false, false, false},
    };
    QTemporaryDir saveDir;
    settings.setSaveDirectory(saveDir.path());
    for (const Case& c : cases) {
        settings.setAfterCopy(c.copy);
        settings.setAfterSave(c.save);
        settings.setAfterOpenEditor(c.editor);
        settings.setAfterShowOverlay(c.overlay);
        surfaces.editors.clear();
        surfaces.thumbnails.clear();
        toasts.requests.clear();
        clipboard.current.reset();
        const size_t before = historyCount();
        const int savedBefore = QDir(saveDir.path()).entryList(QDir::Files).size();
        const int soundsBefore = sounds.captures;
        const std::string label
            = std::to_string(c.copy) + std::to_string(c.save) + std::to_string(c.editor) + std::to_string(c.overlay);

        coordinator.deliver(picture(), CaptureKind::screenshot, 1.0);

        EXPECT_EQ(historyCount(), before + 1) << label;
        EXPECT_EQ(sounds.captures, soundsBefore + 1) << label;
        EXPECT_EQ(surfaces.editors.size(), c.expectEditor ? 1u : 0u) << label;
        EXPECT_EQ(surfaces.thumbnails.size(), c.expectThumbnail ? 1u : 0u) << label;
        EXPECT_EQ(toastShown(QStringLiteral("Copied to clipboard")), c.expectCopiedToast) << label;
        EXPECT_EQ(clipboard.current.has_value(), c.copy) << label;
        EXPECT_EQ(QDir(saveDir.path()).entryList(QDir::Files).size(), savedBefore + (c.save ? 1 : 0)) << label;
        // A save made by the pipeline is quiet.
        EXPECT_FALSE(std::any_of(toasts.requests.begin(), toasts.requests.end(), [](const ToastRequest& r) {
            return r.text.startsWith(QStringLiteral("Saved to"));
        })) << label;
    }
    settings.setPlaySound(false);
    const int soundsBefore = sounds.captures;
    coordinator.deliver(picture(), CaptureKind::screenshot, 1.0);
    EXPECT_EQ(sounds.captures, soundsBefore);
    CaptureHistory::shared().waitForPendingWrites();
}

// A Wayland desktop takes the clipboard only from a client that has the keyboard focus, so an
// area cut from the frozen screen is copied while the overlay is still up, and only once; a live
// capture can only be copied once it is taken, after the overlay has left.
TEST_F(CoordinatorTest, AnAreaIsCopiedWhileTheOverlayStillHasTheFocus)
{
    class WatchingClipboard : public test::FakeClipboard
    {
    public:
        void write(const ClipboardContents& contents) override
        {
            FakeClipboard::write(contents);
            const SelectionOverlay* overlay = SelectionOverlay::active();
            overlayShown.push_back(overlay
                && std::any_of(overlay->views().begin(), overlay->views().end(),
                    [](const OverlayView* view) { return view->isVisible(); }));
        }
        std::vector<bool> overlayShown;
    };
    settings.setAfterCopy(true);
    settings.setAfterShowOverlay(false);
    settings.setAfterOpenEditor(false);
    for (const bool freeze : {true, false}) {
        WatchingClipboard watching;
        ScopedService<Clipboard> slot(&watching);
        settings.setFreezeScreen(freeze);
        const size_t before = historyCount();
        coordinator.perform(HotKeyAction::captureArea);
        ASSERT_NE(SelectionOverlay::active(), nullptr);
        OverlayView* view = SelectionOverlay::active()->views().at(1);
        QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, QPoint(10, 20));
        QTest::mouseMove(view, QPoint(30, 30));
        QTest::mouseMove(view, QPoint(50, 40));
        QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, QPoint(50, 40));
        ASSERT_TRUE(QTest::qWaitFor([&] { return historyCount() == before + 1; }, 3000)) << freeze;

        ASSERT_EQ(watching.overlayShown.size(), 1u) << freeze;
        EXPECT_EQ(watching.overlayShown.front(), freeze);
        ASSERT_TRUE(watching.current && watching.current->image) << freeze;
        EXPECT_EQ(watching.current->image->size(), QSize(80, 40)) << freeze; // 40 × 20 points at scale 2
        EXPECT_EQ(watching.current->image->devicePixelRatio(), 2.0) << freeze;
        EXPECT_TRUE(toastShown(QStringLiteral("Copied to clipboard"))) << freeze;
        toasts.requests.clear();
    }
    CaptureHistory::shared().waitForPendingWrites();
}

TEST_F(CoordinatorTest, FrozenPicturesAreCroppedOutwardsToWholePixels)
{
    Capture frozen {grabber.screenImage(right()), 2.0, CaptureKind::screenshot};
    auto capture = coordinator.captureRegion(right(), QRectF(10.2, 10.7, 5.1, 5.1), frozen);
    ASSERT_TRUE(capture.has_value());
    EXPECT_EQ(capture->image.size(), QSize(11, 11)); // pixels 20…30 and 21…31
    EXPECT_EQ(capture->image.pixel(0, 0), test::FakeScreenGrabber::syntheticPixel(1, 20, 21));
    EXPECT_EQ(capture->scale, 2.0);
    EXPECT_TRUE(grabber.screenGrabs.empty() || grabber.screenGrabs.size() == 0);

    EXPECT_FALSE(coordinator.captureRegion(right(), QRectF(5000, 5000, 10, 10), frozen).has_value());
    EXPECT_EQ(outwardPixelRect(QRectF(0.5, 0.5, 1, 1), 1.0), QRect(0, 0, 2, 2));
}

TEST_F(CoordinatorTest, LiveCapturesReportFailuresByToast)
{
    auto live = coordinator.captureRegion(left(), QRectF(10, 10, 30, 20), std::nullopt);
    ASSERT_TRUE(live.has_value());
    EXPECT_EQ(live->image.size(), QSize(30, 20));

    grabber.failingScreens.insert(left());
    EXPECT_FALSE(coordinator.captureRegion(left(), QRectF(10, 10, 30, 20), std::nullopt).has_value());
    ASSERT_FALSE(toasts.requests.empty());
    EXPECT_TRUE(toasts.requests.back().text.startsWith(QStringLiteral("Capture failed: ")));
    EXPECT_EQ(toasts.requests.back().symbol, QStringLiteral("exclamationmark.triangle.fill"));

    QCursor::setPos(left()->geometry().center());
    coordinator.perform(HotKeyAction::captureFullscreen);
    EXPECT_EQ(toasts.requests.back().text, QStringLiteral("Capture failed"));
}

TEST_F(CoordinatorTest, WindowCapturesGetTheirBackgroundOrAToastOnFailure)
{
    WindowInfo window;
    window.id = 9;
    window.frame = QRect(100, 100, 200, 100);
    window.nativeFrame = window.frame;
    grabber.windows = {window};
    settings.setWindowBackground(true);
    settings.setWindowBackgroundPreset(7);
    settings.setAfterShowOverlay(true);
    coordinator.handleSelection(SelectionResult {window, OverlayAction::screenshot, std::nullopt});
    ASSERT_EQ(surfaces.backgrounds.size(), 1u);
    EXPECT_EQ(surfaces.backgrounds[0].first, 7);
    ASSERT_EQ(surfaces.thumbnails.size(), 1u);
    EXPECT_EQ(surfaces.thumbnails[0]->kind, CaptureKind::window);

    grabber.failingWindows.insert(9);
    coordinator.handleSelection(SelectionResult {window, OverlayAction::screenshot, std::nullopt});
    EXPECT_EQ(toasts.requests.back().text, QStringLiteral("Window capture failed"));
    EXPECT_EQ(surfaces.thumbnails.size(), 1u);
    CaptureHistory::shared().waitForPendingWrites();
}

// What a desktop without a window list (Wayland) gets for window capture and recording: the
// desktop's own picker, or a message, never an overlay that cannot pick anything.
TEST_F(CoordinatorTest, WindowCaptureAndRecordingFollowWhatTheDesktopAllows)
{
    const PlatformCapabilities saved = platformCapabilities();
    struct Case
    {
        WindowSelection selection;
        bool expectOverlay;
        bool expectPickerGrab;
        const char* expectToast; // empty: none
    };
    const std::vector<Case> cases = {
        {WindowSelection::list, true, false, ""},
        {WindowSelection::picker, false, true, ""},
        {WindowSelection::none, false, false, "This desktop does not let Vantrel capture single windows"},
    };
    settings.setAfterShowOverlay(true);
    grabber.windowImages[0] = picture({50, 40});
    for (const Case& c : cases) {
        PlatformCapabilities capabilities;
        capabilities.windowSelection = c.selection;
        setPlatformCapabilities(capabilities);
        toasts.requests.clear();
        grabber.windowGrabs.clear();
        surfaces.thumbnails.clear();
        const size_t before = historyCount();
        const int label = int(c.selection);

        coordinator.perform(HotKeyAction::captureWindow);

        SelectionOverlay* overlay = SelectionOverlay::active();
        EXPECT_EQ(overlay != nullptr, c.expectOverlay) << label;
        if (overlay) {
            EXPECT_EQ(overlay->purpose(), OverlayPurpose::window) << label;
            overlay->cancel();
        }
        // The picker's window has no id of Vantrel's: the grabber is asked for window 0.
        EXPECT_EQ(grabber.windowGrabs, c.expectPickerGrab ? std::vector<quint32> {0} : std::vector<quint32> {})
            << label;
        EXPECT_EQ(surfaces.thumbnails.size(), c.expectPickerGrab ? 1u : 0u) << label;
        EXPECT_EQ(historyCount(), before + (c.expectPickerGrab ? 1 : 0)) << label;
        EXPECT_EQ(toastShown(QString::fromUtf8(c.expectToast)), *c.expectToast != 0) << label;
        // Space has nothing to switch to without a list, and the hints do not offer it.
        const bool list = c.selection == WindowSelection::list;
        EXPECT_EQ(offersWindowMode(OverlayPurpose::allInOne), list) << label;
        EXPECT_EQ(areaHint(OverlayPurpose::allInOne).contains(QStringLiteral("Space")), list) << label;
        EXPECT_EQ(areaHint(OverlayPurpose::record).contains(QStringLiteral("Space")), list) << label;
    }

    PlatformCapabilities noRecording;
    noRecording.recording = false;
    setPlatformCapabilities(noRecording);
    toasts.requests.clear();
    coordinator.perform(HotKeyAction::recordScreen);
    EXPECT_EQ(SelectionOverlay::active(), nullptr);
    EXPECT_TRUE(toastShown(QStringLiteral("Screen recording is not available on this desktop yet")));

    setPlatformCapabilities(saved);
    coordinator.perform(HotKeyAction::recordScreen);
    ASSERT_NE(SelectionOverlay::active(), nullptr);
    EXPECT_EQ(SelectionOverlay::active()->purpose(), OverlayPurpose::record);
    CaptureHistory::shared().waitForPendingWrites();
}

TEST_F(CoordinatorTest, AreasGoWhereTheirActionSays)
{
    settings.setAfterShowOverlay(true);
    const size_t before = historyCount();
    coordinator.handleSelection(area(left(), QRectF(0, 0, 20, 20), OverlayAction::ocr));
    EXPECT_EQ(surfaces.recognized.size(), 1u);
    EXPECT_EQ(historyCount(), before); // text is copied, not kept
    EXPECT_EQ(sounds.captures, 0);
    // The scale-2 screen's pixels go with their scale, so recognition does not magnify them.
    coordinator.handleSelection(area(right(), QRectF(0, 0, 20, 20), OverlayAction::ocr));
    ASSERT_EQ(surfaces.recognized.size(), 2u);
    EXPECT_EQ(surfaces.recognized[1].first.size(), QSize(40, 40));
    EXPECT_EQ(surfaces.recognized[1].second, 2.0);

    coordinator.handleSelection(area(right(), QRectF(1, 2, 30, 40), OverlayAction::recordGIF));
    ASSERT_EQ(surfaces.recordings.size(), 1u);
    EXPECT_TRUE(surfaces.recordings[0].gif);
    EXPECT_EQ(surfaces.recordings[0].screen, right());
    coordinator.handleSelection(area(left(), QRectF(1, 2, 30, 40), OverlayAction::scrolling));
    ASSERT_NE(ScrollingCapture::active(), nullptr);
    EXPECT_EQ(ScrollingCapture::active()->screen(), left());
    EXPECT_EQ(ScrollingCapture::active()->rect(), QRectF(1, 2, 30, 40));
    ScrollingCapture::active()->cancelAction();
    EXPECT_EQ(historyCount(), before + 0);

    // A self-timer of 0 seconds captures at once, from the live screen.
    settings.setSelfTimerSeconds(0);
    grabber.screenGrabs.clear();
    coordinator.handleSelection(area(left(), QRectF(0, 0, 20, 20), OverlayAction::selfTimer,
        Capture {grabber.screenImage(left()), 1.0, CaptureKind::screenshot}));
    EXPECT_EQ(historyCount(), before + 1);
    EXPECT_EQ(grabber.screenGrabs.size(), 1u);
    CaptureHistory::shared().waitForPendingWrites();
}

TEST_F(CoordinatorTest, ANewCountdownCancelsTheOldOneWhichNeverFires)
{
    std::vector<std::pair<int, bool>> calls;
    coordinator.startCountdown(3, [&](bool fired) { calls.emplace_back(1, fired); });
    ASSERT_EQ(toasts.requests.size(), 1u);
    EXPECT_EQ(toasts.requests[0].text, QStringLiteral("3"));
    EXPECT_TRUE(toasts.requests[0].large);
    EXPECT_DOUBLE_EQ(toasts.requests[0].duration, 0.9);
    coordinator.startCountdown(2, [&](bool fired) { calls.emplace_back(2, fired); });
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], std::make_pair(1, false));
    EXPECT_EQ(toasts.dismissals, 1); // its digit left at once
    EXPECT_EQ(toasts.requests.back().text, QStringLiteral("2"));

    ASSERT_TRUE(QTest::qWaitFor([&] { return calls.size() == 2; }, 4000));
    EXPECT_EQ(calls[1], std::make_pair(2, true));
    QStringList digits;
    for (const ToastRequest& r : toasts.requests)
        digits.append(r.text);
    EXPECT_EQ(digits, (QStringList {QStringLiteral("3"), QStringLiteral("2"), QStringLiteral("1")}));
    EXPECT_EQ(sounds.ticks, 3);

    // Nothing pending: cancelling does nothing; a countdown of 0 fires at once.
    coordinator.cancelCountdown();
    bool fired = false;
    coordinator.startCountdown(0, [&](bool f) { fired = f; });
    EXPECT_TRUE(fired);
}

TEST_F(CoordinatorTest, PreviousAreaUsesTheStoredAreaOrFallsBackToTheOverlay)
{
    coordinator.perform(HotKeyAction::capturePreviousArea);
    EXPECT_NE(SelectionOverlay::active(), nullptr); // nothing stored: like Capture Area
    EXPECT_EQ(SelectionOverlay::active()->purpose(), OverlayPurpose::screenshot);
    SelectionOverlay::active()->cancel();

    // Stored on the right display only; the pointer is on the left one.
    SelectionOverlay::lastSelectionByDisplay()[101] = QRectF(10, 20, 30, 40);
    QCursor::setPos(left()->geometry().center());
    grabber.screenGrabs.clear();
    const size_t before = historyCount();
    coordinator.perform(HotKeyAction::capturePreviousArea);
    ASSERT_EQ(grabber.screenGrabs.size(), 1u);
    EXPECT_EQ(grabber.screenGrabs[0].first, right());
    EXPECT_EQ(grabber.screenGrabs[0].second, QRect(20, 40, 60, 80)); // native pixels at scale 2
    EXPECT_EQ(historyCount(), before + 1);
    CaptureHistory::shared().waitForPendingWrites();
}

TEST_F(CoordinatorTest, WhatRunsDuringARecordingOrWhileTheOverlayIsOpen)
{
    surfaces.recording = true;
    coordinator.perform(HotKeyAction::recordScreen);
    EXPECT_EQ(surfaces.stops, 1);
    coordinator.perform(HotKeyAction::captureArea);
    coordinator.perform(HotKeyAction::captureFullscreen);
    EXPECT_EQ(SelectionOverlay::active(), nullptr);
    EXPECT_TRUE(grabber.screenGrabs.empty());
    coordinator.perform(HotKeyAction::openHistory);
    EXPECT_EQ(surfaces.historyWindows, 1);
    surfaces.recording = false;

    coordinator.perform(HotKeyAction::captureArea);
    SelectionOverlay* open = SelectionOverlay::active();
    ASSERT_NE(open, nullptr);
    const size_t grabs = grabber.screenGrabs.size();
    const size_t records = historyCount();
    // The overlay holds the keyboard, so no shortcut arrives now; an action from the command
    // line does nothing either, whatever it is (there is a picture to pin).
    clipboard.write(ClipboardContents {picture({20, 10}), {}, {}});
    for (HotKeyAction action : allHotKeyActions)
        coordinator.perform(action);
    EXPECT_EQ(SelectionOverlay::active(), open);
    EXPECT_EQ(open->purpose(), OverlayPurpose::screenshot);
    EXPECT_EQ(grabber.screenGrabs.size(), grabs);
    EXPECT_EQ(historyCount(), records);
    EXPECT_EQ(surfaces.historyWindows, 1);
    EXPECT_TRUE(surfaces.pins.empty());
    EXPECT_EQ(surfaces.stops, 1);
}

TEST_F(CoordinatorTest, PinningTakesTheClipboardPictureAtItsScale)
{
    coordinator.perform(HotKeyAction::pinFromClipboard);
    EXPECT_EQ(toasts.requests.back().text, QStringLiteral("No image on the clipboard"));
    EXPECT_EQ(toasts.requests.back().symbol, QStringLiteral("doc.on.clipboard"));

    QImage image = picture({200, 100});
    image.setDevicePixelRatio(2.0);
    clipboard.write(ClipboardContents {image, {}, {}});
    surfaces.recording = true; // pinning works during a recording
    coordinator.perform(HotKeyAction::pinFromClipboard);
    ASSERT_EQ(surfaces.pins.size(), 1u);
    EXPECT_EQ(surfaces.pins[0].first.size(), QSize(200, 100));
    EXPECT_DOUBLE_EQ(surfaces.pins[0].second, 2.0);
}

TEST_F(CoordinatorTest, AShortcutWhileTheScreensFreezeStartsNoSecondOverlay)
{
    // Freezing lets the event loop run; a press arriving then reaches perform() again.
    class ReentrantGrabber : public test::FakeScreenGrabber
    {
    public:
        Expected<QImage> grabScreen(const QScreen* screen, const QRect& rect) override
        {
            if (!entered) {
                entered = true;
                CaptureCoordinator::shared().perform(HotKeyAction::captureWindow);
            }
            return test::FakeScreenGrabber::grabScreen(screen, rect);
        }
        bool entered = false;
    };
    ReentrantGrabber reentrant;
    ScopedService<ScreenGrabber> slot(&reentrant);
    coordinator.perform(HotKeyAction::captureArea);
    ASSERT_TRUE(reentrant.entered);
    ASSERT_NE(SelectionOverlay::active(), nullptr);
    EXPECT_EQ(SelectionOverlay::active()->purpose(), OverlayPurpose::screenshot);
    EXPECT_EQ(reentrant.screenGrabs.size(), 2u); // one still picture per screen, once
}
