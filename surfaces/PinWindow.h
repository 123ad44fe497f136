// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QRectF>
#include <QWidget>

class QMenu;

namespace vantrel {

class PinWindow;

// The pin's content: the picture filling a frame with 6-point rounded corners and a faint
// border. It only draws; the pin handles every event.
class PinContentView : public QWidget
{
    Q_OBJECT
public:
    explicit PinContentView(PinWindow* pin);

    QPointer<PinWindow> pin;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_scaled; // the picture at the view's size in device pixels
};

// A screenshot pinned above other windows on every workspace, to keep a reference in view. It
// moves by dragging anywhere, zooms with the wheel or a pinch around its centre, keeps its
// proportions, can be made translucent, and can be locked so that clicks pass through it (only
// the tray's "Unlock Pinned Screenshots" undoes that). Frames are in global points, y down.
// Pins show in captures: they are not chrome.
class PinWindow : public QWidget
{
    Q_OBJECT
public:
    // Floats the image, `scale` pixels per point, fitted into 60 % of the visible frame of the
    // screen under the pointer and centred there; the new pin takes the keyboard. None for an
    // empty image.
    static PinWindow* pin(const QImage& image, double scale);
    // Open pins in the order they were made.
    static QList<PinWindow*> pins();
    static int pinCount();
    static bool anyLocked();
    static void unlockPins();
    static void closePins();

    ~PinWindow() override;

    const QImage& image() const { return m_image; }
    // Height ÷ width of the picture in points, fixed when the pin was made.
    double aspect() const { return m_aspect; }
    bool locked() const { return m_locked; }
    double alpha() const { return m_alpha; }
    // The pin's frame in points; the window's geometry is this rounded to whole points.
    QRectF frame() const { return m_frame; }
    PinContentView* imageView() const { return m_imageView; }

    // Scales the pin by `factor` about its centre, 40…6000 points wide.
    void zoom(double factor);
    // The right-click menu; the caller owns it.
    QMenu* makeContextMenu(QWidget* parent = nullptr);

    // Menu and keyboard actions.
    void copyImage();
    void saveImage();
    void annotate();
    void setOpacity(int percent);
    void resetAction();
    void lockAction();
    void closeAction();
    void unlock();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

private:
    PinWindow(const QImage& image, double aspect, const QRectF& frame);
    void setFrame(const QRectF& frame);
    void setInputTransparent(bool transparent);
    Qt::Edges edgesAt(const QPointF& point) const;
    double screenScale() const;

    enum class Drag {
        none,
        move,
        resize,
    };

    QImage m_image;
    double m_aspect;
    QRectF m_frame;
    bool m_locked = false;
    double m_alpha = 1.0;
    PinContentView* m_imageView;
    Drag m_drag = Drag::none;
    Qt::Edges m_dragEdges;
    QPointF m_pressGlobal; // global points
    QRectF m_pressFrame;
};

} // namespace vantrel
