// SPDX-License-Identifier: GPL-3.0-or-later
#include "DesktopIconHider.h"

#include "SystemLog.h"

namespace vantrel {

DesktopIconHider& DesktopIconHider::shared()
{
    static DesktopIconHider instance;
    return instance;
}

void DesktopIconHider::apply(bool hidden)
{
    if (hidden)
        systemLog(QStringLiteral("Vantrel: hiding desktop icons is not built yet"));
}

} // namespace vantrel
