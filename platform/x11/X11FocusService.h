// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FocusService.h"

namespace vantrel {

// Focus through the EWMH _NET_ACTIVE_WINDOW property and client message.
class X11FocusService : public FocusService
{
public:
    std::optional<quint64> frontmostOtherWindow() override;
    void activate(quint64 window) override;
    void activateSelf() override;
};

} // namespace vantrel
