// SPDX-License-Identifier: GPL-3.0-or-later
#include "QuickAccessManager.h"

#include "SystemLog.h"

namespace vantrel {

QuickAccessManager& QuickAccessManager::shared()
{
    static QuickAccessManager instance;
    return instance;
}

void QuickAccessManager::restore()
{
    systemLog(QStringLiteral("Vantrel: quick access thumbnails are not built yet; nothing to restore"));
}

void QuickAccessManager::show(const std::shared_ptr<CaptureItem>&)
{
    systemLog(QStringLiteral("Vantrel: quick access thumbnails are not built yet"));
}

} // namespace vantrel
