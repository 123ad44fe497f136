// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FocusService.h"

namespace vantrel {

// Wayland names no other client's windows and lets no client raise another: the compositor
// gives the focus to Vantrel's new window and back to the previous one when it closes.
class WaylandFocusService : public FocusService
{
public:
    std::optional<quint64> frontmostOtherWindow() override { return std::nullopt; }
    void activate(quint64) override { }
    void activateSelf() override { }
};

} // namespace vantrel
