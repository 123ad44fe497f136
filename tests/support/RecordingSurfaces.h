// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CaptureSurfaces.h"

#include <QImage>
#include <QRectF>

#include <memory>
#include <vector>

namespace vantrel::test {

// Remembers where the capture coordinator, the editor and the thumbnails sent things.
class RecordingSurfaces : public CaptureSurfaces
{
public:
    void openEditor(const std::shared_ptr<CaptureItem>& item) override { editors.push_back(item); }
    void showQuickAccess(const std::shared_ptr<CaptureItem>& item) override { thumbnails.push_back(item); }
    void pin(const QImage& image, double scale) override { pins.emplace_back(image, scale); }
    void showHistory() override { ++historyWindows; }
    bool isRecording() override { return recording; }
    void startRecording(QScreen* screen, const QRectF& rect, bool gif) override
    {
        recordings.push_back({screen, rect, gif});
    }
    void stopRecording() override { ++stops; }
    void recognizeText(const QImage& image, double scale) override { recognized.emplace_back(image, scale); }
    QImage applyWindowBackground(const QImage& image, int presetID, double scale) override
    {
        backgrounds.emplace_back(presetID, scale);
        return image.scaled(image.size() + QSize(10, 10));
    }

    struct Recording
    {
        QScreen* screen;
        QRectF rect;
        bool gif;
    };
    std::vector<std::shared_ptr<CaptureItem>> editors, thumbnails;
    std::vector<std::pair<QImage, double>> pins;
    std::vector<Recording> recordings;
    std::vector<std::pair<QImage, double>> recognized;
    std::vector<std::pair<int, double>> backgrounds;
    int historyWindows = 0;
    int stops = 0;
    bool recording = false;
};

} // namespace vantrel::test
