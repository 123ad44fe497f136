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
    current() = capabilities;
}

} // namespace vantrel
