// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ScreenRecording.h"
#include "media/StartThreads.h"

#include <memory>

namespace vantrel {

class X11ScreenGrabber;

// Recordings of X11 screens: a capture thread reads the area on a steady clock (XShm, only what
// changed), a second thread converts and encodes (libx264 in MP4), PulseAudio supplies the
// sound. Screens are mapped to root-window pixels through the screen grabber.
class X11ScreenRecording : public ScreenRecording
{
public:
    explicit X11ScreenRecording(X11ScreenGrabber* grabber);
    ~X11ScreenRecording() override;

    void start(const RecordingRequest& request, StartCompletion completion) override;

private:
    X11ScreenGrabber* m_grabber;
    // Last, so that its threads are joined before anything else goes.
    media::StartThreads m_starts;
};

} // namespace vantrel
