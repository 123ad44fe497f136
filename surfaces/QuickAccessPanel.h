// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SettingsTypes.h"

#include <QPointer>
#include <QRect>
#include <QWidget>

#include <memory>

class QPropertyAnimation;
class QTimer;

namespace vantrel {

class CaptureItem;
class QuickAccessManager;
class QuickAccessView;

// One thumbnail's window: borderless, floating on every workspace, shown without taking focus
// and left out of captures. A click makes it the key window so that its shortcuts work. It
// closes itself after the overlayAutoClose setting's seconds unless the pointer rests on it.
// Geometry is in global points, y down.
class QuickAccessPanel : public QWidget
{
    Q_OBJECT
public:
    QuickAccessPanel(std::shared_ptr<CaptureItem> item, QuickAccessManager* manager);
    ~QuickAccessPanel() override;

    const std::shared_ptr<CaptureItem>& item() const { return m_item; }
    QuickAccessView* content() const { return m_content; }
    // A picture, as opposed to a recording or GIF file.
    bool isImageItem() const;

    // Where the stack put it last; an animation may still be on its way there.
    QRect targetFrame() const { return m_targetFrame; }
    void moveTo(const QPoint& origin, bool animated);
    // Slides in from 40 points outside its place while fading in, over 0.25 s.
    void present(OverlayCorner corner);
    // Slides 60 points outwards while fading out over 0.2 s, then leaves the screen for good.
    void animateOut(OverlayCorner corner);
    bool isDismissing() const { return m_dismissing; }

    bool closeTimerActive() const;
    int closeTimerInterval() const; // milliseconds

    // The thumbnail's actions. Copy, save, close, annotate and pin send the thumbnail away
    // (pin does nothing for a recording); copy text leaves it in place.
    void copyAction();
    void saveAction();
    void closeAction();
    void annotateAction();
    void pinAction();
    void copyTextAction();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void armCloseTimer();
    void closeTimerFired();
    void dismiss();

    std::shared_ptr<CaptureItem> m_item;
    QuickAccessManager* m_manager;
    QTimer* m_closeTimer;
    QuickAccessView* m_content;
    QRect m_targetFrame;
    QPointer<QPropertyAnimation> m_moveAnimation;
    bool m_dismissing = false;
};

} // namespace vantrel
