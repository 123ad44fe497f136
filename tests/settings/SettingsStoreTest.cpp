// SPDX-License-Identifier: GPL-3.0-or-later
#include "Fakes.h"
#include "PreferenceStore.h"
#include "Service.h"
#include "Settings.h"
#include "XdgPaths.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

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
    EXPECT_EQ(s.historyDays(), 30);
    EXPECT_EQ(store.writeCount(), writesBefore);
    EXPECT_EQ(store.typed<QString>(QStringLiteral("playSound")), QStringLiteral("yes"));
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

TEST(SettingsStore, StoreKeepsOutOfRangeValuesAsWritten)
{
    MemoryPreferenceStore store;
    Settings(store).setOverlayAutoClose(-7);
    Settings(store).setOverlaySize(1e6);
    const Settings reread(store);
    EXPECT_EQ(reread.overlayAutoClose(), -7);
    EXPECT_DOUBLE_EQ(reread.overlaySize(), 1e6);
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
