// SPDX-License-Identifier: GPL-3.0-or-later
#include "SurfaceHandOff.h"

#include "EditorWindowController.h"
#include "Service.h"
#include "TextRecognition.h"

namespace vantrel {

void openInEditor(const std::shared_ptr<CaptureItem>& item)
{
    if (SurfaceHandOff* handOff = Service<SurfaceHandOff>::find())
        handOff->openEditor(item);
    else
        EditorWindowController::open(item);
}

void recognizeTextIn(const QImage& image, double scale)
{
    if (SurfaceHandOff* handOff = Service<SurfaceHandOff>::find())
        handOff->recognizeText(image, scale);
    else
        recognizeText(image, scale);
}

} // namespace vantrel
