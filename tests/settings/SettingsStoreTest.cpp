// SPDX-License-Identifier: GPL-3.0-or-later
#include "Fakes.h"
#include "PreferenceStore.h"
#include "Service.h"
#include "Settings.h"
#include "XdgPaths.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <functional>
#include <limits>

using namespace vantrel;

namespace {

QByteArray hotKeysBytes(const MemoryPreferenceStore& store)
{
    return std::get<QByteArray>(*store.value(QStringLiteral("hotKeys")));
}

} // namespace

TEST(SettingsStore, EmptyStoreGivesEveryDefault)
{
    MemoryPreferenceStore store;
    const Settings s(store);
    EXPECT_EQ(s.saveDirectory(), xdg::desktopDir());
    EXPECT_EQ(s.imageFormat(), ImageFormat::png);
    EXPECT_EQ(s.filePrefix(), QStringLiteral("Vantrel"));
    EXPECT_TRUE(s.playSound());
    EXPECT_TRUE(s.afterShowOverlay());
    EXPECT_TRUE(s.afterCopy());
    EXPECT_FALSE(s.afterSave());
    EXPECT_FALSE(s.afterOpenEditor());
    EXPECT_TRUE(s.freezeScreen());
    EXPECT_TRUE(s.showCrosshair());
    EXPECT_TRUE(s.showMagnifier());
    EXPECT_TRUE(s.dropAnimation());
    EXPECT_TRUE(s.windowShadow());
    EXPECT_FALSE(s.windowBackground());
    EXPECT_EQ(s.windowBackgroundPreset(), 0);
    EXPECT_EQ(s.selfTimerSeconds(), 5);
    EXPECT_FALSE(s.hideDesktopIcons());
    EXPECT_EQ(s.overlayCorner(), OverlayCorner::left);
    EXPECT_EQ(s.overlayAutoClose(), 10);
    EXPECT_DOUBLE_EQ(s.overlaySize(), 220.0);
    EXPECT_EQ(s.recordFPS(), 60);
    EXPECT_TRUE(s.recordShowCursor());
    EXPECT_TRUE(s.recordShowClicks());
    EXPECT_FALSE(s.recordMicrophone());
    EXPECT_FALSE(s.recordSystemAudio());
    EXPECT_FALSE(s.recordCamera());
    EXPECT_FALSE(s.recordKeystrokes());
    EXPECT_TRUE(s.recordRetina());
    EXPECT_EQ(s.gifFPS(), 15);
    EXPECT_EQ(s.gifMaxWidth(), 960);
    EXPECT_EQ(s.historyDays(), 30);

    ASSERT_EQ(s.hotKeys().size(), 11u);
    const std::map<HotKeyAction, quint32> keys
        = {{HotKeyAction::allInOne, 18}, {HotKeyAction::captureArea, 1}, {HotKeyAction::capturePreviousArea, 28},
            {HotKeyAction::captureFullscreen, 3}, {HotKeyAction::captureWindow, 22}, {HotKeyAction::selfTimer, 25},
            {HotKeyAction::scrollingCapture, 26}, {HotKeyAction::captureText, 19}, {HotKeyAction::recordScreen, 2},
            {HotKeyAction::openHistory, 4}, {HotKeyAction::pinFromClipboard, 35}};
    for (const auto& [action, keyCode] : keys)
        EXPECT_EQ(s.hotKeys().at(rawValue(action)), (KeyCombo {keyCode, 768})) << rawValue(action).toStdString();
    // Reading defaults writes nothing.
    EXPECT_EQ(store.writeCount(), 0);
}

