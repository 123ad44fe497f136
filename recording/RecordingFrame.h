// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QScreen;

namespace vantrel {

// The thin red line around the recorded area. Only its ring exists as a window shape, so it
// never covers the area (and never shows in the movie) and clicks pass through it.
class RecordingFrame : public QWidget
{
    Q_OBJECT
public:
    // `area` in points relative to the screen's top-left corner.
    RecordingFrame(QScreen* screen, const QRectF& area);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace vantrel
