// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppCaptureSurfaces.h"

#include "BackgroundRenderer.h"
#include "BackgroundSettings.h"
#include "EditorWindowController.h"
#include "HistoryWindowController.h"
#include "PinWindow.h"
#include "QuickAccessManager.h"
#include "ScreenRecorder.h"
#include "TextRecognition.h"

namespace vantrel {

void AppCaptureSurfaces::openEditor(const std::shared_ptr<CaptureItem>& item)
{
    EditorWindowController::open(item);
}

void AppCaptureSurfaces::showQuickAccess(const std::shared_ptr<CaptureItem>& item)
{
    QuickAccessManager::shared().show(item);
}

void AppCaptureSurfaces::pin(const QImage& image, double scale)
{
    PinWindow::pin(image, scale);
}

void AppCaptureSurfaces::showHistory()
{
    HistoryWindowController::show();
}

bool AppCaptureSurfaces::isRecording()
{
    return ScreenRecorder::shared().isRecording();
}

void AppCaptureSurfaces::startRecording(QScreen* screen, const QRectF& rect, bool gif)
{
    ScreenRecorder::shared().start(screen, rect, gif);
}

void AppCaptureSurfaces::stopRecording()
{
    ScreenRecorder::shared().stop();
}

void AppCaptureSurfaces::recognizeText(const QImage& image, double scale)
{
    vantrel::recognizeText(image, scale);
}

QImage AppCaptureSurfaces::applyWindowBackground(const QImage& image, int presetID, double scale)
{
    BackgroundSettings background;
    background.enabled = true;
    background.presetID = presetID;
    background.padding = 60 * scale;
    background.cornerRadius = 12;
    background.shadow = 0.5;
    background.inset = 0;
    background.aspect = AspectRatio::automatic;
    return applyBackground(background, image);
}

} // namespace vantrel
