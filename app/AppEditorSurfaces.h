// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "EditorSurfaces.h"

namespace vantrel {

// The editor's Pin and Text buttons, connected to the pinned screenshots and text recognition.
class AppEditorSurfaces : public EditorSurfaces
{
public:
    void pin(const QImage& image, double scale) override;
    void recognizeText(const QImage& image) override;
};

} // namespace vantrel
