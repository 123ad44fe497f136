// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>

#include <functional>
#include <memory>

namespace vantrel {

// A running camera. Destroying it stops the camera.
class CameraFeed
{
public:
    virtual ~CameraFeed() = default;
};

// The computer's cameras: Qt Multimedia on the desktop, a fake in tests.
class Camera
{
public:
    using FrameHandler = std::function<void(const QImage& frame)>;
    using FailureHandler = std::function<void(const QString& why)>;

    virtual ~Camera() = default;
    // Starts the default camera. None when there is no camera. Frames (as the camera sees
    // them, not mirrored) and a failure (access refused, the camera unplugged or busy) arrive on
    // the main thread; after a failure no frame comes.
    virtual std::unique_ptr<CameraFeed> openDefault(FrameHandler frames, FailureHandler failed) = 0;
};

// Qt Multimedia: the default video input in a capture session whose video sink hands each
// frame over as an image.
class QtCamera : public Camera
{
public:
    std::unique_ptr<CameraFeed> openDefault(FrameHandler frames, FailureHandler failed) override;
};

} // namespace vantrel
