// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CaptureSurfaces.h"
#include "Clipboard.h"
#include "Fakes.h"
#include "PreferenceStore.h"
#include "ScreenGrabber.h"
#include "SelectionOverlay.h"
#include "Service.h"
#include "Settings.h"
#include "Sounds.h"
#include "Toasts.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

namespace vantrel::test {

// Remembers where the coordinator sent things.
class RecordingSurfaces : public CaptureSurfaces
{
public:
    void openEditor(const std::shared_ptr<CaptureItem>& item) override { editors.push_back(item); }
    void showQuickAccess(const std::shared_ptr<CaptureItem>& item) override { thumbnails.push_back(item); }
    void pin(const QImage& image, double scale) override { pins.emplace_back(image, scale); }
    void showHistory() override { ++historyWindows; }
    bool isRecording() override { return recording; }
    void startRecording(QScreen* screen, const QRectF& rect, bool gif) override
    {
        recordings.push_back({screen, rect, gif});
    }
    void stopRecording() override { ++stops; }
    bool isScrollingCaptureActive() override { return scrolling; }
    void startScrollingCapture(QScreen*, const QRectF& rect) override { scrollingAreas.push_back(rect); }
    void recognizeText(const QImage& image) override { recognized.push_back(image); }
    QImage applyWindowBackground(const QImage& image, int presetID, double scale) override
    {
        backgrounds.emplace_back(presetID, scale);
        return image.scaled(image.size() + QSize(10, 10));
    }

    struct Recording
    {
        QScreen* screen;
        QRectF rect;
        bool gif;
    };
    std::vector<std::shared_ptr<CaptureItem>> editors, thumbnails;
    std::vector<std::pair<QImage, double>> pins;
    std::vector<Recording> recordings;
    std::vector<QRectF> scrollingAreas;
    std::vector<QImage> recognized;
    std::vector<std::pair<int, double>> backgrounds;
    int historyWindows = 0;
    int stops = 0;
    bool recording = false;
    bool scrolling = false;
};

class CountingSounds : public Sounds
{
public:
    void playCapture() override { ++captures; }
    void playTick() override { ++ticks; }
    int captures = 0;
    int ticks = 0;
};

// Every service the capture flow touches, replaced; two screens (the right one at scale 2).
class FlowFixture : public ::testing::Test
{
protected:
    MemoryPreferenceStore store;
    ScopedService<PreferenceStore> storeSlot {&store};
    Settings settings {store};
    ScopedService<Settings> settingsSlot {&settings};
    FakeScreenGrabber grabber;
    ScopedService<ScreenGrabber> grabberSlot {&grabber};
    FakeClipboard clipboard;
    ScopedService<Clipboard> clipboardSlot {&clipboard};
    RecordingToasts toasts;
    ScopedService<ToastPresenter> toastsSlot {&toasts};
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
        // Completions arrive 0.12 s after an overlay finishes; let them land in this test.
        QTest::qWait(200);
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
