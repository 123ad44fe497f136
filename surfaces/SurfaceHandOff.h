// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>

#include <memory>

namespace vantrel {

class CaptureItem;

// Where thumbnails and pins send a capture onwards: the annotation editor and text recognition.
// The application installs none and gets the editor window and text recognition; tests install
// a recorder with ScopedService<SurfaceHandOff> so that no editor window opens.
class SurfaceHandOff
{
public:
    virtual ~SurfaceHandOff() = default;
    virtual void openEditor(const std::shared_ptr<CaptureItem>& item) = 0;
    virtual void recognizeText(const QImage& image, double scale) = 0;
};

// Through the installed hand-off, else to EditorWindowController::open.
void openInEditor(const std::shared_ptr<CaptureItem>& item);
// Through the installed hand-off, else to recognizeText; `scale` is pixels per point.
void recognizeTextIn(const QImage& image, double scale);

} // namespace vantrel
