// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CaptureKind.h"
#include "OverlayTypes.h"
#include "SettingsTypes.h"

#include <QImage>
#include <QObject>
#include <QRectF>

#include <functional>
#include <memory>
#include <optional>

class QScreen;

namespace vantrel {

class CaptureItem;

// Turns every capture command into a capture: one road from menu items and shortcuts alike.
// It checks that a capture may start, opens the selection overlay, takes the picture, and runs
// the after-capture steps (sound, history, clipboard, save, editor or thumbnail).
class CaptureCoordinator : public QObject
{
    Q_OBJECT
public:
    static CaptureCoordinator& shared();

    void perform(HotKeyAction action);
    void handleSelection(const SelectionResult& result);
    void deliver(const QImage& image, CaptureKind kind, double scale);
    // `copied`: the picture is on the clipboard already, the copy step is done.
    void runAfterCaptureActions(const std::shared_ptr<CaptureItem>& item, bool copied = false);
    // The area of a screen (points, relative to its top-left), cropped from the still picture
    // when there is one, else grabbed afresh. None after a failure (reported by a toast).
    std::optional<Capture> captureRegion(QScreen* screen, const QRectF& rect, const std::optional<Capture>& frozen);
    bool ensureScreenCaptureAccess();
    void pinFromClipboard();

    // The self-timer's countdown (also the recorder's): shows the digits one second apart and
    // calls the completion with true when it runs out, or with false when it is cancelled or
    // replaced by another countdown.
    void startCountdown(int seconds, std::function<void(bool)> completion);
    void cancelCountdown();
    bool countdownPending() const { return static_cast<bool>(m_pendingCountdown); }
    bool grabbing() const { return m_grabbing; }

private:
    // A picture cut from the frozen screen the moment its area was chosen.
    struct ChosenCapture
    {
        Capture capture;
        bool copied = false; // already on the clipboard
    };
    void openOverlay(OverlayPurpose purpose);
    std::optional<ChosenCapture> takeChosenArea(const SelectionResult& result);
    void handleSelection(const SelectionResult& result, std::optional<ChosenCapture> chosen);
    void deliver(const Capture& capture, bool copied);
    void captureFullscreen();
    // Window mode as the desktop allows it: the overlay's window list, the desktop's picker, or
    // a message.
    void captureWindow();
    void capturePreviousArea();
    void tick(int remaining, quint64 token);

    // Set while a picture is being taken: a grab lets the event loop run while Vantrel's own
    // windows step aside, and a capture shortcut arriving then is ignored, not nested.
    bool m_grabbing = false;
    quint64 m_countdownToken = 0;
    std::function<void(bool)> m_pendingCountdown;
};

// The pixel rectangle of a point rectangle at `scale`, grown outwards to whole pixels.
QRect outwardPixelRect(const QRectF& points, double scale);

} // namespace vantrel
