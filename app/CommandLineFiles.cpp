// SPDX-License-Identifier: GPL-3.0-or-later
// Apart from the parsing so that the launcher, which only parses, links no image readers.
#include "CommandLine.h"
#include "ImageFiles.h"
#include "SystemLog.h"

#include <QCoreApplication>

namespace vantrel {

QList<QUrl> openableFiles(const QList<QUrl>& requested)
{
    QList<QUrl> openable;
    for (const QUrl& url : requested) {
        const QString shown = url.isLocalFile() ? url.toLocalFile() : url.toString();
        const std::optional<Error> problem = url.isLocalFile()
            ? checkImageFile(url.toLocalFile())
            : std::optional<Error>(
                Error {.description = QCoreApplication::translate("CommandLine", "only local files can be opened")});
        if (problem)
            systemLog(QStringLiteral("Vantrel: could not open %1: %2").arg(shown, problem->description));
        else
            openable.append(url);
    }
    return openable;
}

} // namespace vantrel
