// SPDX-License-Identifier: GPL-3.0-or-later
#include "QuickAccessManager.h"

#include "CaptureItem.h"
#include "QuickAccessPanel.h"
#include "ScreenCapture.h"
#include "Settings.h"
#include "SurfaceGeometry.h"

#include <QScreen>

#include <vector>

namespace vantrel {

QuickAccessManager& QuickAccessManager::shared()
{
    static QuickAccessManager instance;
    return instance;
}

QList<QuickAccessPanel*> QuickAccessManager::panels() const
{
    QList<QuickAccessPanel*> result;
    for (const QPointer<QuickAccessPanel>& panel : m_panels) {
        if (panel)
            result.append(panel.data());
    }
    return result;
}

void QuickAccessManager::show(const std::shared_ptr<CaptureItem>& item)
{
    if (!item)
        return;
    auto* panel = new QuickAccessPanel(item, this);
    m_panels.append(panel);
    layout(false);
    panel->present(Settings::shared().overlayCorner());
}

void QuickAccessManager::restore()
{
    if (!m_lastClosed)
        return;
    const std::shared_ptr<CaptureItem> item = std::move(m_lastClosed);
    m_lastClosed.reset();
    show(item);
}

void QuickAccessManager::dismiss(QuickAccessPanel* panel, bool remember)
{
    // A thumbnail already on its way out is not dismissed twice.
    if (!panel || panel->isDismissing() || !m_panels.contains(panel))
        return;
    if (remember)
        m_lastClosed = panel->item();
    m_panels.removeAll(panel);
    panel->animateOut(Settings::shared().overlayCorner());
    layout(true);
}

void QuickAccessManager::layout(bool animated, QuickAccessPanel* immediate)
{
    m_panels.removeAll(nullptr);
    QScreen* screen = ScreenCapture::screenUnderMouse();
    if (!screen)
        return;
    std::vector<QuickAccessPanel*> newestFirst;
    std::vector<QSizeF> sizes;
    for (auto it = m_panels.crbegin(); it != m_panels.crend(); ++it) {
        newestFirst.push_back(it->data());
        sizes.emplace_back((*it)->size());
    }
    const std::vector<QPointF> origins
        = stackedOrigins(QRectF(screen->availableGeometry()), sizes, Settings::shared().overlayCorner());
    for (size_t i = 0; i < origins.size(); ++i)
        newestFirst[i]->moveTo(origins[i].toPoint(), animated && newestFirst[i] != immediate);
}

} // namespace vantrel
