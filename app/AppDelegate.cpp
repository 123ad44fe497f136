// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppDelegate.h"

#include "CaptureCoordinator.h"
#include "CaptureHistory.h"
#include "CaptureItem.h"
#include "ChromeWindow.h"
#include "DesktopIconHider.h"
#include "EditorWindowController.h"
#include "FirstRunWindow.h"
#include "FocusHandOff.h"
#include "FocusService.h"
#include "HotKeys.h"
#include "ImageFiles.h"
#include "PinWindow.h"
#include "PlatformCapabilities.h"
#include "PreferenceStore.h"
#include "PrivateFiles.h"
#include "QuickAccessManager.h"
#include "ScreenRecorder.h"
#include "Service.h"
#include "Settings.h"
#include "SettingsWindow.h"
#include "SymbolIcons.h"
#include "SystemLog.h"
#include "Toasts.h"
#include "TrayHost.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QSessionManager>
#include <QSystemTrayIcon>
#include <QTimer>

#include <cmath>

namespace vantrel {

namespace {

constexpr int menuDispatchDelayMs = 200;

QIcon idleIcon()
{
    // The tray icon is always Vantrel's own drawing, in the panel's text colour.
    const QColor ink = QApplication::palette().color(QPalette::WindowText);
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48})
        icon.addPixmap(tintedSymbol(QStringLiteral("viewfinder"), size, ink));
    return icon;
}

QIcon recordingIcon()
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48})
        icon.addPixmap(tintedSymbol(QStringLiteral("stop.circle.fill"), size, QColor(255, 59, 48)));
    return icon;
}

QString imageFileFilter()
{
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        patterns.append(QStringLiteral("*.") + QString::fromLatin1(format));
    return QCoreApplication::translate("vantrel::AppDelegate", "Images (%1)").arg(patterns.join(QLatin1Char(' ')));
}

} // namespace

AppDelegate::AppDelegate(QObject* parent)
    : QObject(parent)
    , m_menu(new QMenu)
    , m_perform([](HotKeyAction action) { CaptureCoordinator::shared().perform(action); })
{
    connect(m_menu, &QMenu::aboutToShow, this, &AppDelegate::rebuildMenu);
    // Connected before any other part of Vantrel listens, so the orderly end runs first.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &AppDelegate::shutDown);
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { commitData(); });
    Service<RecordingStatus>::install(this);
}

AppDelegate::~AppDelegate()
{
    if (Service<RecordingStatus>::find() == this)
        Service<RecordingStatus>::install(nullptr);
    delete m_trayIcon;
    delete m_menu;
}

void AppDelegate::start(const CommandLine& commandLine)
{
    // The tray icon comes first so that the user sees Vantrel is running before anything slow.
    // Without a compositor a fading tooltip or menu is blended by hand against a picture of the
    // screen taken as it opens; plain ones are always right.
    if (!desktopIsCompositing()) {
        for (Qt::UIEffect effect :
            {Qt::UI_FadeTooltip, Qt::UI_AnimateTooltip, Qt::UI_FadeMenu, Qt::UI_AnimateMenu, Qt::UI_AnimateCombo})
            QApplication::setEffectEnabled(effect, false);
    }
    TrayHost* trayHost = Service<TrayHost>::find();
    const QPointer<AppDelegate> self(this);
    if (!trayHost || trayHost->availableOrWhenItAppears([self] {
            if (self && !self->m_trayIcon)
                self->createTrayIcon();
        }))
        createTrayIcon();
    else
        systemLog(QStringLiteral(
            "Vantrel: the desktop's tray has not started; the status icon follows when it does, shortcuts work now"));

    // Global shortcuts reach the coordinator without the menu's delay: no menu needs to close.
    HotKeyManager& hotKeys = HotKeyManager::shared();
    hotKeys.setHandler([this](HotKeyAction action) { performAction(action); });
    hotKeys.registerAll();

    // Desktop icons follow the setting now and whenever it is written, from any window.
    Settings& settings = Settings::shared();
    connect(&settings, &Settings::hideDesktopIconsWritten, this, [] { DesktopIconHider::shared().apply(); });
    DesktopIconHider::shared().apply();

    // Loading the history now means the first capture does not wait for it.
    CaptureHistory::shared();

    // The recording bar preview is a diagnostic run: it shows the bar and quits, so nothing after
    // it (permission, first-run window, files) should happen.
    if (commandLine.mode == CommandLine::Mode::previewRecordingBar) {
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            runRecordingBarPreview(screen);
            return;
        }
    }

    // Asking for screen access up front keeps the question out of the first capture (always
    // granted on X11; a portal backend may refuse).
    if (CaptureAccess* access = Service<CaptureAccess>::find(); access && !access->preflight())
        access->request();

    // Started by `vantrel --action`: the action runs as soon as the event loop does, as it would
    // have in a running Vantrel. The welcome window waits for a start of its own rather than
    // appearing over the capture the user asked for.
    if (commandLine.action) {
        const HotKeyAction action = *commandLine.action;
        QTimer::singleShot(0, this, [this, action] { performAction(action); });
        return;
    }

    // The first-run window is offered exactly once: the flag is written before it shows, so a
    // crash while it is open does not bring it back.
    PreferenceStore& store = Service<PreferenceStore>::get();
    if (!store.typed<bool>(QStringLiteral("didOnboard")).value_or(false)) {
        store.setValue(QStringLiteral("didOnboard"), true);
        QTimer::singleShot(firstRunDelayMs, this, [] { FirstRunWindow::showWindow(); });
    }

    if (!commandLine.files.isEmpty())
        openFiles(commandLine.files);
}

