// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShortcutRecorder.h"

#include "Fakes.h"
#include "HotKeys.h"
#include "PreferenceStore.h"
#include "Service.h"
#include "Settings.h"

#include <QApplication>
#include <QKeyEvent>

#include <gtest/gtest.h>

using namespace vantrel;

namespace {

class ShortcutRecorderTest : public ::testing::Test
{
protected:
    MemoryPreferenceStore store;
    Settings settings {store};
    ScopedService<Settings> settingsSlot {&settings};
    test::FakeKeyboardLayout layout;
    ScopedService<KeyboardLayout> layoutSlot {&layout};
    test::FakeGlobalHotKeys desktop;
    ScopedService<GlobalHotKeys> desktopSlot {&desktop};
    HotKeyManager manager;
    ScopedService<HotKeyManager> managerSlot {&manager};
    RecorderButton button;

    void SetUp() override
    {
        HotKeyManager::shared().registerAll();
        button.setAction(HotKeyAction::captureWindow);
        button.show();
    }
    void TearDown() override
    {
        if (button.recording())
            button.toggle();
    }

    // A key press as the keyboard delivers it; `scanCode` is the X keycode (0 for none).
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, quint32 scanCode = 0)
    {
        QKeyEvent event(QEvent::KeyPress, key, modifiers, scanCode, 0, 0);
        QApplication::sendEvent(&button, &event);
    }
    std::optional<KeyCombo> stored(HotKeyAction action)
    {
        const auto it = settings.hotKeys().find(rawValue(action));
        return it == settings.hotKeys().end() ? std::nullopt : std::optional<KeyCombo>(it->second);
    }
};

} // namespace

TEST_F(ShortcutRecorderTest, TitleFollowsTheStoredShortcutAndTheRecordingState)
{
    EXPECT_EQ(button.text(), QStringLiteral("Shift+Super+6"));
    button.toggle();
    EXPECT_EQ(button.text(), QStringLiteral("Type shortcut…"));
    // Every global shortcut is released while recording, so none can fire under the typing.
    EXPECT_TRUE(desktop.active.empty());
    press(Qt::Key_Escape);
    EXPECT_FALSE(button.recording());
    EXPECT_EQ(button.text(), QStringLiteral("Shift+Super+6"));
    EXPECT_EQ(desktop.active.size(), 11u);

    settings.setHotKeys({});
    button.refreshTitle();
    EXPECT_EQ(button.text(), QStringLiteral("Record Shortcut"));
}

TEST_F(ShortcutRecorderTest, ACombinationMovesAwayFromTheActionThatHadIt)
{
    button.toggle();
    press(Qt::Key_S, Qt::ShiftModifier | Qt::MetaModifier, 31 + 8);
    EXPECT_FALSE(button.recording());
    EXPECT_EQ(stored(HotKeyAction::captureWindow), (KeyCombo {1, 768}));
    EXPECT_FALSE(stored(HotKeyAction::captureArea).has_value());
    // Stored and registered again.
    EXPECT_EQ(desktop.active.size(), 10u);
}

TEST_F(ShortcutRecorderTest, DeleteAloneClearsButWithAModifierIsAShortcut)
{
    button.toggle();
    press(Qt::Key_Backspace);
    EXPECT_FALSE(button.recording());
    EXPECT_FALSE(stored(HotKeyAction::captureWindow).has_value());

    button.toggle();
    press(Qt::Key_Backspace, Qt::MetaModifier);
    EXPECT_EQ(stored(HotKeyAction::captureWindow), (KeyCombo {51, 256}));
}

TEST_F(ShortcutRecorderTest, KeysWithoutModifiersOnlyWhenTheyTypeNothing)
{
    struct Case
    {
        int key;
        quint32 scanCode;
        std::optional<quint32> keyCode;
    };
    const std::vector<Case> cases = {
        {Qt::Key_F1, 59 + 8, 122},
        {Qt::Key_F2, 60 + 8, 120},
        {Qt::Key_F5, 63 + 8, 96},
        {Qt::Key_Left, 105 + 8, 123},
        {Qt::Key_Print, 99 + 8, 0x10000 + 99},
        {Qt::Key_A, 30 + 8, std::nullopt},
        {Qt::Key_Space, 57 + 8, std::nullopt},
    };
    for (const Case& c : cases) {
        button.toggle();
        press(c.key, Qt::NoModifier, c.scanCode);
        if (c.keyCode) {
            EXPECT_FALSE(button.recording()) << c.key;
            EXPECT_EQ(stored(HotKeyAction::captureWindow), (KeyCombo {*c.keyCode, 0})) << c.key;
        } else {
            // Swallowed; recording goes on.
            EXPECT_TRUE(button.recording()) << c.key;
            button.toggle();
        }
    }
}

TEST_F(ShortcutRecorderTest, LoneModifiersWaitForTheKey)
{
    button.toggle();
    press(Qt::Key_Control, Qt::ControlModifier);
    press(Qt::Key_Alt, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_TRUE(button.recording());
    press(Qt::Key_F5, Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier, 63 + 8);
    EXPECT_EQ(stored(HotKeyAction::captureWindow), (KeyCombo {96, 4096 | 2048 | 256}));
    EXPECT_EQ(button.text(), QStringLiteral("Ctrl+Alt+Super+F5"));
}

TEST(ShortcutRecorderKeys, VirtualKeysComeFromTheKeyboardOrFromQtsName)
{
    // From the X keycode the layout does not matter: the French A key is the US Q key.
    QKeyEvent french(QEvent::KeyPress, Qt::Key_A, Qt::MetaModifier, 16 + 8, 0, 0);
    EXPECT_EQ(RecorderButton::virtualKeyFromEvent(french), 12u);
    QKeyEvent synthetic(QEvent::KeyPress, Qt::Key_A, Qt::MetaModifier, 0, 0, 0);
    EXPECT_EQ(RecorderButton::virtualKeyFromEvent(synthetic), 0u);
    QKeyEvent unknown(QEvent::KeyPress, Qt::Key_Launch0, Qt::MetaModifier, 0, 0, 0);
    EXPECT_FALSE(RecorderButton::virtualKeyFromEvent(unknown).has_value());
}
