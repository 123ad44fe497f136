// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <functional>
#include <limits>
#include <optional>

namespace vantrel {

class FocusService;

// The selection overlay takes keyboard focus while it is open and gives it back to the
// application that had it. While focus moves, a launch of `vantrel` (a reopen request) is
// ignored: the desktop may report the overlay's own activation as one.
class FocusHandOff
{
public:
    using Clock = std::function<qint64()>; // milliseconds on a monotonic clock

    static FocusHandOff& shared();
    explicit FocusHandOff(Clock clock = {});
    void setClock(Clock clock) { m_clock = std::move(clock); }

    // Remembers the application in front (unless it is Vantrel) and suppresses reopen requests
    // for 2 s.
    void takeFocus();
    // Suppresses reopen requests for 0.5 s, re-activates the remembered application if it is
    // still there, and forgets it.
    void giveFocusBack();
    bool reopenSuppressed() const;

    std::optional<quint64> previousFrontApp() const { return m_previousFrontApp; }

private:
    qint64 now() const;

    Clock m_clock;
    std::optional<quint64> m_previousFrontApp;
    qint64 m_reopenSuppressedUntil = std::numeric_limits<qint64>::min();
};

} // namespace vantrel
