// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppEditorSurfaces.h"

#include "PinWindow.h"
#include "SystemLog.h"

namespace vantrel {

void AppEditorSurfaces::pin(const QImage& image, double scale)
{
    PinWindow::pin(image, scale);
}

void AppEditorSurfaces::recognizeText(const QImage&)
{
    systemLog(QStringLiteral("Vantrel: text recognition is not built yet"));
}

} // namespace vantrel
