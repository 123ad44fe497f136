// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DesktopFakes.h"
#include "Fakes.h"
#include "PreferenceStore.h"
#include "RecordingSurfaces.h"
#include "ScreenGrabber.h"
#include "SelectionOverlay.h"
#include "Service.h"
#include "Settings.h"
#include "Sounds.h"
#include "Toasts.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace vantrel::test {

class CountingSounds : public Sounds
{
public:
    void playCapture() override { ++captures; }
    void playTick() override { ++ticks; }
    int captures = 0;
    int ticks = 0;
};

// Every service the capture flow touches, replaced; two screens (the right one at scale 2).
class FlowFixture : public ::testing::Test, protected DesktopFakes
{
protected:
    FakeScreenGrabber grabber;
    ScopedService<ScreenGrabber> grabberSlot {&grabber};
    RecordingSurfaces surfaces;
    ScopedService<CaptureSurfaces> surfacesSlot {&surfaces};
    CountingSounds sounds;
    ScopedService<Sounds> soundsSlot {&sounds};

    void SetUp() override
    {
        ASSERT_EQ(QGuiApplication::screens().size(), 2) << "the test needs the two-screen offscreen configuration";
        SelectionOverlay::lastSelectionByDisplay().clear();
    }
    void TearDown() override
    {
        if (SelectionOverlay* overlay = SelectionOverlay::active())
            overlay->cancel();
        settleCompletions();
    }

    // Lets the completion of an overlay that has just finished land in this test. Timers of
    // equal delay fire in the order they were set, so once one set now has fired, it has.
    static void settleCompletions()
    {
        bool passed = false;
        QTimer::singleShot(SelectionOverlay::completionDelayMs, [&] { passed = true; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return passed; }, 3000));
    }

    static QScreen* left() { return QGuiApplication::screens().at(0); }
    static QScreen* right() { return QGuiApplication::screens().at(1); }

    bool toastShown(const QString& text) const
    {
        return std::any_of(
            toasts.requests.begin(), toasts.requests.end(), [&](const ToastRequest& r) { return r.text == text; });
    }
};

} // namespace vantrel::test
