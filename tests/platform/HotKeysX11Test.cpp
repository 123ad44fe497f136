// SPDX-License-Identifier: GPL-3.0-or-later
// Global shortcuts against a real X server: grabs, lock keys, refusals and keymap changes,
// driven by XTest through xdotool.
#include "Fakes.h"
#include "HotKeys.h"
#include "KeyboardLayout.h"
#include "PreferenceStore.h"
#include "Service.h"
#include "Settings.h"
#include "x11/X11GlobalHotKeys.h"

#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>
#include <xcb/xcb.h>

using namespace vantrel;

namespace {

void xdotool(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    ASSERT_TRUE(p.waitForFinished(5000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
}

class HotKeysX11 : public ::testing::Test
{
protected:
    MemoryPreferenceStore store;
    Settings settings {store};
    ScopedService<Settings> settingsSlot {&settings};
    XkbKeyboardLayout layout;
    ScopedService<KeyboardLayout> layoutSlot {&layout};
    X11GlobalHotKeys desktop {&layout};
    ScopedService<GlobalHotKeys> desktopSlot {&desktop};
    HotKeyManager manager;
    std::vector<HotKeyAction> fired;

    void SetUp() override
    {
        manager.setHandler([this](HotKeyAction a) { fired.push_back(a); });
    }

    bool waitForAction(HotKeyAction action)
    {
        return QTest::qWaitFor([&] { return std::find(fired.begin(), fired.end(), action) != fired.end(); }, 3000);
    }
};

} // namespace

TEST_F(HotKeysX11, DefaultShortcutFiresWhateverLocksAreOn)
{
    manager.registerAll();
    ASSERT_EQ(manager.registeredCount(), 11);
    xdotool({QStringLiteral("key"), QStringLiteral("shift+super+s")});
    ASSERT_TRUE(waitForAction(HotKeyAction::captureArea));

    fired.clear();
    xdotool({QStringLiteral("key"), QStringLiteral("Num_Lock")});
    xdotool({QStringLiteral("key"), QStringLiteral("Caps_Lock")});
    xdotool({QStringLiteral("key"), QStringLiteral("shift+super+f")});
    EXPECT_TRUE(waitForAction(HotKeyAction::captureFullscreen));
    xdotool({QStringLiteral("key"), QStringLiteral("Num_Lock")});
    xdotool({QStringLiteral("key"), QStringLiteral("Caps_Lock")});

    // Shift+S alone, or another modifier added, is not the shortcut.
    fired.clear();
    xdotool({QStringLiteral("key"), QStringLiteral("shift+s")});
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+shift+super+s")});
    // The real shortcut pressed after them arrives after them: once it has fired, they had
    // their chance.
    xdotool({QStringLiteral("key"), QStringLiteral("shift+super+h")});
    ASSERT_TRUE(waitForAction(HotKeyAction::openHistory));
    EXPECT_EQ(fired, std::vector<HotKeyAction> {HotKeyAction::openHistory});
}

TEST_F(HotKeysX11, AComboHeldByAnotherClientIsLoggedAndTheOthersStillWork)
{
    // Another client takes Shift+Super+D (the record shortcut) first.
    xcb_connection_t* other = xcb_connect(nullptr, nullptr);
    ASSERT_FALSE(xcb_connection_has_error(other));
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(other)).data->root;
    const xcb_keycode_t d = 32 + 8;
    xcb_void_cookie_t cookie = xcb_grab_key_checked(
        other, 1, root, XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_4, d, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    ASSERT_EQ(xcb_request_check(other, cookie), nullptr);

    test::LogCapture log;
    manager.registerAll();
    EXPECT_EQ(manager.registeredCount(), 10);
    EXPECT_TRUE(log.lines().contains(QStringLiteral("Vantrel: could not register hotkey ⇧⌘D for Record Screen")))
        << log.lines().join('\n').toStdString();

    xdotool({QStringLiteral("key"), QStringLiteral("shift+super+h")});
    EXPECT_TRUE(waitForAction(HotKeyAction::openHistory));

    // Once the other client lets go, the next registration takes it.
    xcb_disconnect(other);
    // The server drops the other client's grabs once it has noticed the disconnection.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            manager.registerAll();
            return manager.registeredCount() == 11;
        },
        3000));
}

TEST_F(HotKeysX11, ChangedShortcutsAreGrabbedAgainAndOldOnesReleased)
{
    manager.registerAll();
    settings.setHotKeys({{QStringLiteral("captureWindow"), KeyCombo {1, KeyCombo::control | KeyCombo::option}}});
    xdotool({QStringLiteral("key"), QStringLiteral("shift+super+s")});
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+s")});
    ASSERT_TRUE(waitForAction(HotKeyAction::captureWindow));
    EXPECT_EQ(fired, std::vector<HotKeyAction> {HotKeyAction::captureWindow});
}

TEST_F(HotKeysX11, KeymapChangeRegistersEverythingAgain)
{
    int registrations = 0;
    manager.registerAll();
    desktop.setKeymapChangedHandler([&] {
        ++registrations;
        manager.registerAll();
    });
    QProcess::execute(QStringLiteral("setxkbmap"), {QStringLiteral("-layout"), QStringLiteral("fr")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return registrations > 0; }, 3000));
    // On a French layout the key that types A is where US has Q.
    EXPECT_EQ(keyName(12), QStringLiteral("A"));
    xdotool({QStringLiteral("key"), QStringLiteral("shift+super+s")});
    EXPECT_TRUE(waitForAction(HotKeyAction::captureArea));
    QProcess::execute(QStringLiteral("setxkbmap"), {QStringLiteral("-layout"), QStringLiteral("us")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return keyName(12) == QStringLiteral("Q"); }, 3000));
}
