// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QRectF>

#include <memory>

class QScreen;

namespace vantrel {

class CaptureItem;

// What the capture coordinator hands finished captures and areas to: the editor, thumbnails,
// pins, the history window, the recorder and text recognition. They live in
// libraries that build on this one, so the application connects them here at start-up (and
// tests replace them with recorders).
class CaptureSurfaces
{
public:
    virtual ~CaptureSurfaces() = default;

    virtual void openEditor(const std::shared_ptr<CaptureItem>& item) = 0;
    virtual void showQuickAccess(const std::shared_ptr<CaptureItem>& item) = 0;
    virtual void pin(const QImage& image, double scale) = 0;
    virtual void showHistory() = 0;

    virtual bool isRecording() = 0;
    virtual void startRecording(QScreen* screen, const QRectF& rect, bool gif) = 0;
    virtual void stopRecording() = 0;

    // `scale`: the picture's pixels per point.
    virtual void recognizeText(const QImage& image, double scale) = 0;

    // A window capture placed on the chosen gradient background; `scale` is pixels per point.
    virtual QImage applyWindowBackground(const QImage& image, int presetID, double scale) = 0;
};

} // namespace vantrel
