// SPDX-License-Identifier: GPL-3.0-or-later
// Global shortcuts through the desktop's GlobalShortcuts portal, faked on the test's private
// bus: what Vantrel proposes, which presses become actions, what a refusal leaves, and binding
// again when the portal restarts. The fake answers on this test's thread, so any call that
// waited for the bus would hang until its timeout instead of passing.
#include "FakeDesktopPortal.h"
#include "Fakes.h"
#include "HotKeys.h"
#include "Service.h"
#include "Settings.h"
#include "SystemLog.h"
#include "portal/PortalGlobalShortcuts.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QTest>

#include <gtest/gtest.h>

using namespace vantrel;
using namespace vantrel::test;

namespace {

const QString shortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
using State = PortalGlobalShortcuts::State;

// Waits for an event the test caused; the limit only ends a test that would hang.
template <typename Condition> bool eventually(Condition condition)
{
    return QTest::qWaitFor(condition, 20000);
}

// Returns once everything the portal sent before now has been handled here: its signals and
// the answer to this call reach the client in the order they were sent.
void roundTrip()
{
    QDBusMessage message = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.portal.Desktop"),
        QStringLiteral("/org/freedesktop/portal/desktop"), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    message << shortcutsInterface << QStringLiteral("version");
    QDBusPendingCallWatcher watcher(QDBusConnection::sessionBus().asyncCall(message));
    bool answered = false;
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, [&] { answered = true; });
    ASSERT_TRUE(eventually([&] { return answered; }));
    QCoreApplication::processEvents(); // the press the manager deferred to the next turn
}

class PortalShortcutsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setSystemLogSink([this](const QString& line) { log.append(line); });
        m_portal.emplace(QStringList {shortcutsInterface});
        ASSERT_TRUE(m_portal->registered());
    }
    void TearDown() override { setSystemLogSink({}); }

    FakeDesktopPortal& portal() { return *m_portal; }
    // The portal goes away and another takes its name, as when the desktop restarts it.
    void restartPortal()
    {
        m_portal.reset();
        m_portal.emplace(QStringList {shortcutsInterface});
        ASSERT_TRUE(m_portal->registered());
    }
    bool logged(const QString& start) const
    {
        return std::any_of(log.begin(), log.end(), [&](const QString& line) { return line.startsWith(start); });
    }

    FakeKeyboardLayout layout;
    QStringList log;
    std::optional<FakeDesktopPortal> m_portal;
};

// A shortcuts client driven the way the settings drive it, one registration per identifier.
struct Client
{
    explicit Client(KeyboardLayout* layout)
        : shortcuts(QDBusConnection::sessionBus(), layout)
    {
        shortcuts.setPressHandler([this](quint32 identifier) { pressed.push_back(identifier); });
    }
    void add(quint32 identifier, const char* name, quint32 keyCode, quint32 modifiers)
    {
        shortcuts.describeHotKey(identifier, QString::fromLatin1(name), QString::fromLatin1(name).toUpper());
        ASSERT_TRUE(shortcuts.registerHotKey(keyCode, modifiers, identifier));
    }
    PortalGlobalShortcuts shortcuts;
    std::vector<quint32> pressed;
};

} // namespace

TEST_F(PortalShortcutsTest, TriggersAreWrittenInTheDesktopsNotation)
{
    layout.overrides[27] = QStringLiteral("-");
    layout.overrides[41] = QStringLiteral("Ö"); // a layout that prints capitals on its keys
    struct Case
    {
        quint32 key;
        quint32 modifiers;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {1, 256 | 512, "SHIFT+LOGO+s"}, {18, 4096 | 2048, "CTRL+ALT+1"}, {27, 4096, "CTRL+minus"},
        {41, 256, "LOGO+odiaeresis"}, {0x10000 + 99, 0, "Print"}, {0x10000 + 99, 512, "SHIFT+Print"},
        {122, 4096 | 2048 | 512 | 256, "CTRL+ALT+SHIFT+LOGO+F1"}, {49, 4096, "CTRL+space"}, {116, 256, "LOGO+Page_Up"},
        {77, 256, ""}, // a key the layout cannot name: the desktop chooses
    };
    for (const Case& c : cases)
        EXPECT_EQ(PortalGlobalShortcuts::triggerText(c.key, c.modifiers, &layout), QString::fromUtf8(c.expected))
            << c.expected;
    layout.available = false;
    EXPECT_EQ(PortalGlobalShortcuts::triggerText(1, 256, &layout), QString());
    EXPECT_EQ(PortalGlobalShortcuts::triggerText(122, 256, &layout), QStringLiteral("LOGO+F1"));
}

