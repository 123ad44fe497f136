// SPDX-License-Identifier: GPL-3.0-or-later
// Shared by the thumbnail and pin tests: a recorder in place of the editor and text
// recognition, and a way to take every surface off screen between tests.
#pragma once

#include "CaptureItem.h"
#include "PinWindow.h"
#include "QuickAccessPanel.h"
#include "SurfaceHandOff.h"

#include <QApplication>
#include <QImage>
#include <QTest>

#include <memory>
#include <vector>

namespace vantrel::test {

class RecordingHandOff : public SurfaceHandOff
{
public:
    void openEditor(const std::shared_ptr<CaptureItem>& item) override { opened.push_back(item); }
    void recognizeText(const QImage& image, double scale) override { recognized.emplace_back(image, scale); }

    std::vector<std::shared_ptr<CaptureItem>> opened;
    std::vector<std::pair<QImage, double>> recognized;
};

// Every thumbnail and pin, including those still fading out, is deleted.
inline void removeAllSurfaces()
{
    PinWindow::closePins();
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<QuickAccessPanel*>(widget))
            delete widget;
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// A picture whose pixel (x, y) is (x mod 256, y mod 256, 90): a crop or scale shows.
inline QImage patternImage(int width, int height, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(width, height, format);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x % 256, y % 256, 90));
    return image;
}

} // namespace vantrel::test
