// SPDX-License-Identifier: GPL-3.0-or-later
#include "HotKeys.h"

#include "Fakes.h"
#include "PreferenceStore.h"
#include "Service.h"
#include "Settings.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace vantrel;

class HotKeysTest : public ::testing::Test
{
protected:
    MemoryPreferenceStore store;
    Settings settings {store};
    ScopedService<Settings> settingsSlot {&settings};
    test::FakeKeyboardLayout layout;
    ScopedService<KeyboardLayout> layoutSlot {&layout};
    test::FakeGlobalHotKeys desktop;
    ScopedService<GlobalHotKeys> desktopSlot {&desktop};
};

TEST_F(HotKeysTest, LabelsPutModifiersInFixedOrderBeforeTheKey)
{
    EXPECT_EQ(comboLabel({1, 768}), QStringLiteral("⇧⌘S"));
    EXPECT_EQ(comboLabel({96, 4096 | 2048 | 256}), QStringLiteral("⌃⌥⌘F5"));
    EXPECT_EQ(comboLabel({49, 256}), QStringLiteral("⌘Space"));
    EXPECT_EQ(comboLabel({51, 256}), QStringLiteral("⌘⌫"));
    EXPECT_EQ(comboLabel({122, 0}), QStringLiteral("F1"));
    EXPECT_EQ(comboLabel({126, 4096 | 512}), QStringLiteral("⌃⇧↑"));
}

TEST_F(HotKeysTest, ShortcutTextReadsTheLinuxWay)
{
    const std::vector<std::pair<KeyCombo, QString>> cases = {
        {{1, 768}, QStringLiteral("Shift+Super+S")},
        {{96, 4096 | 2048 | 256}, QStringLiteral("Ctrl+Alt+Super+F5")},
        {{6, 4096 | 512}, QStringLiteral("Ctrl+Shift+Z")},
        {{49, 256}, QStringLiteral("Super+Space")},
        {{51, 256}, QStringLiteral("Super+Backspace")},
        {{53, 0}, QStringLiteral("Esc")},
        {{36, 4096}, QStringLiteral("Ctrl+Enter")},
        {{126, 4096 | 512}, QStringLiteral("Ctrl+Shift+Up")},
        {{0x10000 + 99, 0}, QStringLiteral("Print")},
        {{0x10000 + 99, 512}, QStringLiteral("Shift+Print")},
        {{122, 0}, QStringLiteral("F1")},
    };
    for (const auto& [combo, text] : cases) {
        EXPECT_EQ(shortcutText(combo), text) << combo.keyCode << " " << combo.modifiers;
        EXPECT_FALSE(shortcutText(combo).contains(QRegularExpression(QStringLiteral("[⌃⌥⇧⌘⌫⎋↩⇥←→↑↓]"))));
    }
}

TEST_F(HotKeysTest, KeyNamesFollowTheLayoutAndFallBackToQuestionMark)
{
    layout.overrides[12] = QStringLiteral("a"); // AZERTY puts A where US has Q
    EXPECT_EQ(keyName(12), QStringLiteral("A"));
    EXPECT_EQ(keyName(18), QStringLiteral("1"));
    layout.available = false;
    EXPECT_EQ(keyName(1), QStringLiteral("?"));
    EXPECT_EQ(keyName(53), QStringLiteral("⎋")); // fixed names need no layout
    EXPECT_EQ(keyName(111), QStringLiteral("F12"));
}

TEST_F(HotKeysTest, RegistersEveryStoredShortcutWithFixedNumbers)
{
    HotKeyManager manager;
    manager.registerAll();
    ASSERT_EQ(desktop.active.size(), 11u);
    std::map<quint32, quint32> keyByNumber;
    for (const auto& [ref, registration] : desktop.active)
        keyByNumber[registration.identifier] = registration.keyCode;
    EXPECT_EQ(keyByNumber.at(1), 18u); // allInOne
    EXPECT_EQ(keyByNumber.at(2), 1u); // captureArea
    EXPECT_EQ(keyByNumber.at(11), 35u); // pinFromClipboard

    // The number stays with the action when the others are gone.
    settings.setHotKeys({{QStringLiteral("openHistory"), KeyCombo {4, 768}}});
    manager.registerAll();
    ASSERT_EQ(desktop.active.size(), 1u);
    EXPECT_EQ(desktop.active.begin()->second.identifier, 10u);
}

TEST_F(HotKeysTest, RefusedShortcutIsLoggedAndTheOthersStillWork)
{
    desktop.refused.insert({1, 768});
    test::LogCapture log;
    HotKeyManager manager;
    std::vector<HotKeyAction> fired;
    manager.setHandler([&](HotKeyAction a) { fired.push_back(a); });
    manager.registerAll();
    EXPECT_EQ(log.lines(), QStringList {QStringLiteral("Vantrel: could not register hotkey ⇧⌘S for Capture Area")});
    EXPECT_EQ(manager.registeredCount(), 10);

    ASSERT_TRUE(desktop.press(3, 768));
    EXPECT_TRUE(fired.empty()); // deferred to the event loop
    QCoreApplication::processEvents();
    EXPECT_EQ(fired, std::vector<HotKeyAction> {HotKeyAction::captureFullscreen});
}

TEST_F(HotKeysTest, WritingShortcutsRegistersAgain)
{
    HotKeyManager manager;
    manager.registerAll();
    settings.setHotKeys({{QStringLiteral("captureWindow"), KeyCombo {1, 768}}});
    ASSERT_EQ(desktop.active.size(), 1u);
    EXPECT_EQ(desktop.active.begin()->second.identifier, 5u);
}

TEST_F(HotKeysTest, UnknownOrStalePressesAreIgnored)
{
    HotKeyManager manager;
    int fired = 0;
    manager.setHandler([&](HotKeyAction) { ++fired; });
    manager.registerAll();
    desktop.pressIdentifier(99);
    settings.setHotKeys({});
    desktop.pressIdentifier(2); // arrives just after re-registration
    QCoreApplication::processEvents();
    EXPECT_EQ(fired, 0);
}

TEST_F(HotKeysTest, SuspendedOrEmptyRegistersNothingAndLogsNothing)
{
    test::LogCapture log;
    HotKeyManager manager;
    manager.setSuspended(true);
    manager.registerAll();
    EXPECT_TRUE(desktop.active.empty());
    EXPECT_EQ(desktop.handlerInstalls(), 1); // the handler is installed even while suspended
    manager.setSuspended(false);
    settings.setHotKeys({});
    manager.registerAll();
    EXPECT_TRUE(desktop.active.empty());
    EXPECT_TRUE(log.lines().isEmpty());
}
