// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CommandLine.h"
#include "KeyCombo.h"
#include "RecordingStatus.h"
#include "SettingsTypes.h"

#include <QList>
#include <QObject>
#include <QUrl>

#include <functional>

class QMenu;
class QSystemTrayIcon;

namespace vantrel {

// The tray-resident shell: the status icon and its menu, files opened with Vantrel, reopen
// requests, and the start-up sequence. It lives for the whole process.
class AppDelegate : public QObject, public RecordingStatus
{
    Q_OBJECT
public:
    using Perform = std::function<void(HotKeyAction)>;
    // The welcome window waits this long after start-up, so the tray icon settles first.
    static constexpr int firstRunDelayMs = 500;

    explicit AppDelegate(QObject* parent = nullptr);
    ~AppDelegate() override;

    // Start-up after the application object exists: tray, shortcuts, desktop icons, history,
    // the recording bar preview or the permission check and the first-run window; then the
    // files or the action of the command line.
    void start(const CommandLine& commandLine);

    // A second launch without files. Answers whether it opened the settings window.
    bool handleReopen();
    // Each readable image opens in its own editor; unreadable files are skipped.
    void openFiles(const QList<QUrl>& files);

    // A global shortcut and `vantrel --action` (over the bus) both come here, on a later turn of
    // the event loop than the press or the call: the action is performed at once.
    void performAction(HotKeyAction action);

    // Rebuilds the status menu from the settings, the thumbnails and the pins.
    void rebuildMenu();
    // A capture item: performs its action 0.2 s later; anything else is ignored.
    void menuAction(const QVariant& data);
    void openImage();
    void restoreOverlay();
    void unlockPins();
    void closePins();
    void toggleDesktopIcons();
    void openSettings();
    void stopRecording();

    // "Quit Vantrel", a quit signal and the session's end all come here: the event loop ends
    // and shutDown() runs.
    void quit();
    // The orderly end, once, while the application object still exists: open editors hand
    // their edits to their captures, history writes reach the disk, temporary files and the
    // desktop covers go.
    void shutDown();
    // The session manager asks for unsaved work before a logout (which it may still cancel):
    // edits and history writes are stored, nothing closes.
    void commitData();

    // The tray turns into a red stop button with the running time, and back.
    void showRecordingStatus(double elapsedSeconds) override;
    void showIdleStatus() override;
    bool isRecordingStatus() const { return m_recording; }
    QString statusTitle() const { return m_statusTitle; }

    QMenu* menu() const { return m_menu; }
    QSystemTrayIcon* trayIcon() const { return m_trayIcon; }

    // Where actions go; the capture coordinator unless a test says otherwise.
    void setPerform(Perform perform) { m_perform = std::move(perform); }

    // " %d:%02d" of the whole seconds; minutes are not wrapped into hours.
    static QString recordingTitle(double elapsedSeconds);

private:
    void createTrayIcon();
    void applyStatus();
    void onTrayIconActivated(int reason);

    QMenu* m_menu;
    QSystemTrayIcon* m_trayIcon = nullptr;
    Perform m_perform;
    bool m_recording = false;
    bool m_terminated = false;
    QString m_statusTitle;
};

} // namespace vantrel
