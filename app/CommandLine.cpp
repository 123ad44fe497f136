// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"

#include <QDir>
#include <QFileInfo>

namespace vantrel {

CommandLine parseCommandLine(const QStringList& arguments, const QString& workingDirectory)
{
    CommandLine result;
    const qsizetype selfTest = arguments.indexOf(QStringLiteral("--selftest"));
    if (selfTest >= 0) {
        result.mode = CommandLine::Mode::selfTest;
        result.selfTestDirectory = selfTest + 1 < arguments.size() ? arguments.at(selfTest + 1) : QDir::tempPath();
        return result;
    }
    if (arguments.contains(QStringLiteral("--preview-recording-bar")))
        result.mode = CommandLine::Mode::previewRecordingBar;

    const QDir base(workingDirectory);
    for (const QString& argument : arguments) {
        if (argument.startsWith(QLatin1Char('-')))
            continue;
        const QUrl url(argument);
        QString path;
        if (url.isLocalFile())
            path = url.toLocalFile();
        else if (url.scheme().isEmpty())
            path = base.absoluteFilePath(argument);
        if (!path.isEmpty() && QFileInfo(path).isFile())
            result.files.append(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
    }
    return result;
}

} // namespace vantrel
