// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace vantrel {

// The tray icon's two faces, which the recorder switches between: a red stop button with the
// running time while it records, the normal icon and menu otherwise. The application installs
// its tray (Service<RecordingStatus>); without one the recorder shows its bar only.
class RecordingStatus
{
public:
    virtual ~RecordingStatus() = default;
    virtual void showRecordingStatus(double elapsedSeconds) = 0;
    virtual void showIdleStatus() = 0;
};

} // namespace vantrel
