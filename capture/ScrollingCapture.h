// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ScrollStitcher.h"
#include "ScrollingCapturePanel.h"
#include "ScrollingFrameWindow.h"

#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QScreen>

#include <optional>

class QTimer;

namespace vantrel {

// A capture of an area that the user scrolls: every 0.18 s the area is grabbed and the rows that
// scrolled into view are added to one tall picture, which "Done" (or Return, or reaching the
// height limit) delivers as a `scrolling` capture and "Cancel" discards. At most one runs at a
// time; while it runs the capture coordinator refuses other captures.
class ScrollingCapture : public QObject
{
    Q_OBJECT
public:
    static constexpr int frameIntervalMs = 180;

    // Starts capturing `rect` (points, relative to the screen's top-left, y down) of `screen`,
    // unless a scrolling capture runs already.
    static void start(QScreen* screen, const QRectF& rect);
    // The running capture, or none.
    static ScrollingCapture* active();

    ~ScrollingCapture() override;

    void doneAction() { finish(true); }
    void cancelAction() { finish(false); }
    // Ends the capture: the clock stops, the ring and panel go, the slot empties; with `deliver`
    // the picture collected so far goes to the coordinator (nothing when no frame arrived).
    // A frame being grabbed meanwhile is not added.
    void finish(bool deliver);

    // One step of the frame clock: grab the area and stitch the frame. Skipped while the
    // previous step is still grabbing, so frames never pile up.
    void tick();

    QScreen* screen() const { return m_screen; }
    QRectF rect() const { return m_rect; }
    // The rectangle grabbed (points, relative to the screen): the area, less the strip behind
    // the panel when the panel had to sit inside it.
    QRectF capturedRect() const { return m_capturedRect; }
    bool capturing() const { return m_capturing; }
    double scale() const { return m_scale; }
    int width() const { return m_stitcher.width(); }
    int height() const { return m_stitcher.height(); }
    QString statusText() const;
    ScrollingFrameWindow* frameWindow() const { return m_frameWindow; }
    ScrollingCapturePanel* panel() const { return m_panel; }
    int framesGrabbed() const { return m_framesGrabbed; }

private:
    ScrollingCapture(QScreen* screen, const QRectF& rect);
    void buildInterface();
    void updateStatus();

    QPointer<QScreen> m_screen;
    QRectF m_rect;
    QRectF m_capturedRect;
    QPointer<ScrollingFrameWindow> m_frameWindow;
    QPointer<ScrollingCapturePanel> m_panel;
    QTimer* m_timer = nullptr;
    bool m_capturing = false;
    bool m_finished = false;
    double m_scale = 2.0;
    ScrollStitcher m_stitcher;
    int m_framesGrabbed = 0;
    std::optional<quint64> m_previousFocus; // the window that had the keyboard before the panel
};

} // namespace vantrel
