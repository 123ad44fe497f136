// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QWidget>

#include <memory>
#include <optional>

class QScreen;

namespace vantrel {

class CameraFeed;

// The round, mirrored camera picture with its white border. Drag it anywhere; scroll on it to
// make it bigger or smaller (100 to 420 points, always round, centred where it was).
class BubbleView : public QWidget
{
public:
    BubbleView();
    void setFrame(const QImage& frame);
    // Resizes by `delta` points within the limits, keeping the centre.
    void resizeBy(double delta);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    QImage m_frame;
    std::optional<QPoint> m_grab; // where in the bubble the drag took hold
    double m_pendingWheel = 0; // eighths of a degree not yet turned into points
};

// The round camera picture in the recorded area's bottom-right corner. It appears with the
// camera's first picture: without a camera, or when the camera cannot be opened or used, there
// is no bubble and the recording goes on. It is in the recording (it is not chrome). One
// process-wide instance; main thread only.
class WebcamBubble : public QObject
{
    Q_OBJECT
public:
    static WebcamBubble& shared();
    ~WebcamBubble() override;

    // Whether a camera runs for the bubble (its picture may still be on its way).
    bool isShowing() const { return m_feed != nullptr; }
    // `area` in points relative to the screen's top-left corner.
    void show(QScreen* screen, const QRectF& area);
    void hide();
    BubbleView* window() const { return m_view; }

private:
    WebcamBubble() = default;
    void frameArrived(const QImage& frame);
    void failed(const QString& why);

    std::unique_ptr<CameraFeed> m_feed;
    QPointer<BubbleView> m_view;
    QPointer<QScreen> m_screen;
    QRectF m_place; // global points, where the bubble appears
    quint64 m_generation = 0; // answers of an earlier camera are dropped
};

} // namespace vantrel
