// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppCaptureSurfaces.h"
#include "AppDelegate.h"
#include "CommandLine.h"
#include "DesktopPlatform.h"
#include "ImageFiles.h"
#include "Launch.h"
#include "QuitSignals.h"
#include "SelfTest.h"
#include "Service.h"
#include "SingleInstance.h"
#include "SystemLog.h"
#include "ToastService.h"
#include "Translations.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QIcon>

using namespace vantrel;

namespace {

int runSelfTestMode(int argc, char** argv, const QString& directory)
{
    // The self-test draws text, which needs Qt's font database, but it must never need a
    // display: an offscreen application object gives fonts without opening a window.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    return runSelfTest(directory);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication::setApplicationName(QStringLiteral("Vantrel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VANTREL_VERSION));
    QStringList rawArguments;
    for (int i = 1; i < argc; ++i)
        rawArguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine early = parseCommandLine(rawArguments, QDir::currentPath());
    if (early.mode == CommandLine::Mode::selfTest)
        return runSelfTestMode(argc, argv, early.selfTestDirectory);
    // Run directly rather than through the launcher, the program answers these alike.
    if (early.mode == CommandLine::Mode::help || early.mode == CommandLine::Mode::version
        || early.mode == CommandLine::Mode::invalid)
        return launchWithoutDisplay(argc, argv, early, QStringLiteral(VANTREL_TRANSLATIONS_FROM_EXECUTABLE))
            .value_or(2);

    QApplication app(argc, argv);
    installTranslationsBesideProgram(QStringLiteral(VANTREL_TRANSLATIONS_FROM_EXECUTABLE));
    QApplication::setDesktopFileName(QStringLiteral("vantrel"));
    // Installed, the icon theme has Vantrel's own icon; from the build tree windows have none.
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("vantrel")));
    QApplication::setQuitOnLastWindowClosed(false);
    allowLargeImages();
    CommandLine commandLine = parseCommandLine(QApplication::arguments().mid(1), QDir::currentPath());
    if (!commandLine.files.isEmpty()) {
        // Each file that cannot be opened is named on standard error; a launch with nothing to
        // open fails rather than handing a reopen (the settings window) to a running Vantrel.
        commandLine.files = openableFiles(commandLine.files);
        if (commandLine.files.isEmpty())
            return 1;
    }

    SingleInstance instance;
    QStringList actionNames;
    for (HotKeyAction action : allHotKeyActions)
        actionNames.append(rawValue(action));
    instance.setActionNames(actionNames);
    if (commandLine.mode == CommandLine::Mode::normal || commandLine.mode == CommandLine::Mode::action) {
        const InstanceRequest request = commandLine.action ? InstanceRequest::forAction(rawValue(*commandLine.action))
                                                           : InstanceRequest::forFiles(commandLine.files);
        switch (instance.start(request)) {
        case SingleInstance::Outcome::Primary: break;
        case SingleInstance::Outcome::HandedOver: return 0;
        case SingleInstance::Outcome::Refused:
            printLine(stderr, QStringLiteral("vantrel: ") + instance.errorText());
            return 2;
        case SingleInstance::Outcome::NoBus:
            systemLog(QStringLiteral("Vantrel: no session bus (%1); a second launch will not reach this one")
                          .arg(instance.errorText()));
            break;
        case SingleInstance::Outcome::NoInstance:
        case SingleInstance::Outcome::Failed:
            systemLog(QStringLiteral("Vantrel: another Vantrel is running but did not answer (%1)")
                          .arg(instance.errorText()));
            return 1;
        }
    }

    // The launcher names itself, so that a login item starts Vantrel the way the user does; the
    // name is not handed on to the programs Vantrel opens.
    const QString launcher = qEnvironmentVariable(launcherVariable);
    qunsetenv(launcherVariable);
    DesktopPlatform platform(launcher);
    ToastService toasts;
    ScopedService<ToastPresenter> toastSlot(&toasts);
    AppCaptureSurfaces surfaces;
    ScopedService<CaptureSurfaces> surfacesSlot(&surfaces);

    AppDelegate delegate;
    QObject::connect(&instance, &SingleInstance::reopenRequested, &delegate, [&delegate] {
        systemLog(QStringLiteral("Vantrel: reopen requested"));
        delegate.handleReopen();
    });
    QObject::connect(&instance, &SingleInstance::openFilesRequested, &delegate, &AppDelegate::openFiles);
    // Queued, as a shortcut press is: the caller has its answer before the action runs.
    QObject::connect(
        &instance, &SingleInstance::actionRequested, &delegate,
        [&delegate](const QString& name) {
            if (const std::optional<HotKeyAction> action = hotKeyActionFromRaw(name))
                delegate.performAction(*action);
        },
        Qt::QueuedConnection);
    // A kill, Ctrl+C or a closed terminal quits the way the menu does.
    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::quitRequested, &delegate, [&delegate](int signalNumber) {
        systemLog(QStringLiteral("Vantrel: quitting on signal %1").arg(signalNumber));
        delegate.quit();
    });
    delegate.start(commandLine);
    return app.exec();
}
