// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CommandLine.h"

#include <optional>

namespace vantrel {

// What a launch can do without a display, before Vantrel itself would start: print the help,
// the version or a mistake on the command line, and hand an action or a reopen request to the
// running Vantrel over the session bus. Returns the exit status when that was all; none when
// Vantrel has to start (nobody answered, or there are files to check and open). Texts come in
// the user's language from the translations at `translations` (relative to the executable).
std::optional<int> launchWithoutDisplay(
    int argc, char** argv, const CommandLine& commandLine, const QString& translations);

// Set by the launcher (`vantrel`) to its own path for the program it starts.
inline constexpr const char* launcherVariable = "VANTREL_LAUNCHER";

// Prints one line (or several) to standard output or standard error, in the locale's encoding.
void printLine(FILE* stream, const QString& text);

} // namespace vantrel
