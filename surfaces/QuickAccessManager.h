// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QPointer>

#include <memory>

namespace vantrel {

class CaptureItem;
class QuickAccessPanel;

// The thumbnails that slide in after each capture, stacked upwards from a bottom corner of the
// screen under the pointer, newest at the bottom. The last one dismissed can be brought back.
class QuickAccessManager
{
public:
    static QuickAccessManager& shared();

    // The thumbnails on screen, oldest first.
    QList<QuickAccessPanel*> panels() const;
    // The item of the thumbnail dismissed last, until it is restored.
    std::shared_ptr<CaptureItem> lastClosed() const { return m_lastClosed; }

    // Adds a thumbnail for a finished capture: the stack makes room at once and the new one
    // slides in.
    void show(const std::shared_ptr<CaptureItem>& item);
    // Shows the last dismissed item again as the newest thumbnail; nothing without one.
    void restore();
    // Sends a thumbnail away; the ones above slide down into the space.
    void dismiss(QuickAccessPanel* panel, bool remember = true);
    // Places the thumbnails newest first from the bottom corner (the overlayCorner setting) of
    // the visible frame of the screen under the pointer; `immediate` moves without animation.
    void layout(bool animated, QuickAccessPanel* immediate = nullptr);

private:
    QList<QPointer<QuickAccessPanel>> m_panels;
    std::shared_ptr<CaptureItem> m_lastClosed;
};

} // namespace vantrel