// The eleven actions through the settings' manager: one session, one bind with every action's
// name, translated title and keys; a press of the desktop's shortcut runs the action.
TEST_F(PortalShortcutsTest, EveryActionIsBoundOnceAndActivationsRunIt)
{
    PortalGlobalShortcuts shortcuts(QDBusConnection::sessionBus(), &layout);
    ScopedService<GlobalHotKeys> installed(&shortcuts);
    ScopedService<KeyboardLayout> keyboard(&layout);
    std::vector<HotKeyAction> ran;
    HotKeyManager manager;
    ScopedService<HotKeyManager> managerSlot(&manager);
    manager.setHandler([&](HotKeyAction action) { ran.push_back(action); });
    Settings::shared().setHotKeys(defaultHotKeys());
    manager.registerAll();

    ASSERT_TRUE(eventually([&] { return shortcuts.state() == State::bound; })) << log.join('\n').toStdString();
    EXPECT_EQ(portal().count(QStringLiteral("CreateSession")), 1);
    ASSERT_EQ(portal().binds.size(), 1u);
    const auto& bind = portal().binds[0];
    EXPECT_EQ(bind.size(), allHotKeyActions.size());
    for (HotKeyAction action : allHotKeyActions) {
        const auto proposed = bind.find(rawValue(action));
        ASSERT_NE(proposed, bind.end()) << rawValue(action).toStdString();
        EXPECT_EQ(proposed->second.value(QStringLiteral("description")).toString(), title(action));
        // Every default is Shift+Super and a letter or digit of the layout.
        const KeyCombo combo = defaultHotKeys().at(rawValue(action));
        EXPECT_EQ(proposed->second.value(QStringLiteral("preferred_trigger")).toString(),
            QStringLiteral("SHIFT+LOGO+") + *layout.character(combo.keyCode));
    }
    // The bind went to the session the portal made, and the desktop's own words are kept.
    EXPECT_EQ(portal().calls.back().arguments.value(0).value<QDBusObjectPath>().path(), portal().sessions.value(0));
    EXPECT_EQ(shortcuts.boundTriggers().at(QStringLiteral("captureArea")), QStringLiteral("shift+logo+s"));
    EXPECT_TRUE(logged(QStringLiteral("Vantrel: 11 global shortcuts bound")));

    portal().activate(rawValue(HotKeyAction::captureArea));
    ASSERT_TRUE(eventually([&] { return ran.size() == 1u; })) << log.join('\n').toStdString();
    EXPECT_EQ(ran[0], HotKeyAction::captureArea);

    // Presses of another application's session, or of names Vantrel never bound, run nothing;
    // signals arrive in order, so the last press shows the earlier ones were dropped.
    portal().activate(
        rawValue(HotKeyAction::captureWindow), QStringLiteral("/org/freedesktop/portal/desktop/session/x/y"));
    portal().activate(QStringLiteral("somethingElse"));
    portal().activate(rawValue(HotKeyAction::pinFromClipboard));
    ASSERT_TRUE(eventually([&] { return ran.size() == 2u; }));
    EXPECT_EQ(ran[1], HotKeyAction::pinFromClipboard);
}

// While the user records a new shortcut every shortcut is released: presses stop, but the
// desktop is not asked again for the same set. A changed shortcut is proposed in a new session
// and the old one is closed.
TEST_F(PortalShortcutsTest, RecordingAShortcutBindsOnlyWhatChanged)
{
    PortalGlobalShortcuts shortcuts(QDBusConnection::sessionBus(), &layout);
    ScopedService<GlobalHotKeys> installed(&shortcuts);
    ScopedService<KeyboardLayout> keyboard(&layout);
    std::vector<HotKeyAction> ran;
    HotKeyManager manager;
    ScopedService<HotKeyManager> managerSlot(&manager);
    manager.setHandler([&](HotKeyAction action) { ran.push_back(action); });
    Settings::shared().setHotKeys(defaultHotKeys());
    manager.registerAll();
    ASSERT_TRUE(eventually([&] { return shortcuts.state() == State::bound; }));
    const QString first = portal().sessions.value(0);

    manager.setSuspended(true);
    manager.registerAll();
    portal().activate(rawValue(HotKeyAction::captureArea));
    roundTrip();
    EXPECT_TRUE(ran.empty());
    // Escape: the same shortcuts again, then a press that must run.
    manager.setSuspended(false);
    manager.registerAll();
    portal().activate(rawValue(HotKeyAction::captureText));
    ASSERT_TRUE(eventually([&] { return !ran.empty(); }));
    EXPECT_EQ(ran, std::vector<HotKeyAction> {HotKeyAction::captureText});
    EXPECT_EQ(portal().binds.size(), 1u);

    HotKeyMap changed = defaultHotKeys();
    changed[rawValue(HotKeyAction::captureArea)] = KeyCombo {122, 4096};
    changed.erase(rawValue(HotKeyAction::openHistory));
    Settings::shared().setHotKeys(changed);
    ASSERT_TRUE(eventually([&] { return portal().binds.size() == 2u && shortcuts.state() == State::bound; }));
    EXPECT_EQ(portal().count(QStringLiteral("CreateSession")), 2);
    const auto& bind = portal().binds[1];
    EXPECT_EQ(bind.size(), allHotKeyActions.size() - 1);
    EXPECT_EQ(bind.count(rawValue(HotKeyAction::openHistory)), 0u);
    EXPECT_EQ(bind.at(rawValue(HotKeyAction::captureArea)).value(QStringLiteral("preferred_trigger")).toString(),
        QStringLiteral("CTRL+F1"));
    EXPECT_TRUE(eventually([&] { return portal().closedSessions.contains(first); }));

    // The old session's presses are the desktop's leftovers; the new one's run.
    portal().activate(rawValue(HotKeyAction::captureFullscreen), first);
    portal().activate(rawValue(HotKeyAction::captureFullscreen));
    ASSERT_TRUE(eventually([&] { return ran.size() == 2u; }));
    EXPECT_EQ(ran[1], HotKeyAction::captureFullscreen);
}

