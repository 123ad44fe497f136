// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeyCombo.h"
#include "SettingsTypes.h"

#include <QPushButton>
#include <QWidget>

#include <optional>

class QKeyEvent;

namespace vantrel {

// The button that records one action's global shortcut. A click starts recording (every
// global shortcut is released meanwhile, so the keys reach this button); the next key with a
// modifier, or a function, arrow or Print key alone, becomes the shortcut. Escape leaves the
// old one; Delete alone clears it. A combination another action had moves to this one.
class RecorderButton : public QPushButton
{
    Q_OBJECT
public:
    explicit RecorderButton(QWidget* parent = nullptr);
    ~RecorderButton() override;

    HotKeyAction action() const { return m_action; }
    void setAction(HotKeyAction action);
    bool recording() const { return m_recording; }

    void toggle();
    void refreshTitle();

    // The combination a key press gives, or none when it cannot be a shortcut.
    static std::optional<KeyCombo> comboFromEvent(const QKeyEvent& event);
    // The stored virtual key code of a key press (from the X keycode when there is one).
    static std::optional<quint32> virtualKeyFromEvent(const QKeyEvent& event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void start();
    void stop(std::optional<HotKeyMap> newMap);
    bool handleKey(const QKeyEvent& event);

    HotKeyAction m_action = HotKeyAction::captureArea;
    bool m_recording = false;
    bool m_monitoring = false;
};

// The command a desktop's own shortcut settings bind to run one action
// ("vantrel --action captureArea").
QString desktopShortcutCommand(HotKeyAction action);
// What the shortcut lists say where the platform does not let Vantrel bind its keys itself;
// empty where it does.
QString shortcutBindingHint();

// The settings row element for one action's shortcut.
class ShortcutRecorder : public QWidget
{
    Q_OBJECT
public:
    explicit ShortcutRecorder(HotKeyAction action, QWidget* parent = nullptr);
    RecorderButton* button() const { return m_button; }

private:
    RecorderButton* m_button;
};

} // namespace vantrel
