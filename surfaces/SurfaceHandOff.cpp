// SPDX-License-Identifier: GPL-3.0-or-later
#include "SurfaceHandOff.h"

#include "EditorWindowController.h"
#include "Service.h"
#include "SystemLog.h"

namespace vantrel {

void openInEditor(const std::shared_ptr<CaptureItem>& item)
{
    if (SurfaceHandOff* handOff = Service<SurfaceHandOff>::find())
        handOff->openEditor(item);
    else
        EditorWindowController::open(item);
}

void recognizeTextIn(const QImage& image)
{
    if (SurfaceHandOff* handOff = Service<SurfaceHandOff>::find())
        handOff->recognizeText(image);
    else
        pendingTextRecognition(image);
}

void pendingTextRecognition(const QImage&)
{
    systemLog(QStringLiteral("Vantrel: text recognition is not built yet; nothing was copied"));
}

} // namespace vantrel