void AppDelegate::performAction(HotKeyAction action)
{
    m_perform(action);
}

void AppDelegate::createTrayIcon()
{
    m_trayIcon = new QSystemTrayIcon;
    connect(m_trayIcon, &QSystemTrayIcon::activated, this,
        [this](QSystemTrayIcon::ActivationReason reason) { onTrayIconActivated(reason); });
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        systemLog(QStringLiteral("Vantrel: no system tray found; the status menu is hidden, shortcuts still work"));
    // A tray that started late may find a recording running.
    applyStatus();
    m_trayIcon->show();
}

void AppDelegate::onTrayIconActivated(int reason)
{
    if (m_recording) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::Context)
            stopRecording();
        return;
    }
    // A plain click opens the menu, as the right button does.
    if (reason == QSystemTrayIcon::Trigger)
        m_menu->popup(QCursor::pos());
}

bool AppDelegate::handleReopen()
{
    if (FocusHandOff::shared().reopenSuppressed())
        return false;
    openSettings();
    return true;
}

void AppDelegate::openFiles(const QList<QUrl>& files)
{
    QStringList failures;
    for (const QUrl& url : files) {
        const QString path = url.toLocalFile();
        const Expected<OpenedImage> opened = loadImageFile(path);
        if (!opened) {
            systemLog(QStringLiteral("Vantrel: could not open %1: %2").arg(path, opened.error().description));
            failures.append(QFileInfo(path).fileName() + QStringLiteral(": ") + opened.error().description);
            continue;
        }
        EditorWindowController::open(CaptureItem::fromImage(opened->image, opened->scale, CaptureKind::screenshot));
    }
    if (failures.isEmpty())
        return;
    // One toast at a time: name the file when there is one, count them otherwise.
    showToast({.text = failures.size() == 1 ? tr("Could not open %1").arg(failures.first())
                                            : tr("Could not open %1 files").arg(failures.size()),
        .symbol = QStringLiteral("exclamationmark.triangle.fill"),
        .duration = 3.0});
}

