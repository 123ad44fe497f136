// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaptureCoordinator.h"

#include "SystemLog.h"

namespace vantrel {

CaptureCoordinator& CaptureCoordinator::shared()
{
    static CaptureCoordinator instance;
    return instance;
}

void CaptureCoordinator::perform(HotKeyAction action)
{
    systemLog(QStringLiteral("Vantrel: the capture coordinator is not built yet; ignoring ") + rawValue(action));
}

} // namespace vantrel