// The desktop or the user refuses (response 1), the portal fails (2), or the desktop ends the
// session later: a logged line, no press runs, and the same set is not asked for again until a
// shortcut changes.
TEST_F(PortalShortcutsTest, ARefusalLeavesALogLineAndRunsNothing)
{
    for (uint response : {1u, 2u}) {
        log.clear();
        restartPortal();
        portal().bindResponse = response;
        Client client(&layout);
        client.add(1, "captureArea", 1, 768);
        ASSERT_TRUE(eventually([&] { return client.shortcuts.state() == State::refused; })) << response;
        EXPECT_TRUE(logged(QStringLiteral("Vantrel: the desktop did not bind the global shortcuts"))) << response;
        EXPECT_TRUE(client.shortcuts.boundTriggers().empty());
        EXPECT_TRUE(eventually([&] { return portal().closedSessions.contains(portal().sessions.value(0)); }));
        portal().activate(QStringLiteral("captureArea"));
        roundTrip();
        EXPECT_TRUE(client.pressed.empty()) << response;

        // The same set again is not proposed; a changed one is, and binds.
        portal().bindResponse = 0;
        client.shortcuts.unregisterHotKey(1);
        client.add(1, "captureArea", 1, 768);
        client.add(2, "captureText", 19, 768);
        ASSERT_TRUE(eventually([&] { return client.shortcuts.state() == State::bound; })) << response;
        ASSERT_EQ(portal().binds.size(), 2u);
        EXPECT_EQ(portal().binds[1].size(), 2u);
        portal().activate(QStringLiteral("captureText"));
        ASSERT_TRUE(eventually([&] { return !client.pressed.empty(); }));
        EXPECT_EQ(client.pressed, std::vector<quint32> {2});
    }

    // Revoked later by the desktop.
    Client client(&layout);
    client.add(3, "captureFullscreen", 3, 768);
    ASSERT_TRUE(eventually([&] { return client.shortcuts.state() == State::bound; }));
    portal().endSession(portal().sessions.back());
    ASSERT_TRUE(eventually([&] { return client.shortcuts.state() == State::refused; }));
    EXPECT_TRUE(logged(QStringLiteral("Vantrel: the desktop closed the global shortcut session")));
    portal().activate(QStringLiteral("captureFullscreen"));
    roundTrip();
    EXPECT_TRUE(client.pressed.empty());
    client.add(4, "selfTimer", 25, 768);
    ASSERT_TRUE(eventually([&] { return client.shortcuts.state() == State::bound; }));
    portal().activate(QStringLiteral("captureFullscreen"));
    ASSERT_TRUE(eventually([&] { return !client.pressed.empty(); }));
    EXPECT_EQ(client.pressed, std::vector<quint32> {3});
}

// Without a portal, or with one that lacks the interface, nothing is proposed and the settings
// keep telling the user to bind commands in the desktop.
TEST_F(PortalShortcutsTest, WithoutTheInterfaceNothingIsProposed)
{
    for (bool portalRuns : {true, false}) {
        m_portal.reset();
        if (portalRuns)
            m_portal.emplace(QStringList {QStringLiteral("org.freedesktop.portal.Screenshot")});
        log.clear();
        Client client(&layout);
        client.add(1, "captureArea", 1, 768);
        ASSERT_TRUE(eventually([&] { return client.shortcuts.state() == State::absent; })) << portalRuns;
        EXPECT_TRUE(logged(QStringLiteral("Vantrel: the desktop has no global shortcut portal")));
        if (portalRuns) {
            EXPECT_EQ(portal().calls.size(), 0u);
        }
    }
}

