// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SettingsTypes.h"

#include <QDir>
#include <QString>
#include <QWidget>

#include <map>

class QLabel;
class QTabWidget;

namespace vantrel {

class PresetSwatchGrid;
class Settings;
class SettingsForm;
class ShortcutRecorder;

// Every setting and shortcut in one window of five tabs. Each control is bound to one setting:
// an edit is stored the moment it is made (there is no OK or Apply), and a change made elsewhere
// shows at once.
class SettingsWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr int paneWidth = 620; // points
    static constexpr int paneHeight = 520; // points; more when the content needs it
    static constexpr int recorderWidth = 150; // points

    // Shows the process's one settings window, made on first use, centred on first show and kept
    // when closed, and brings it to the front.
    static void showWindow();
    // That window, once made.
    static SettingsWindow* current();

    // A window over `settings`, which must outlive it.
    explicit SettingsWindow(Settings& settings, QWidget* parent = nullptr);
    ~SettingsWindow() override;

    void bringToFront();

    QTabWidget* tabs() const { return m_tabs; }
    SettingsForm& form() const { return *m_form; }
    QLabel* saveLocationLabel() const { return m_saveLocation; }
    PresetSwatchGrid* swatchGrid() const { return m_swatches; }
    ShortcutRecorder* recorder(HotKeyAction action) const { return m_recorders.at(action); }

    // `path` with the home folder written as "~" (the folder itself, or folders in it).
    static QString abbreviatedPath(const QString& path, const QString& home = QDir::homePath());

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* generalPane();
    QWidget* screenshotsPane();
    QWidget* recordingPane();
    QWidget* quickAccessPane();
    QWidget* shortcutsPane();
    void rebuildShortcutsPane();
    void refreshDesktopTriggers();
    void chooseSaveLocation();
    void fitPanesToContent();
    void stopRecordingShortcuts();

    Settings& m_settings;
    SettingsForm* m_form;
    QTabWidget* m_tabs;
    QLabel* m_saveLocation = nullptr;
    PresetSwatchGrid* m_swatches = nullptr;
    std::map<HotKeyAction, ShortcutRecorder*> m_recorders;
    std::map<HotKeyAction, QLabel*> m_desktopTriggers; // where a portal binds the keys
};

} // namespace vantrel
