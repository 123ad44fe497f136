// SPDX-License-Identifier: GPL-3.0-or-later
// `vantrel`, the command users and desktops run. It links only Qt's core and D-Bus libraries, so
// it starts in a few milliseconds: it answers --help and --version, hands an action or a reopen
// request to a running Vantrel, and otherwise replaces itself (same process) with the program,
// which links everything else.
#include "CommandLine.h"
#include "Launch.h"

#include <QCoreApplication>
#include <QDir>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

using namespace vantrel;

namespace {

// This executable's own path, symbolic links resolved; empty when the system does not say.
std::string ownPath()
{
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return length > 0 ? std::string(buffer, size_t(length)) : std::string();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication::setApplicationName(QStringLiteral("Vantrel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VANTREL_VERSION));
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine commandLine = parseCommandLine(arguments, QDir::currentPath());
    if (const std::optional<int> status
        = launchWithoutDisplay(argc, argv, commandLine, QStringLiteral(VANTREL_TRANSLATIONS_FROM_EXECUTABLE)))
        return *status;

    // The program lies at the same place relative to this launcher in the build tree and in an
    // installation (bin/vantrel and libexec/vantrel/vantrel-app).
    const std::string self = ownPath();
    if (self.empty()) {
        std::fprintf(stderr, "vantrel: cannot tell where Vantrel is installed (/proc/self/exe)\n");
        return 1;
    }
    const std::string folder = self.substr(0, self.rfind('/') + 1);
    const std::string program = folder + VANTREL_PROGRAM_FROM_LAUNCHER;
    ::setenv(launcherVariable, self.c_str(), 1);
    ::execv(program.c_str(), argv);
    std::fprintf(stderr, "vantrel: cannot start %s: %s\n", program.c_str(), std::strerror(errno));
    return 1;
}
