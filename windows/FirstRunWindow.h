// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SettingsTypes.h"

#include <QColor>
#include <QDialog>
#include <QTimer>

#include <array>
#include <map>

class QLabel;
class QPushButton;

namespace vantrel {

// The welcome window of the very first start: the main shortcuts, and whether Vantrel may read
// the screen, checked every second until it may.
class FirstRunWindow : public QDialog
{
    Q_OBJECT
public:
    static constexpr int contentSize = 520; // points, width and height
    static constexpr int permissionPollMs = 1000;
    // The actions whose shortcuts the window lists, in its order.
    static constexpr std::array<HotKeyAction, 6> listedActions
        = {HotKeyAction::allInOne, HotKeyAction::captureArea, HotKeyAction::captureFullscreen,
            HotKeyAction::captureWindow, HotKeyAction::recordScreen, HotKeyAction::captureText};

    // Makes a new window (closing one shown before), centres it and brings it to the front.
    static void showWindow();
    // The window on screen, if any; it is deleted when closed.
    static FirstRunWindow* current();

    explicit FirstRunWindow(QWidget* parent = nullptr);
    ~FirstRunWindow() override;

    bool hasPermission() const { return m_hasPermission; }
    // Asks the desktop again whether Vantrel may read the screen (the timer does so every second).
    void updatePermission();

    QLabel* shortcutLabel(HotKeyAction action) const { return m_shortcutLabels.at(action); }
    QLabel* permissionSymbol() const { return m_permissionSymbol; }
    QLabel* permissionDetail() const { return m_permissionDetail; }
    QPushButton* grantButton() const { return m_grant; }
    // The permission row, shown only where reading the screen can be refused.
    QWidget* permissionRow() const { return m_permissionRow; }
    QPushButton* openSettingsButton() const { return m_openSettings; }
    QPushButton* getStartedButton() const { return m_getStarted; }
    const QTimer& timer() const { return m_timer; }

    static QColor grantedColor() { return QColor(52, 199, 89); }
    static QColor requiredColor() { return QColor(255, 149, 0); }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void refreshShortcuts();
    void showPermission();
    void grant();

    bool m_hasPermission = true;
    QTimer m_timer;
    std::map<HotKeyAction, QLabel*> m_shortcutLabels;
    QLabel* m_bindingHint;
    QWidget* m_permissionRow;
    QLabel* m_permissionSymbol;
    QLabel* m_permissionDetail;
    QPushButton* m_grant;
    QPushButton* m_openSettings;
    QPushButton* m_getStarted;
};

} // namespace vantrel
