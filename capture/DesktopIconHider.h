// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace vantrel {

// Covers the desktop's icons with the wallpaper on demand.
class DesktopIconHider
{
public:
    static DesktopIconHider& shared();

    void apply(bool hidden);
};

} // namespace vantrel
