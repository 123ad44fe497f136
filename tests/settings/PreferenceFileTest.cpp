// SPDX-License-Identifier: GPL-3.0-or-later
#include "Fakes.h"
#include "JsonPreferenceStore.h"
#include "LoginItem.h"
#include "Settings.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace vantrel;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

TEST(PreferenceFile, EveryTypeRoundTripsThroughTheFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Vantrel/settings.json"));
    {
        JsonPreferenceStore store(path);
        store.setValue(QStringLiteral("b"), true);
        store.setValue(QStringLiteral("i"), qint64(60));
        store.setValue(QStringLiteral("d"), 220.0);
        store.setValue(QStringLiteral("s"), QStringLiteral("~/Pictures/Shots"));
        store.setValue(QStringLiteral("data"), QByteArray("\x00\xff{}", 4));
    }
    const JsonPreferenceStore reread(path);
    EXPECT_EQ(reread.typed<bool>(QStringLiteral("b")), true);
    EXPECT_EQ(reread.typed<qint64>(QStringLiteral("i")), qint64(60));
    // A Double that happens to be whole stays a Double, and an Int never reads as one.
    EXPECT_EQ(reread.typed<double>(QStringLiteral("d")), 220.0);
    EXPECT_FALSE(reread.typed<double>(QStringLiteral("i")).has_value());
    EXPECT_FALSE(reread.typed<qint64>(QStringLiteral("d")).has_value());
    EXPECT_EQ(reread.typed<QString>(QStringLiteral("s")), QStringLiteral("~/Pictures/Shots"));
    EXPECT_EQ(reread.typed<QByteArray>(QStringLiteral("data")), QByteArray("\x00\xff{}", 4));
}

TEST(PreferenceFile, SettingsSurviveARestartThroughTheFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.json"));
    {
        JsonPreferenceStore store(path);
        Settings s(store);
        s.setImageFormat(ImageFormat::jpg);
        s.setOverlayCorner(OverlayCorner::right);
        s.setOverlaySize(260.0);
        s.setRecordFPS(30);
        s.setAfterSave(true);
        s.setFilePrefix(QStringLiteral("Shot"));
        s.setHotKeys({{QStringLiteral("captureWindow"), KeyCombo {1, 768 | 4096}}});
    }
    JsonPreferenceStore store(path);
    const Settings s(store);
    EXPECT_EQ(s.imageFormat(), ImageFormat::jpg);
    EXPECT_EQ(s.overlayCorner(), OverlayCorner::right);
    EXPECT_DOUBLE_EQ(s.overlaySize(), 260.0);
    EXPECT_EQ(s.recordFPS(), 30);
    EXPECT_TRUE(s.afterSave());
    EXPECT_EQ(s.filePrefix(), QStringLiteral("Shot"));
    EXPECT_EQ(s.hotKeys(), (HotKeyMap {{QStringLiteral("captureWindow"), KeyCombo {1, 768 | 4096}}}));
}

TEST(PreferenceFile, UnreadableFileIsKeptAsBackupAndLoggedOnce)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.json"));
    const QByteArray garbage("{\"playSound\": {\"bool\": fal");
    writeAll(path, garbage);

    test::LogCapture log;
    JsonPreferenceStore store(path);
    ASSERT_FALSE(store.backupPath().isEmpty());
    EXPECT_EQ(readAll(store.backupPath()), garbage);
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines().first().startsWith(QStringLiteral("Vantrel: settings file ")));

    // Writing afterwards makes a fresh file and leaves the backup alone.
    store.setValue(QStringLiteral("playSound"), false);
    EXPECT_EQ(readAll(store.backupPath()), garbage);
    EXPECT_EQ(JsonPreferenceStore(path).typed<bool>(QStringLiteral("playSound")), false);
}

TEST(PreferenceFile, MembersOfUnknownShapeAreWrittenBackUntouched)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.json"));
    writeAll(path, R"({"future":{"colour":[1,2,3]},"plain":5,"playSound":{"bool":true}})");
    JsonPreferenceStore store(path);
    EXPECT_FALSE(store.value(QStringLiteral("future")).has_value());
    EXPECT_FALSE(store.value(QStringLiteral("plain")).has_value());
    store.setValue(QStringLiteral("recordFPS"), qint64(24));
    const QJsonObject root = QJsonDocument::fromJson(readAll(path)).object();
    EXPECT_EQ(root.value(QStringLiteral("future")).toObject().value(QStringLiteral("colour")).toArray().size(), 3);
    EXPECT_EQ(root.value(QStringLiteral("plain")).toInt(), 5);
    EXPECT_EQ(root.value(QStringLiteral("recordFPS")).toObject().value(QStringLiteral("int")).toInt(), 24);
}

TEST(PreferenceFile, AWriteThatFailsIsLoggedOnceAndKeepsTheOldFile)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("ro"));
    QDir().mkpath(folder);
    const QString path = folder + QStringLiteral("/settings.json");
    {
        JsonPreferenceStore store(path);
        store.setValue(QStringLiteral("historyDays"), qint64(7));
    }
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    test::LogCapture log;
    JsonPreferenceStore store(path);
    store.setValue(QStringLiteral("historyDays"), qint64(90));
    store.setValue(QStringLiteral("historyDays"), qint64(1));
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(log.lines().size(), 1);
    EXPECT_EQ(JsonPreferenceStore(path).typed<qint64>(QStringLiteral("historyDays")), qint64(7));
}

TEST(LoginItemFile, AutostartEntryIsWrittenQuotedAndRemoved)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("autostart/vantrel.desktop"));
    XdgAutostartLoginItem item(path, QStringLiteral("/opt/my apps/vantrel"));
    EXPECT_FALSE(item.isEnabled());
    EXPECT_FALSE(item.setEnabled(true).has_value());
    EXPECT_TRUE(item.isEnabled());
    const QString entry = QString::fromUtf8(readAll(path));
    EXPECT_TRUE(entry.contains(QStringLiteral("Exec=\"/opt/my apps/vantrel\"\n"))) << entry.toStdString();
    EXPECT_TRUE(entry.startsWith(QStringLiteral("[Desktop Entry]\n")));

    // A desktop that switched the entry off says so through the file.
    writeAll(path, readAll(path) + "Hidden=true\n");
    EXPECT_FALSE(item.isEnabled());

    EXPECT_FALSE(item.setEnabled(false).has_value());
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_FALSE(item.setEnabled(false).has_value()); // already off is not an error
}
