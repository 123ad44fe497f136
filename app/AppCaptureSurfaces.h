// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CaptureSurfaces.h"

namespace vantrel {

// Connects the capture coordinator to the editor, thumbnails, pins, history window, recorder
// and text recognition of this application.
class AppCaptureSurfaces : public CaptureSurfaces
{
public:
    void openEditor(const std::shared_ptr<CaptureItem>& item) override;
    void showQuickAccess(const std::shared_ptr<CaptureItem>& item) override;
    void pin(const QImage& image, double scale) override;
    void showHistory() override;
    bool isRecording() override;
    void startRecording(QScreen* screen, const QRectF& rect, bool gif) override;
    void stopRecording() override;
    void recognizeText(const QImage& image, double scale) override;
    QImage applyWindowBackground(const QImage& image, int presetID, double scale) override;
};

} // namespace vantrel
