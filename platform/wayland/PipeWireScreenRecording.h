// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ScreenRecording.h"
#include "media/StartThreads.h"

#include <QDBusConnection>
#include <QSizeF>

#include <cstdint>
#include <memory>

namespace vantrel {

// Recordings of Wayland screens: the ScreenCast portal shares the monitor (the pointer drawn in
// by the desktop, or sent beside each picture and drawn by Vantrel, as `showCursor` asks; the
// permission kept with a restore token so that the desktop asks once), PipeWire delivers its
// pictures with their timestamps, and each is cut to the area and encoded by the same encoder
// as on X11. PulseAudio (or PipeWire's PulseAudio service) supplies the sound.
class PipeWireScreenRecording : public ScreenRecording
{
public:
    explicit PipeWireScreenRecording(QDBusConnection bus);
    ~PipeWireScreenRecording() override;

    void start(const RecordingRequest& request, StartCompletion completion) override;

    // Records a PipeWire node of the default daemon directly, without asking the portal (for
    // tests and benchmarks of the stream reader); `logicalSize` is the monitor's.
    void startFromNode(const RecordingRequest& request, uint32_t node, QSizeF logicalSize, StartCompletion completion);

private:
    struct Stream;
    void startStream(const RecordingRequest& request, std::shared_ptr<Stream> stream, StartCompletion completion);

    QDBusConnection m_bus;
    // Portal answers that come after this object is gone find it expired.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    // Last, so that its threads are joined before anything else goes.
    media::StartThreads m_starts;
};

} // namespace vantrel
