// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SettingsTypes.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

namespace vantrel {

// What the command line asks for. `--selftest` wins over everything (the argument after it,
// whatever it is, names the output folder), then `--help`, then `--version`, then a mistake in
// the other options; unknown options are ignored.
struct CommandLine
{
    enum class Mode {
        normal,
        selfTest,
        previewRecordingBar,
        help,
        version,
        action, // `--action NAME`: run one action in the running Vantrel, starting it if need be
        invalid, // a mistake the user must see: `problem` says which; exit status 2
    };

    Mode mode = Mode::normal;
    QString selfTestDirectory;
    // Mode action: the action to run.
    std::optional<HotKeyAction> action;
    // Mode invalid: what is wrong, one line, translated.
    QString problem;
    // Every other argument that does not start with "-": files to open in the editor, as
    // absolute file URLs (or the URL as given when it names no local file), whether or not they
    // exist, so that whoever opens them can say which could not be opened and why.
    QList<QUrl> files;
};

// `arguments` excludes the program name; relative paths are resolved against `workingDirectory`.
CommandLine parseCommandLine(const QStringList& arguments, const QString& workingDirectory);

// The text of `vantrel --help` and of `vantrel --version`, translated.
QString helpText();
QString versionText();
// The valid action names, one a line, indented: what an unknown name is answered with.
QString actionListText();

// The files of `requested` that can be opened as images (regular, not empty, in a format Vantrel
// reads, not too large); each other one gets a log line naming it and saying why.
QList<QUrl> openableFiles(const QList<QUrl>& requested);

} // namespace vantrel
