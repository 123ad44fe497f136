// SPDX-License-Identifier: GPL-3.0-or-later
#include "DropEntrance.h"

#include <QWidget>

#include <algorithm>
#include <cmath>

namespace vantrel {

namespace {

constexpr double squeezeTime = 0.13; // seconds
constexpr double settleTime = 0.62; // seconds
constexpr double squeeze = 0.045; // largest relative shrink
constexpr double maxRadius = 46; // points
// The spring: decay rate, angular frequency, and their ratio for a release from full dip.
constexpr double decay = 5.491503958474958;
constexpr double frequency = 13.367281451406065;
constexpr double phase = 0.41081681256119007;

} // namespace

DropFrame dropEntranceFrame(double t)
{
    DropFrame frame;
    if (t < squeezeTime) {
        const double u = 1.0 - std::clamp(t / squeezeTime, 0.0, 1.0);
        const double e = 1.0 - u * u * u;
        frame.scale = 1.0 - squeeze * e;
        frame.cornerRadius = maxRadius * e;
        frame.rimOpacity = e;
        return frame;
    }
    const double tau = t - squeezeTime;
    if (tau >= settleTime) {
        frame.finished = true;
        return frame;
    }
    const double shrink
        = squeeze * std::exp(-decay * tau) * (std::cos(frequency * tau) + phase * std::sin(frequency * tau));
    frame.scale = 1.0 - shrink;
    frame.cornerRadius = maxRadius * std::exp(-tau / 0.11);
    frame.rimOpacity = std::max(1.0 - tau / 0.465, 0.0);
    return frame;
}

double dropEntranceSlowdown(const QByteArray& value)
{
    bool ok = false;
    const double parsed = value.trimmed().toDouble(&ok);
    return ok && std::isfinite(parsed) ? std::max(parsed, 1.0) : 1.0;
}

DropEntrance::DropEntrance(QWidget* view)
    : QObject(view)
    , m_view(view)
    , m_slowdown(dropEntranceSlowdown(qgetenv("VANTREL_SLOWMO")))
{
    m_timer.setInterval(16);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &DropEntrance::step);
}

void DropEntrance::start()
{
    m_clock.start();
    m_frame = dropEntranceFrame(0);
    m_timer.start();
}

void DropEntrance::stop()
{
    m_timer.stop();
    m_frame = DropFrame {};
    if (m_view)
        m_view->update();
}

void DropEntrance::step()
{
    stepTo(m_clock.nsecsElapsed() / 1e9);
}

void DropEntrance::stepTo(double seconds)
{
    if (!m_view)
        return;
    m_frame = dropEntranceFrame(seconds / m_slowdown);
    if (m_frame.finished) {
        stop();
        return;
    }
    m_view->update();
}

} // namespace vantrel
