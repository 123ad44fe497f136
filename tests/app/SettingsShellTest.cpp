// SPDX-License-Identifier: GPL-3.0-or-later
// The status menu and the settings window edit the same settings: what one changes, the other
// shows.
#include "AppDelegate.h"
#include "Fakes.h"
#include "HotKeys.h"
#include "PreferenceStore.h"
#include "Service.h"
#include "Settings.h"
#include "SettingsWindow.h"
#include "ShortcutRecorder.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QMenu>

#include <gtest/gtest.h>

using namespace vantrel;

namespace {

class SettingsShellTest : public ::testing::Test
{
protected:
    MemoryPreferenceStore store;
    ScopedService<PreferenceStore> storeSlot {&store};
    Settings settings {store};
    ScopedService<Settings> settingsSlot {&settings};
    test::FakeKeyboardLayout layout;
    ScopedService<KeyboardLayout> layoutSlot {&layout};
    test::FakeGlobalHotKeys desktop;
    ScopedService<GlobalHotKeys> desktopSlot {&desktop};
    HotKeyManager manager;
    ScopedService<HotKeyManager> managerSlot {&manager};
    AppDelegate delegate;

    void SetUp() override
    {
        manager.registerAll();
        delegate.openSettings();
        ASSERT_NE(SettingsWindow::current(), nullptr);
    }
    void TearDown() override { delete SettingsWindow::current(); }

    QString menuText(const QString& prefix)
    {
        delegate.rebuildMenu();
        for (QAction* a : delegate.menu()->actions()) {
            if (a->text().startsWith(prefix))
                return a->text();
        }
        return {};
    }
};

} // namespace

TEST_F(SettingsShellTest, AShortcutRecordedInTheWindowMovesToItsActionInTheMenu)
{
    EXPECT_EQ(menuText(QStringLiteral("Capture Area")), QStringLiteral("Capture Area\tShift+Super+S"));
    RecorderButton* button = SettingsWindow::current()->recorder(HotKeyAction::captureWindow)->button();
    button->click();
    ASSERT_TRUE(button->recording());
    QKeyEvent press(QEvent::KeyPress, Qt::Key_S, Qt::ShiftModifier | Qt::MetaModifier, 31 + 8, 0, 0);
    QApplication::sendEvent(button, &press);
    ASSERT_FALSE(button->recording());

    EXPECT_EQ(menuText(QStringLiteral("Capture Window")), QStringLiteral("Capture Window\tShift+Super+S"));
    EXPECT_EQ(menuText(QStringLiteral("Capture Area")), QStringLiteral("Capture Area"));
    // And the shortcut now fires the new action only.
    std::vector<HotKeyAction> fired;
    manager.setHandler([&](HotKeyAction action) { fired.push_back(action); });
    ASSERT_TRUE(desktop.press(1, 768));
    QCoreApplication::processEvents();
    EXPECT_EQ(fired, std::vector<HotKeyAction> {HotKeyAction::captureWindow});
}

TEST_F(SettingsShellTest, HidingDesktopIconsFromTheMenuShowsInTheWindowAtOnce)
{
    QCheckBox* hide = nullptr;
    for (QCheckBox* box : SettingsWindow::current()->findChildren<QCheckBox*>()) {
        if (box->text() == QStringLiteral("Hide desktop icons"))
            hide = box;
    }
    ASSERT_NE(hide, nullptr);
    EXPECT_FALSE(hide->isChecked());
    delegate.rebuildMenu();
    for (QAction* a : delegate.menu()->actions()) {
        if (a->text() == QStringLiteral("Hide Desktop Icons"))
            a->trigger();
    }
    EXPECT_TRUE(settings.hideDesktopIcons());
    EXPECT_TRUE(hide->isChecked());
}