TEST(SettingsStore, WrongTypesFallBackAndStayAsStored)
{
    test::LogCapture log;
    MemoryPreferenceStore store;
    store.setValue(QStringLiteral("playSound"), QStringLiteral("yes"));
    store.setValue(QStringLiteral("recordFPS"), 30.0);
    store.setValue(QStringLiteral("overlaySize"), qint64(300));
    store.setValue(QStringLiteral("filePrefix"), true);
    store.setValue(QStringLiteral("historyDays"), qint64(1) << 40);
    const int writesBefore = store.writeCount();

    const Settings s(store);
    EXPECT_TRUE(s.playSound());
    EXPECT_EQ(s.recordFPS(), 60);
    EXPECT_DOUBLE_EQ(s.overlaySize(), 220.0);
    EXPECT_EQ(s.filePrefix(), QStringLiteral("Vantrel"));
    // A whole number too large for the setting is still a whole number: it is clamped.
    EXPECT_EQ(s.historyDays(), Settings::historyDaysLimits.maximum);
    EXPECT_EQ(store.writeCount(), writesBefore);
    EXPECT_EQ(store.typed<QString>(QStringLiteral("playSound")), QStringLiteral("yes"));
    // Each fallback is said once, naming the key.
    EXPECT_EQ(log.lines(),
        (QStringList {QStringLiteral("Vantrel: setting filePrefix is not a String; using its default"),
            QStringLiteral("Vantrel: setting playSound is not a Bool; using its default"),
            QStringLiteral("Vantrel: setting overlaySize is not a number; using its default"),
            QStringLiteral("Vantrel: setting recordFPS is not a whole number; using its default"),
            QStringLiteral("Vantrel: setting historyDays of 1099511627776 is outside 1 to 36500; using 36500")}));

    // An unknown choice is said too.
    test::LogCapture choices;
    MemoryPreferenceStore named;
    named.setValue(QStringLiteral("imageFormat"), QStringLiteral("JPG"));
    named.setValue(QStringLiteral("overlayCorner"), qint64(1));
    const Settings t(named);
    EXPECT_EQ(t.imageFormat(), ImageFormat::png);
    EXPECT_EQ(t.overlayCorner(), OverlayCorner::left);
    EXPECT_EQ(choices.lines(),
        (QStringList {QStringLiteral("Vantrel: setting imageFormat \"JPG\" names no choice; using png"),
            QStringLiteral("Vantrel: setting overlayCorner is not a String; using its default")}));
}

TEST(SettingsStore, EnumerationsAcceptOnlyTheirExactRawValues)
{
    const std::vector<std::pair<QString, ImageFormat>> formats = {{QStringLiteral("jpg"), ImageFormat::jpg},
        {QStringLiteral("JPG"), ImageFormat::png}, {QStringLiteral("gif"), ImageFormat::png},
        {QStringLiteral("png"), ImageFormat::png}, {QString(), ImageFormat::png}};
    for (const auto& [raw, expected] : formats) {
        MemoryPreferenceStore store;
        store.setValue(QStringLiteral("imageFormat"), raw);
        EXPECT_EQ(Settings(store).imageFormat(), expected) << raw.toStdString();
    }
    const std::vector<std::pair<QString, OverlayCorner>> corners = {{QStringLiteral("right"), OverlayCorner::right},
        {QStringLiteral("Right"), OverlayCorner::left}, {QStringLiteral("top"), OverlayCorner::left}};
    for (const auto& [raw, expected] : corners) {
        MemoryPreferenceStore store;
        store.setValue(QStringLiteral("overlayCorner"), raw);
        EXPECT_EQ(Settings(store).overlayCorner(), expected) << raw.toStdString();
    }

    MemoryPreferenceStore store;
    Settings(store).setImageFormat(ImageFormat::jpg);
    EXPECT_EQ(store.typed<QString>(QStringLiteral("imageFormat")), QStringLiteral("jpg"));
}

TEST(SettingsStore, EmptyShortcutMapSurvivesRestart)
{
    MemoryPreferenceStore store;
    Settings(store).setHotKeys({});
    EXPECT_EQ(hotKeysBytes(store), QByteArray("{}"));
    EXPECT_TRUE(Settings(store).hotKeys().empty());
}

TEST(SettingsStore, UnreadableShortcutsGiveDefaultsAndKeepTheStoredBytes)
{
    const std::vector<QByteArray> broken = {"not json", "[1,2]", R"({"captureArea":{"keyCode":"S","modifiers":768}})",
        R"({"captureArea":{"keyCode":-1,"modifiers":768}})", R"({"captureArea":{"keyCode":1.5,"modifiers":768}})",
        R"({"captureArea":{"keyCode":1}})"};
    for (const QByteArray& bytes : broken) {
        MemoryPreferenceStore store;
        store.setValue(QStringLiteral("hotKeys"), bytes);
        const Settings s(store);
        EXPECT_EQ(s.hotKeys(), defaultHotKeys()) << bytes.toStdString();
        EXPECT_EQ(hotKeysBytes(store), bytes);
    }
}

