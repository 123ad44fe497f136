// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace vantrel {

// Checks Vantrel's own image logic without a display and prints one line per check.
// Returns the process exit status: 0 when every check passed, 1 otherwise.
int runSelfTest(const QString& outputDirectory);

} // namespace vantrel
