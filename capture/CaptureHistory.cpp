// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaptureHistory.h"

#include "SystemLog.h"

namespace vantrel {

CaptureHistory& CaptureHistory::shared()
{
    static CaptureHistory instance;
    return instance;
}

CaptureHistory::CaptureHistory()
{
    systemLog(QStringLiteral("Vantrel: the capture history is not built yet; captures are not kept"));
}

} // namespace vantrel
