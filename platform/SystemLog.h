// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

namespace vantrel {

// The user-facing diagnostic lines ("Vantrel: could not register hotkey …") go to standard
// error exactly as written, without a category prefix, so journald shows them verbatim.
void systemLog(const QString& line);

// Tests redirect the lines to inspect them; an empty function restores standard error.
using SystemLogSink = std::function<void(const QString&)>;
void setSystemLogSink(SystemLogSink sink);

} // namespace vantrel