void AppDelegate::rebuildMenu()
{
    m_menu->clear();
    const Settings& settings = Settings::shared();
    const HotKeyMap& hotKeys = settings.hotKeys();

    auto addCapture = [&](HotKeyAction action, const char* symbol) {
        QString text = title(action);
        if (const auto entry = hotKeys.find(rawValue(action)); entry != hotKeys.end())
            text += QLatin1Char('\t') + shortcutText(entry->second);
        QAction* item = m_menu->addAction(symbolIcon(QString::fromLatin1(symbol)), text);
        item->setData(rawValue(action));
        connect(item, &QAction::triggered, this, [this, item] { menuAction(item->data()); });
    };
    auto addCommand = [&](const QString& text, const char* symbol, void (AppDelegate::*slot)()) {
        QAction* item = m_menu->addAction(symbol ? symbolIcon(QString::fromLatin1(symbol)) : QIcon(), text);
        connect(item, &QAction::triggered, this, slot);
        return item;
    };

    addCapture(HotKeyAction::allInOne, "square.grid.2x2");
    m_menu->addSeparator();
    addCapture(HotKeyAction::captureArea, "rectangle.dashed");
    addCapture(HotKeyAction::capturePreviousArea, "arrow.counterclockwise.circle");
    addCapture(HotKeyAction::captureFullscreen, "display");
    if (platformCapabilities().windowSelection != WindowSelection::none)
        addCapture(HotKeyAction::captureWindow, "window");
    addCapture(HotKeyAction::selfTimer, "timer");
    addCapture(HotKeyAction::scrollingCapture, "arrow.up.and.down.text.horizontal");
    addCapture(HotKeyAction::captureText, "text.viewfinder");
    m_menu->addSeparator();
    addCapture(HotKeyAction::recordScreen, "record.circle");
    m_menu->addSeparator();
    addCommand(tr("Open Image in Editor…"), "pencil.and.outline", &AppDelegate::openImage);
    addCapture(HotKeyAction::pinFromClipboard, "pin");
    addCapture(HotKeyAction::openHistory, "clock.arrow.circlepath");
    QAction* restore = addCommand(tr("Restore Recently Closed"), "arrow.uturn.backward", &AppDelegate::restoreOverlay);
    restore->setEnabled(QuickAccessManager::shared().lastClosed() != nullptr);
    if (PinWindow::anyLocked())
        addCommand(tr("Unlock Pinned Screenshots"), "lock.open", &AppDelegate::unlockPins);
    if (PinWindow::pinCount() > 0)
        addCommand(tr("Close All Pins"), nullptr, &AppDelegate::closePins);
    m_menu->addSeparator();
    QAction* desktopIcons = addCommand(tr("Hide Desktop Icons"), nullptr, &AppDelegate::toggleDesktopIcons);
    desktopIcons->setCheckable(true);
    desktopIcons->setChecked(settings.hideDesktopIcons());
    m_menu->addSeparator();
    addCommand(tr("Settings…"), nullptr, &AppDelegate::openSettings)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    QAction* quit = m_menu->addAction(tr("Quit Vantrel"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(quit, &QAction::triggered, this, &AppDelegate::quit, Qt::QueuedConnection);
}

void AppDelegate::menuAction(const QVariant& data)
{
    if (data.typeId() != QMetaType::QString)
        return;
    const auto action = hotKeyActionFromRaw(data.toString());
    if (!action)
        return;
    // The menu closes first, so the capture never shows it.
    QTimer::singleShot(menuDispatchDelayMs, this, [this, action] { m_perform(*action); });
}

void AppDelegate::openImage()
{
    const QList<QUrl> files = QFileDialog::getOpenFileUrls(nullptr, tr("Open Image in Editor"), QUrl(),
        imageFileFilter(), nullptr, QFileDialog::Options(), {QStringLiteral("file")});
    if (!files.isEmpty())
        openFiles(files);
}

void AppDelegate::restoreOverlay()
{
    QuickAccessManager::shared().restore();
}

void AppDelegate::unlockPins()
{
    PinWindow::unlockPins();
}

void AppDelegate::closePins()
{
    PinWindow::closePins();
}

void AppDelegate::toggleDesktopIcons()
{
    Settings& settings = Settings::shared();
    settings.setHideDesktopIcons(!settings.hideDesktopIcons());
}

void AppDelegate::openSettings()
{
    SettingsWindow::showWindow();
}

void AppDelegate::stopRecording()
{
    ScreenRecorder::shared().stop();
}

void AppDelegate::quit()
{
    QCoreApplication::quit();
}

void AppDelegate::commitData()
{
    EditorWindowController::commitOpenEditors();
    CaptureHistory::shared().waitForPendingWrites();
}

void AppDelegate::shutDown()
{
    if (m_terminated)
        return;
    m_terminated = true;
    // Edits first: committing writes the edited pictures into the history.
    commitData();
    // A recording in progress is finished into the history before its folder goes.
    ScreenRecorder::shared().finishBeforeQuit();
    files::removeTemporaryDirectories();
    DesktopIconHider::shared().removeCovers();
}

QString AppDelegate::recordingTitle(double elapsedSeconds)
{
    const long long whole = elapsedSeconds > 0 ? static_cast<long long>(std::trunc(elapsedSeconds)) : 0;
    const long long minutes = whole / 60;
    return QString::asprintf(" %lld:%02lld", minutes, whole - 60 * minutes);
}

void AppDelegate::showRecordingStatus(double elapsedSeconds)
{
    m_recording = true;
    m_statusTitle = recordingTitle(elapsedSeconds);
    applyStatus();
}

void AppDelegate::showIdleStatus()
{
    m_recording = false;
    m_statusTitle.clear();
    applyStatus();
}

void AppDelegate::applyStatus()
{
    if (!m_trayIcon)
        return;
    if (m_recording) {
        m_trayIcon->setIcon(recordingIcon());
        m_trayIcon->setToolTip(tr("Stop recording") + m_statusTitle);
        m_trayIcon->setContextMenu(nullptr);
    } else {
        m_trayIcon->setIcon(idleIcon());
        m_trayIcon->setToolTip(QStringLiteral("Vantrel"));
        m_trayIcon->setContextMenu(m_menu);
    }
}

} // namespace vantrel
