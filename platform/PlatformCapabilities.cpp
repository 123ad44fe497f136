// SPDX-License-Identifier: GPL-3.0-or-later
#include "PlatformCapabilities.h"

namespace vantrel {

namespace {
PlatformCapabilities& current()
{
    static PlatformCapabilities capabilities;
    return capabilities;
}
} // namespace

const PlatformCapabilities& platformCapabilities()
{
    return current();
}

void setPlatformCapabilities(const PlatformCapabilities& capabilities)
{
    if (current() == capabilities)
        return;
    current() = capabilities;
    Q_EMIT PlatformCapabilityChanges::instance().changed();
}

void setShortcutBinding(ShortcutBinding binding)
{
    PlatformCapabilities capabilities = current();
    capabilities.shortcuts = binding;
    setPlatformCapabilities(capabilities);
}

PlatformCapabilityChanges& PlatformCapabilityChanges::instance()
{
    // Never destroyed: windows may disconnect from it during the end of the process.
    static auto* changes = new PlatformCapabilityChanges;
    return *changes;
}

} // namespace vantrel