TEST(SettingsStore, PartialShortcutMapIsUsedAsItIs)
{
    MemoryPreferenceStore store;
    store.setValue(QStringLiteral("hotKeys"),
        QByteArray(R"({"captureWindow":{"keyCode":1,"modifiers":768},"futureAction":{"keyCode":2,"modifiers":256}})"));
    const Settings s(store);
    ASSERT_EQ(s.hotKeys().size(), 2u);
    EXPECT_EQ(s.hotKeys().at(QStringLiteral("captureWindow")), (KeyCombo {1, 768}));
    // An entry this version does not know survives the next write.
    Settings writer(store);
    writer.setHotKeys(writer.hotKeys());
    EXPECT_EQ(Settings(store).hotKeys().count(QStringLiteral("futureAction")), 1u);
}

TEST(SettingsStore, ShortcutsAreStoredAsCompactJson)
{
    MemoryPreferenceStore store;
    Settings(store).setHotKeys({{QStringLiteral("captureArea"), KeyCombo {1, 768}}});
    EXPECT_EQ(hotKeysBytes(store), QByteArray(R"({"captureArea":{"keyCode":1,"modifiers":768}})"));
}

TEST(SettingsStore, SideEffectsRunEvenForUnchangedValues)
{
    MemoryPreferenceStore store;
    Settings s(store);
    QSignalSpy icons(&s, &Settings::hideDesktopIconsWritten);
    QSignalSpy shortcuts(&s, &Settings::hotKeysWritten);
    s.setHideDesktopIcons(false);
    s.setHideDesktopIcons(false);
    s.setHotKeys(s.hotKeys());
    ASSERT_EQ(icons.count(), 2);
    EXPECT_EQ(icons.at(0).at(0).toBool(), false);
    EXPECT_EQ(shortcuts.count(), 1);
}

TEST(SettingsStore, ObserversHearBeforeTheValueChanges)
{
    MemoryPreferenceStore store;
    Settings s(store);
    std::vector<std::pair<QString, int>> seen;
    QObject::connect(
        &s, &Settings::aboutToChange, [&](const QString& key) { seen.emplace_back(key, s.selfTimerSeconds()); });
    s.setSelfTimerSeconds(10);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].first, QStringLiteral("selfTimerSeconds"));
    EXPECT_EQ(seen[0].second, 5); // the old value is still in place
    EXPECT_EQ(s.selfTimerSeconds(), 10);
}

