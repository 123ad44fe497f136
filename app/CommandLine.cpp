// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace vantrel {

namespace {

const QString actionOption = QStringLiteral("--action");
// A name longer than any action is cut when shown, so a runaway argument is not echoed whole.
constexpr qsizetype shownNameLength = 64;

QString shownName(const QString& name)
{
    return name.size() <= shownNameLength ? name : name.left(shownNameLength) + QStringLiteral("…");
}

CommandLine invalid(const QString& problem, bool listActions)
{
    CommandLine result;
    result.mode = CommandLine::Mode::invalid;
    result.problem = QStringLiteral("vantrel: ") + problem;
    if (listActions)
        result.problem += QLatin1Char('\n') + actionListText();
    return result;
}

} // namespace

CommandLine parseCommandLine(const QStringList& arguments, const QString& workingDirectory)
{
    CommandLine result;
    const qsizetype selfTest = arguments.indexOf(QStringLiteral("--selftest"));
    if (selfTest >= 0) {
        result.mode = CommandLine::Mode::selfTest;
        result.selfTestDirectory = selfTest + 1 < arguments.size() ? arguments.at(selfTest + 1) : QDir::tempPath();
        return result;
    }
    if (arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h"))) {
        result.mode = CommandLine::Mode::help;
        return result;
    }
    if (arguments.contains(QStringLiteral("--version"))) {
        result.mode = CommandLine::Mode::version;
        return result;
    }
    const bool preview = arguments.contains(QStringLiteral("--preview-recording-bar"));
    if (preview)
        result.mode = CommandLine::Mode::previewRecordingBar;

    // `--action NAME` takes the next argument whatever it is; `--action=NAME` is the same.
    QStringList actions;
    QStringList rest;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == actionOption) {
            actions.append(i + 1 < arguments.size() ? arguments.at(++i) : QString());
        } else if (argument.startsWith(actionOption + QLatin1Char('='))) {
            actions.append(argument.mid(actionOption.size() + 1));
        } else {
            rest.append(argument);
        }
    }

    const QDir base(workingDirectory);
    for (const QString& argument : rest) {
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

    if (actions.isEmpty())
        return result;
    // One action a launch: two would race for the one selection overlay.
    if (actions.size() > 1)
        return invalid(QCoreApplication::translate("CommandLine", "give one --action at a time"), false);
    const QString name = actions.first();
    if (name.isEmpty())
        return invalid(QCoreApplication::translate("CommandLine", "--action needs the name of an action"), true);
    const std::optional<HotKeyAction> action = hotKeyActionFromRaw(name);
    if (!action) {
        return invalid(QCoreApplication::translate("CommandLine", "unknown action \"%1\"").arg(shownName(name)), true);
    }
    if (!result.files.isEmpty())
        return invalid(QCoreApplication::translate("CommandLine", "--action opens no files"), false);
    if (preview) {
        return invalid(
            QCoreApplication::translate("CommandLine", "--action and --preview-recording-bar exclude each other"),
            false);
    }
    result.mode = CommandLine::Mode::action;
    result.action = action;
    return result;
}

QString actionListText()
{
    QString text = QCoreApplication::translate("CommandLine", "The actions are:");
    for (HotKeyAction action : allHotKeyActions)
        text += QStringLiteral("\n  %1  %2").arg(rawValue(action), -20).arg(title(action));
    return text;
}

QString helpText()
{
    return QCoreApplication::translate("CommandLine",
               "Usage: vantrel [options] [image files…]\n"
               "\n"
               "Vantrel lives in the tray: it captures an area, a window or the screen, annotates and\n"
               "records. Launching vantrel again while it runs hands the request to the running one:\n"
               "image files open in the editor, no arguments opens the settings.\n"
               "\n"
               "Options:\n"
               "  --action NAME            run an action in the running Vantrel, as its shortcut does;\n"
               "                           Vantrel is started first when it is not running\n"
               "  --selftest [FOLDER]      check rendering, stitching and layout without a window and\n"
               "                           write editor-render.png into FOLDER; exit status 0 when all pass\n"
               "  --preview-recording-bar  show the recording control bar, print its layout, quit after 4 s\n"
               "  -h, --help               show this help\n"
               "  --version                show the version")
        + QStringLiteral("\n\n") + actionListText();
}

QString versionText()
{
    return QStringLiteral("Vantrel %1").arg(QCoreApplication::applicationVersion());
}

} // namespace vantrel
