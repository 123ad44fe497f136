// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QWidget;

namespace vantrel {

// One frame of the entrance: the frozen picture dips inward with rounded corners and a glowing
// rim, then springs back.
struct DropFrame
{
    double scale = 1.0; // uniform, about the view's centre
    double cornerRadius = 0.0; // points
    double rimOpacity = 0.0;
    bool finished = false;

    bool isRest() const { return scale == 1.0 && cornerRadius == 0.0 && rimOpacity == 0.0; }
};

// The frame at `t` seconds of animation time: a 0.13 s dip to 95.5 % with 46-point corners, then
// a 0.62 s under-damped spring back that overshoots slightly.
DropFrame dropEntranceFrame(double t);
// How many times slower the entrance plays: VANTREL_SLOWMO as a decimal number, at least 1.
double dropEntranceSlowdown(const QByteArray& value);

// Plays the entrance on one overlay view: a frame clock asks the view to repaint, and the view
// draws `frame()`.
class DropEntrance : public QObject
{
    Q_OBJECT
public:
    explicit DropEntrance(QWidget* view);

    void start();
    void stop();
    bool running() const { return m_timer.isActive(); }
    DropFrame frame() const { return m_frame; }
    // Shows the frame `seconds` after the start (real time, before the slowdown); the frame
    // clock calls it, and tests call it to look at one moment.
    void stepTo(double seconds);

private:
    void step();

    QPointer<QWidget> m_view;
    QTimer m_timer;
    QElapsedTimer m_clock;
    double m_slowdown;
    DropFrame m_frame;
};

} // namespace vantrel