// A restarted portal knows no session of Vantrel's: the shortcuts are bound again there. One
// that dies while its dialog is open never answers; its replacement gets them at once.
TEST_F(PortalShortcutsTest, APortalRestartBindsAgain)
{
    Client client(&layout);
    client.add(1, "captureArea", 0x10000 + 99, 0);
    client.add(2, "captureText", 122, 512);
    ASSERT_TRUE(eventually([&] { return client.shortcuts.state() == State::bound; }));
    // Everything released (as while a new shortcut is recorded): the desktop's presses run
    // nothing, and the same set registered again is not proposed again.
    client.shortcuts.unregisterHotKey(1);
    client.shortcuts.unregisterHotKey(2);
    portal().activate(QStringLiteral("captureArea"));
    roundTrip();
    EXPECT_TRUE(client.pressed.empty());
    client.add(1, "captureArea", 0x10000 + 99, 0);
    client.add(2, "captureText", 122, 512);
    // The first trip lets a bind start, the second sees that the portal got no new session.
    roundTrip();
    roundTrip();
    EXPECT_EQ(portal().count(QStringLiteral("CreateSession")), 1);

    std::vector<State> states;
    QObject::connect(
        &client.shortcuts, &PortalGlobalShortcuts::stateChanged, [&](State state) { states.push_back(state); });
    restartPortal();
    ASSERT_TRUE(eventually([&] { return portal().binds.size() == 1u && client.shortcuts.state() == State::bound; }));
    // Gone (shortcuts off), then found and bound again.
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(states.front(), State::absent);
    EXPECT_EQ(portal().binds[0].size(), 2u);
    EXPECT_EQ(portal().binds[0].at(QStringLiteral("captureArea")).value(QStringLiteral("preferred_trigger")),
        QStringLiteral("Print"));
    portal().activate(QStringLiteral("captureArea"));
    ASSERT_TRUE(eventually([&] { return client.pressed == std::vector<quint32> {1}; }));

    portal().answer = false;
    client.shortcuts.unregisterHotKey(2);
    ASSERT_TRUE(eventually([&] { return portal().binds.size() == 2u; }));
    EXPECT_EQ(client.shortcuts.state(), State::binding);
    restartPortal();
    ASSERT_TRUE(eventually([&] { return portal().binds.size() == 1u && client.shortcuts.state() == State::bound; }));
    EXPECT_EQ(portal().binds[0].size(), 1u);
    EXPECT_EQ(client.shortcuts.boundTriggers().at(QStringLiteral("captureArea")), QStringLiteral("print"));
    portal().activate(QStringLiteral("captureArea"));
    ASSERT_TRUE(eventually([&] { return client.pressed == (std::vector<quint32> {1, 1}); }));
}

// The desktop's words for the keys it bound reach the settings; when the user changes them in
// the desktop's own settings, the new words arrive too. Another session's changes are not ours.
TEST_F(PortalShortcutsTest, TheDesktopsKeysAreKnownAndFollowed)
{
    Client client(&layout);
    int changes = 0;
    client.shortcuts.setBoundTriggersChangedHandler([&] { ++changes; });
    client.add(1, "captureArea", 1, 768);
    client.add(2, "captureText", 19, 768);
    EXPECT_EQ(client.shortcuts.boundTrigger(1), QString());
    ASSERT_TRUE(eventually([&] { return client.shortcuts.state() == State::bound; }));
    EXPECT_EQ(client.shortcuts.boundTrigger(1), QStringLiteral("shift+logo+s"));
    EXPECT_EQ(client.shortcuts.boundTrigger(2), QStringLiteral("shift+logo+2"));
    EXPECT_EQ(client.shortcuts.boundTrigger(3), QString());
    EXPECT_EQ(changes, 1);

    portal().changeShortcuts(QStringLiteral("/org/freedesktop/portal/desktop/session/x/y"),
        {{QStringLiteral("captureArea"), QStringLiteral("Elsewhere")}});
    portal().changeShortcuts(portal().sessions.back(),
        {{QStringLiteral("captureArea"), QStringLiteral("Ctrl+Meta+A")}, {QStringLiteral("captureText"), QString()}});
    ASSERT_TRUE(eventually([&] { return changes == 2; }));
    EXPECT_EQ(client.shortcuts.boundTrigger(1), QStringLiteral("Ctrl+Meta+A"));
    EXPECT_EQ(client.shortcuts.boundTrigger(2), QString());

    // A released shortcut has no keys in the desktop, whatever it last said.
    client.shortcuts.unregisterHotKey(1);
    EXPECT_EQ(client.shortcuts.boundTrigger(1), QString());
    // The portal going away takes its keys with it.
    m_portal.reset();
    ASSERT_TRUE(eventually([&] { return client.shortcuts.state() == State::absent; }));
    EXPECT_EQ(client.shortcuts.boundTrigger(2), QString());
    EXPECT_EQ(changes, 3);
}
