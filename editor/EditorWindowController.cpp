// SPDX-License-Identifier: GPL-3.0-or-later
#include "EditorWindowController.h"

#include "SystemLog.h"

namespace vantrel {

void EditorWindowController::open(const std::shared_ptr<CaptureItem>& item)
{
    systemLog(QStringLiteral("Vantrel: the annotation editor is not built yet; the image is not opened"));
}

} // namespace vantrel
