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
    // Every other argument that does not start with "-": files to open in the editor, as
    // absolute file URLs (or the URL as given when it names no local file), whether or not they
    // exist, so that whoever opens them can say which could not be opened and why.
    QList<QUrl> files;
};

// `arguments` excludes the program name; relative paths are resolved against `workingDirectory`.
CommandLine parseCommandLine(const QStringList& arguments, const QString& workingDirectory);

// The files of `requested` that can be opened as images (regular, not empty, in a format Vantrel
// reads, not too large); each other one gets a log line naming it and saying why.
QList<QUrl> openableFiles(const QList<QUrl>& requested);

} // namespace vantrel
