// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

namespace vantrel {

// What the command line asks for. `--selftest` wins over everything; the argument after it,
// whatever it is, names the output folder.
struct CommandLine
{
    enum class Mode {
        normal,
        selfTest,
        previewRecordingBar,
    };

    Mode mode = Mode::normal;
    QString selfTestDirectory;
    // Image files to open in the editor (existing local files or file: URLs).
    QList<QUrl> files;
};

// `arguments` excludes the program name; relative paths are resolved against `workingDirectory`.
CommandLine parseCommandLine(const QStringList& arguments, const QString& workingDirectory);

} // namespace vantrel
