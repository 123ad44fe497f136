// SPDX-License-Identifier: GPL-3.0-or-later
#include "FocusHandOff.h"

#include "FocusService.h"
#include "Service.h"

#include <QElapsedTimer>

namespace vantrel {

namespace {
constexpr qint64 takeFocusSuppressionMs = 2000;
constexpr qint64 giveBackSuppressionMs = 500;
} // namespace

FocusHandOff& FocusHandOff::shared()
{
    static FocusHandOff instance;
    return instance;
}

FocusHandOff::FocusHandOff(Clock clock)
    : m_clock(std::move(clock))
{ }

qint64 FocusHandOff::now() const
{
    if (m_clock)
        return m_clock();
    static QElapsedTimer timer;
    if (!timer.isValid())
        timer.start();
    return timer.elapsed();
}

void FocusHandOff::takeFocus()
{
    FocusService* focus = Service<FocusService>::find();
    m_previousFrontApp = focus ? focus->frontmostOtherWindow() : std::nullopt;
    m_reopenSuppressedUntil = now() + takeFocusSuppressionMs;
    if (focus)
        focus->activateSelf();
}

void FocusHandOff::giveFocusBack()
{
    m_reopenSuppressedUntil = now() + giveBackSuppressionMs;
    FocusService* focus = Service<FocusService>::find();
    if (focus && m_previousFrontApp)
        focus->activate(*m_previousFrontApp);
    m_previousFrontApp.reset();
}

bool FocusHandOff::reopenSuppressed() const
{
    return now() < m_reopenSuppressedUntil;
}

} // namespace vantrel
