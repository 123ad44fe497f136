// SPDX-License-Identifier: GPL-3.0-or-later
#include "Camera.h"

#include <QCamera>
#include <QCameraDevice>
#include <QMediaCaptureSession>
#include <QMediaDevices>
#include <QVideoFrame>
#include <QVideoSink>

namespace vantrel {

namespace {

class QtCameraFeed : public CameraFeed
{
public:
    QtCameraFeed(const QCameraDevice& device, Camera::FrameHandler frames, Camera::FailureHandler failed)
        : m_camera(device)
    {
        m_session.setCamera(&m_camera);
        m_session.setVideoSink(&m_sink);
        QObject::connect(&m_sink, &QVideoSink::videoFrameChanged, &m_sink,
            [this, frames = std::move(frames)](const QVideoFrame& frame) {
                if (m_failed || !frame.isValid())
                    return;
                const QImage image = frame.toImage();
                if (!image.isNull())
                    frames(image);
            });
        QObject::connect(&m_camera, &QCamera::errorOccurred, &m_camera,
            [this, failed = std::move(failed)](QCamera::Error error, const QString& text) {
                if (error == QCamera::NoError || m_failed)
                    return;
                m_failed = true;
                failed(text.isEmpty() ? QStringLiteral("The camera cannot be used") : text);
            });
        // The backend opens the device in the background; the answer comes as frames or an error.
        m_camera.start();
    }

    ~QtCameraFeed() override { m_camera.stop(); }

private:
    QCamera m_camera;
    QMediaCaptureSession m_session;
    QVideoSink m_sink;
    bool m_failed = false;
};

} // namespace

std::unique_ptr<CameraFeed> QtCamera::openDefault(FrameHandler frames, FailureHandler failed)
{
    const QCameraDevice device = QMediaDevices::defaultVideoInput();
    if (device.isNull())
        return nullptr;
    return std::make_unique<QtCameraFeed>(device, std::move(frames), std::move(failed));
}

} // namespace vantrel
