// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"

#include "ImageFiles.h"
#include "SystemLog.h"

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
        const QString asPath = QDir::cleanPath(base.absoluteFilePath(argument));
        const QFileInfo named(asPath);
        if (url.isLocalFile())
            result.files.append(QUrl::fromLocalFile(QDir::cleanPath(url.toLocalFile())));
        else if (url.scheme().isEmpty() || named.exists() || named.isSymLink())
            result.files.append(QUrl::fromLocalFile(asPath)); // "shot:1.png" is a file, not a URL
        else
            result.files.append(url);
    }
    return result;
}

QList<QUrl> openableFiles(const QList<QUrl>& requested)
{
    QList<QUrl> openable;
    for (const QUrl& url : requested) {
        const QString shown = url.isLocalFile() ? url.toLocalFile() : url.toString();
        const std::optional<Error> problem = url.isLocalFile()
            ? checkImageFile(url.toLocalFile())
            : std::optional<Error>(Error {.description = QStringLiteral("only local files can be opened")});
        if (problem)
            systemLog(QStringLiteral("Vantrel: could not open %1: %2").arg(shown, problem->description));
        else
            openable.append(url);
    }
    return openable;
}

} // namespace vantrel
