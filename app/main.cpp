// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppCaptureSurfaces.h"
#include "AppDelegate.h"
#include "CommandLine.h"
#include "DesktopPlatform.h"
#include "ImageFiles.h"
#include "QuitSignals.h"
#include "SelfTest.h"
#include "Service.h"
#include "SingleInstance.h"
#include "SystemLog.h"
#include "ToastService.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>

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
    QStringList rawArguments;
    for (int i = 1; i < argc; ++i)
        rawArguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine early = parseCommandLine(rawArguments, QDir::currentPath());
    if (early.mode == CommandLine::Mode::selfTest)
        return runSelfTestMode(argc, argv, early.selfTestDirectory);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantrel"));
    QApplication::setDesktopFileName(QStringLiteral("vantrel"));
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
    if (commandLine.mode == CommandLine::Mode::normal) {
        switch (instance.start(commandLine.files)) {
        case SingleInstance::Outcome::Primary: break;
        case SingleInstance::Outcome::HandedOver: return 0;
        case SingleInstance::Outcome::NoBus:
            systemLog(QStringLiteral("Vantrel: no session bus (%1); a second launch will not reach this one")
                          .arg(instance.errorText()));
            break;
        case SingleInstance::Outcome::Failed:
            systemLog(QStringLiteral("Vantrel: another Vantrel is running but did not answer (%1)")
                          .arg(instance.errorText()));
            return 1;
        }
    }

    DesktopPlatform platform;
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
    // A kill, Ctrl+C or a closed terminal quits the way the menu does.
    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::quitRequested, &delegate, [&delegate](int signalNumber) {
        systemLog(QStringLiteral("Vantrel: quitting on signal %1").arg(signalNumber));
        delegate.quit();
    });
    delegate.start(commandLine);
    return app.exec();
}