TEST(SettingsStore, NumbersOutOfRangeAreClampedOnLoadAndOnWriteAndLeftStoredUntilSet)
{
    // Values a hand-edited or damaged settings file can hold; each would overflow a timer, make
    // a thumbnail 1.6 million points wide or empty the history.
    struct Case
    {
        const char* key;
        PreferenceValue stored;
        std::function<double(const Settings&)> read;
        double expected;
    };
    const auto autoClose = [](const Settings& s) { return double(s.overlayAutoClose()); };
    const auto size = [](const Settings& s) { return s.overlaySize(); };
    const auto days = [](const Settings& s) { return double(s.historyDays()); };
    const Case cases[] = {
        {"overlayAutoClose", qint64(2147483647), autoClose, 3600},
        {"overlayAutoClose", qint64(-7), autoClose, 0},
        {"overlayAutoClose", qint64(30), autoClose, 30},
        {"overlaySize", 1e6, size, 1000},
        {"overlaySize", -3.0, size, 80},
        {"overlaySize", std::numeric_limits<double>::quiet_NaN(), size, 220},
        {"overlaySize", 250.0, size, 250},
        {"historyDays", qint64(0), days, 30},
        {"historyDays", qint64(-1), days, 30},
        {"historyDays", qint64(1), days, 1},
        {"historyDays", qint64(90), days, 90},
        {"selfTimerSeconds", qint64(-3), [](const Settings& s) { return double(s.selfTimerSeconds()); }, 0},
        {"recordFPS", qint64(100000), [](const Settings& s) { return double(s.recordFPS()); }, 120},
        {"gifFPS", qint64(0), [](const Settings& s) { return double(s.gifFPS()); }, 1},
        {"gifMaxWidth", qint64(-1), [](const Settings& s) { return double(s.gifMaxWidth()); }, 16},
        {"gifMaxWidth", qint64(1) << 40, [](const Settings& s) { return double(s.gifMaxWidth()); }, 7680},
        {"windowBackgroundPreset", qint64(-5), [](const Settings& s) { return double(s.windowBackgroundPreset()); }, 0},
    };
    for (const Case& c : cases) {
        MemoryPreferenceStore store;
        store.setValue(QString::fromLatin1(c.key), c.stored);
        test::LogCapture log;
        const Settings s(store);
        EXPECT_EQ(c.read(s), c.expected) << c.key;
        const bool clamped
            = !(std::holds_alternative<qint64>(c.stored) && double(std::get<qint64>(c.stored)) == c.expected)
            && !(std::holds_alternative<double>(c.stored) && std::get<double>(c.stored) == c.expected);
        ASSERT_EQ(log.lines().size(), clamped ? 1 : 0) << c.key;
        if (clamped)
            EXPECT_TRUE(log.lines()[0].startsWith(QStringLiteral("Vantrel: setting ") + QLatin1String(c.key)));
        // Reading never rewrites what the user stored.
        EXPECT_EQ(store.writeCount(), 1) << c.key;
    }

    // Writes are clamped the same way, and what is stored is the clamped value.
    MemoryPreferenceStore store;
    test::LogCapture log;
    Settings s(store);
    s.setOverlayAutoClose(2147483647);
    s.setOverlaySize(1e6);
    s.setHistoryDays(-1);
    EXPECT_EQ(s.overlayAutoClose(), 3600);
    EXPECT_DOUBLE_EQ(s.overlaySize(), 1000.0);
    EXPECT_EQ(s.historyDays(), 30);
    EXPECT_EQ(store.typed<qint64>(QStringLiteral("overlayAutoClose")), qint64(3600));
    EXPECT_EQ(store.typed<double>(QStringLiteral("overlaySize")), 1000.0);
    EXPECT_EQ(store.typed<qint64>(QStringLiteral("historyDays")), qint64(30));
    EXPECT_EQ(log.lines().size(), 3);
    const Settings reread(store);
    EXPECT_EQ(reread.overlayAutoClose(), 3600);
}

TEST(SettingsFileName, ComposesPrefixLabelTimeAndExtension)
{
    MemoryPreferenceStore store;
    Settings s(store);
    const QDateTime when(QDate(2026, 3, 12), QTime(14, 5, 9));
    EXPECT_EQ(s.fileName(QStringLiteral("png"), QString(), when), QStringLiteral("Vantrel 2026-03-12 at 14.05.09.png"));
    EXPECT_EQ(s.fileName(QStringLiteral("mp4"), QStringLiteral("Recording"), when),
        QStringLiteral("Vantrel Recording 2026-03-12 at 14.05.09.mp4"));
    s.setFilePrefix(QString());
    EXPECT_EQ(s.fileName(QStringLiteral("jpg"), QString(), when), QStringLiteral(" 2026-03-12 at 14.05.09.jpg"));
    // A prefix never becomes a path.
    s.setFilePrefix(QStringLiteral("../shots/x"));
    EXPECT_EQ(
        s.fileName(QStringLiteral("png"), QString(), when), QStringLiteral("..-shots-x 2026-03-12 at 14.05.09.png"));
}

TEST(SettingsLaunchAtLogin, FollowsTheLoginItemAndLogsFailures)
{
    MemoryPreferenceStore store;
    Settings s(store);
    test::FakeLoginItem item;
    ScopedService<LoginItem> slot(&item);
    test::LogCapture log;

    s.setLaunchAtLogin(true);
    EXPECT_TRUE(s.launchAtLogin());
    item.failure = QStringLiteral("permission denied");
    s.setLaunchAtLogin(false);
    EXPECT_TRUE(s.launchAtLogin()); // the desktop's real state shows
    EXPECT_EQ(log.lines(), QStringList {QStringLiteral("Launch at login failed: permission denied")});
    EXPECT_FALSE(store.value(QStringLiteral("launchAtLogin")).has_value());
}
