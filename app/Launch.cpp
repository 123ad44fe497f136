// SPDX-License-Identifier: GPL-3.0-or-later
#include "Launch.h"

#include "SingleInstance.h"
#include "SystemLog.h"
#include "Translations.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

namespace vantrel {

void printLine(FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

std::optional<int> launchWithoutDisplay(
    int argc, char** argv, const CommandLine& commandLine, const QString& translations)
{
    InstanceRequest request;
    switch (commandLine.mode) {
    case CommandLine::Mode::help:
    case CommandLine::Mode::version:
    case CommandLine::Mode::invalid: {
        QCoreApplication app(argc, argv);
        installTranslationsBesideProgram(translations);
        // The command line was read before any translation was loaded: read it again.
        const CommandLine translated = parseCommandLine(app.arguments().mid(1), QDir::currentPath());
        if (commandLine.mode == CommandLine::Mode::help) {
            printLine(stdout, helpText());
            return 0;
        }
        if (commandLine.mode == CommandLine::Mode::version) {
            printLine(stdout, versionText());
            return 0;
        }
        printLine(stderr, translated.problem);
        return 2;
    }
    case CommandLine::Mode::action: request = InstanceRequest::forAction(rawValue(*commandLine.action)); break;
    case CommandLine::Mode::normal:
        // Files are checked (and each failure named) by Vantrel itself, which needs the image
        // readers; a bare launch is a reopen request.
        if (!commandLine.files.isEmpty())
            return std::nullopt;
        break;
    case CommandLine::Mode::selfTest:
    case CommandLine::Mode::previewRecordingBar: return std::nullopt;
    }

    // A hand-over prints nothing of its own: no translation is loaded for it.
    QCoreApplication app(argc, argv);
    SingleInstance instance;
    switch (instance.handOver(request)) {
    case SingleInstance::Outcome::HandedOver: return 0;
    case SingleInstance::Outcome::Refused:
        printLine(stderr, QStringLiteral("vantrel: ") + instance.errorText());
        return 2;
    case SingleInstance::Outcome::Failed:
        systemLog(
            QStringLiteral("Vantrel: another Vantrel is running but did not answer (%1)").arg(instance.errorText()));
        return 1;
    case SingleInstance::Outcome::Primary:
    case SingleInstance::Outcome::NoInstance:
    case SingleInstance::Outcome::NoBus: break;
    }
    return std::nullopt;
}

} // namespace vantrel
