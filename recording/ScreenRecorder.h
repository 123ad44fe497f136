// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QScreen;
class QRectF;

namespace vantrel {

// Records an area or a screen to video.
class ScreenRecorder
{
public:
    static ScreenRecorder& shared();

    bool isRecording() const { return false; }
    void start(QScreen* screen, const QRectF& rect, bool gif);
    void stop();
};

// The recording control bar shown for a fixed area, its layout printed, then the process quits.
void runRecordingBarPreview(QScreen* screen);

} // namespace vantrel
