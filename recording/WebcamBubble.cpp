// SPDX-License-Identifier: GPL-3.0-or-later
#include "WebcamBubble.h"

#include "SystemLog.h"

namespace vantrel {

WebcamBubble& WebcamBubble::shared()
{
    static WebcamBubble instance;
    return instance;
}

void WebcamBubble::show(QScreen*, const QRectF&)
{
    systemLog(QStringLiteral("Vantrel: the webcam bubble is not built yet"));
}

void WebcamBubble::hide()
{ }

} // namespace vantrel
