// SPDX-License-Identifier: GPL-3.0-or-later
// Full-screen captures in a row under a real X server, with thumbnails and toasts closing while
// each grab has them withdrawn. The coordinator is driven in-process: the grab, the chrome
// withdrawal, the thumbnails and the toasts are the application's own.
#include "AppCaptureSurfaces.h"
#include "CaptureCoordinator.h"
#include "CaptureHistory.h"
#include "ChromeWindow.h"
#include "Fakes.h"
#include "QuickAccessManager.h"
#include "QuickAccessPanel.h"
#include "Service.h"
#include "Settings.h"
#include "ToastService.h"
#include "x11/X11ScreenGrabber.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

using namespace vantrel;
using namespace vantrel::test;

namespace {

class CaptureBurst : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Settings& settings = Settings::shared();
        settings.setPlaySound(false);
        settings.setAfterCopy(false);
        settings.setAfterSave(false);
        settings.setAfterOpenEditor(false);
        settings.setAfterShowOverlay(true);
        settings.setOverlayAutoClose(1);
        QCursor::setPos(QGuiApplication::primaryScreen()->geometry().center());
    }

    void TearDown() override
    {
        for (QuickAccessPanel* panel : QuickAccessManager::shared().panels())
            delete panel;
        toasts.dismiss();
        CaptureHistory::shared().waitForPendingWrites();
    }

    // Thumbnails that are on screen for the X server, so that the next grab withdraws them.
    static bool allThumbnailsMapped()
    {
        for (QuickAccessPanel* panel : QuickAccessManager::shared().panels()) {
            if (!panel->isDismissing() && !(panel->windowHandle() && panel->windowHandle()->isExposed()))
                return false;
        }
        return true;
    }

    X11ScreenGrabber grabber;
    ScopedService<ScreenGrabber> grabberSlot {&grabber};
    FakeClipboard clipboard;
    ScopedService<Clipboard> clipboardSlot {&clipboard};
    ToastService toasts;
    ScopedService<ToastPresenter> toastSlot {&toasts};
    AppCaptureSurfaces surfaces;
    ScopedService<CaptureSurfaces> surfacesSlot {&surfaces};
};

// How a chrome window goes away while a grab has it withdrawn: the ways Vantrel's own windows
// end, from the gentle to the abrupt.
enum class Closing {
    autoCloseAnimation, // the thumbnail's own dismissal: a fade, then a close
    deletedOutright, // a thumbnail deleted at once, as a deferred delete ends it
    toastReplaced, // the toast on screen replaced by a new one (the old one hides and goes)
    closedAndShownAgain, // a thumbnail hidden by its owner and shown again in the same wait
};

TEST_F(CaptureBurst, TwoHundredFullScreenCapturesWhileThumbnailsAndToastsCloseDuringTheGrabs)
{
    CaptureCoordinator& coordinator = CaptureCoordinator::shared();
    QuickAccessManager& thumbnails = QuickAccessManager::shared();
    const std::size_t listedBefore = CaptureHistory::shared().items().size();
    const Closing closings[]
        = {Closing::autoCloseAnimation, Closing::deletedOutright, Closing::toastReplaced, Closing::closedAndShownAgain};

    std::vector<QPointer<QuickAccessPanel>> deleted;
    constexpr int captures = 200;
    for (int i = 0; i < captures; ++i) {
        const Closing closing = closings[i % std::size(closings)];
        // A toast on screen (chrome too) so that every grab withdraws an unmanaged window as
        // well as the managed thumbnails.
        toasts.show({.text = QStringLiteral("Capture %1").arg(i), .symbol = QStringLiteral("display"), .duration = 30});

        // A zero timer queued now fires inside the grab's wait, while the chrome is withdrawn.
        const QList<QuickAccessPanel*> onScreen = thumbnails.panels();
        QPointer<QuickAccessPanel> victim = onScreen.isEmpty() ? nullptr : onScreen.first();
        int firedDuringGrab = 0;
        QTimer::singleShot(0, [&, closing, victim] {
            firedDuringGrab += coordinator.grabbing() ? 1 : 0;
            switch (closing) {
            case Closing::autoCloseAnimation:
                if (victim)
                    thumbnails.dismiss(victim);
                break;
            case Closing::deletedOutright:
                if (victim) {
                    deleted.emplace_back(victim);
                    delete victim.data();
                }
                break;
            case Closing::toastReplaced:
                toasts.show({.text = QStringLiteral("Replaced %1").arg(i),
                    .symbol = QStringLiteral("display"),
                    .duration = 30});
                break;
            case Closing::closedAndShownAgain:
                if (victim) {
                    victim->hide();
                    victim->show();
                }
                break;
            }
        });

        const std::size_t listed = CaptureHistory::shared().items().size();
        coordinator.perform(HotKeyAction::captureFullscreen);
        ASSERT_EQ(CaptureHistory::shared().items().size(), listed + 1) << "capture " << i << " was not listed";
        ASSERT_EQ(firedDuringGrab, 1) << "capture " << i << " took no time to let windows repaint";
        // The next capture once this one's thumbnail is on screen, as a user would press.
        ASSERT_TRUE(QTest::qWaitFor(allThumbnailsMapped, 5000)) << "capture " << i;
    }
    EXPECT_EQ(CaptureHistory::shared().items().size(), listedBefore + captures);

    // Nothing deleted came back, and every thumbnail still listed is on screen where the stack
    // put it (none left hidden by a grab).
    for (const QPointer<QuickAccessPanel>& gone : deleted)
        EXPECT_TRUE(gone.isNull());
    ASSERT_TRUE(QTest::qWaitFor(allThumbnailsMapped, 5000));
    for (QuickAccessPanel* panel : thumbnails.panels()) {
        if (!panel->isDismissing()) {
            EXPECT_TRUE(panel->isVisible());
        }
    }
    // A thumbnail that was dismissed during a grab stays closed: only listed ones show.
    int visibleThumbnails = 0;
    for (QWidget* window : chromeWindows())
        visibleThumbnails += qobject_cast<QuickAccessPanel*>(window) ? 1 : 0;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            visibleThumbnails = 0;
            for (QWidget* window : chromeWindows())
                visibleThumbnails += qobject_cast<QuickAccessPanel*>(window) ? 1 : 0;
            return visibleThumbnails == thumbnails.panels().size();
        },
        3000))
        << visibleThumbnails << " thumbnails on screen, " << thumbnails.panels().size() << " listed";
}

// A shortcut pressed while a grab waits for windows to repaint is ignored, not started inside it.
TEST_F(CaptureBurst, AShortcutDuringAGrabDoesNotStartASecondCapture)
{
    CaptureCoordinator& coordinator = CaptureCoordinator::shared();
    toasts.show({.text = QStringLiteral("On screen"), .symbol = QStringLiteral("display"), .duration = 30});
    ASSERT_TRUE(QTest::qWaitForWindowExposed(toasts.currentPanel(), 5000));
    const std::size_t listed = CaptureHistory::shared().items().size();
    QTimer::singleShot(0, [&] { coordinator.perform(HotKeyAction::captureFullscreen); });
    coordinator.perform(HotKeyAction::captureFullscreen);
    EXPECT_EQ(CaptureHistory::shared().items().size(), listed + 1);
}

} // namespace
