// SPDX-License-Identifier: GPL-3.0-or-later
// The history store on disk: list file format, retention, damaged files, privacy and crashes.
#include "CaptureHistory.h"

#include "Fakes.h"
#include "PngEncoder.h"
#include "PreferenceStore.h"
#include "Service.h"
#include "Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

using namespace vantrel;
using namespace vantrel::test;

namespace {

class CaptureHistoryStore : public ::testing::Test
{
protected:
    MemoryPreferenceStore preferences;
    Settings settings {preferences};
    ScopedService<Settings> settingsSlot {&settings};
    QTemporaryDir root;
    QString folder = root.filePath(QStringLiteral("Vantrel/History"));

    QString path(const QString& name) const { return folder + QLatin1Char('/') + name; }
    QByteArray read(const QString& name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void write(const QString& name, const QByteArray& bytes)
    {
        QDir().mkpath(folder);
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    // A record whose file exists, dated `age` seconds ago.
    HistoryItem stored(qint64 age, CaptureKind kind = CaptureKind::screenshot)
    {
        const QUuid id = QUuid::createUuid();
        const QDateTime date = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch() - age, Qt::UTC);
        HistoryItem item {id, date, kind, uuidText(id) + (isVideoKind(kind) ? ".mp4" : ".png"), 10, 20};
        write(item.fileName, isVideoKind(kind) ? QByteArray("movie") : tinyPng());
        return item;
    }
    // A whole PNG, as the history writes them.
    static QByteArray tinyPng()
    {
        static const QByteArray png = *encodePng(pattern(10, 20), PngSpeed::fast);
        return png;
    }
    static QImage pattern(int width, int height)
    {
        QImage image(width, height, QImage::Format_RGB32);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                image.setPixel(x, y, qRgb(x % 251, y % 241, (x * y) % 239));
        return image;
    }
    static mode_t modeOf(const QString& path)
    {
        struct stat info
        { };
        ::stat(QFile::encodeName(path).constData(), &info);
        return info.st_mode & 0777;
    }
};

constexpr qint64 day = 86400;

} // namespace

TEST_F(CaptureHistoryStore, TheListFileIsCompactOrderedUpperCaseAndWholeSeconds)
{
    const HistoryItem item {QUuid(QStringLiteral("{0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0}")),
        QDateTime(QDate(2026, 3, 12), QTime(14, 5, 9), Qt::UTC), CaptureKind::scrolling,
        QStringLiteral("0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0.png"), 1280, 4000};
    const HistoryItem video {QUuid(QStringLiteral("{00000000-0000-0000-0000-0000000000AB}")),
        QDateTime(QDate(2025, 12, 31), QTime(23, 59, 59), Qt::UTC), CaptureKind::gif,
        QStringLiteral("00000000-0000-0000-0000-0000000000AB.gif"), 640, 480};
    EXPECT_EQ(encodeHistory({item, video}),
        QByteArray(R"([{"id":"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0","date":"2026-03-12T14:05:09Z","kind":"scrolling",)"
                   R"("fileName":"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0.png","width":1280,"height":4000},)"
                   R"({"id":"00000000-0000-0000-0000-0000000000AB","date":"2025-12-31T23:59:59Z","kind":"gif",)"
                   R"("fileName":"00000000-0000-0000-0000-0000000000AB.gif","width":640,"height":480}])"));
    EXPECT_EQ(encodeHistory({}), QByteArray("[]"));

    // Any key order reads back; dates with an offset are the same instant.
    const DecodedHistory decoded = decodeHistory(
        R"([{"height":4000,"width":1280,"fileName":"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0.png","kind":"scrolling",)"
        R"("date":"2026-03-12T15:05:09+01:00","id":"0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0"}])");
    ASSERT_EQ(decoded.items.size(), 1u);
    EXPECT_EQ(decoded.items[0], item);
}

TEST_F(CaptureHistoryStore, EachBadElementIsRejectedOnItsOwn)
{
    const QByteArray first
        = R"({"id":"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0","date":"2026-03-12T14:05:09Z","kind":"window","fileName":"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0.png","width":1,"height":2})";
    const QByteArray last
        = R"({"id":"1F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0","date":"2026-03-12T14:05:09Z","kind":"gif","fileName":"1f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0.gif","width":1,"height":2})";
    struct Case
    {
        const char* why;
        QByteArray element;
    };
    const Case cases[] = {
        {"kind outside the five",
            R"({"id":"2F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0","date":"2026-03-12T14:05:09Z","kind":"video","fileName":"2F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0.png","width":1,"height":2})"},
        {"missing key",
            R"({"id":"2F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0","date":"2026-03-12T14:05:09Z","kind":"window","width":1,"height":2})"},
        {"width as text",
            R"({"id":"2F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0","date":"2026-03-12T14:05:09Z","kind":"window","fileName":"2F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0.png","width":"1","height":2})"},
        {"fractional height",
            R"({"id":"2F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0","date":"2026-03-12T14:05:09Z","kind":"window","fileName":"2F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0.png","width":1,"height":2.5})"},
        {"date without a zone",
            R"({"id":"2F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0","date":"2026-03-12T14:05:09","kind":"window","fileName":"2F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0.png","width":1,"height":2})"},
        {"date in words",
            R"({"id":"2F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0","date":"yesterday","kind":"window","fileName":"2F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0.png","width":1,"height":2})"},
        {"impossible date",
            R"({"id":"2F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0","date":"2026-02-30T14:05:09Z","kind":"window","fileName":"2F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0.png","width":1,"height":2})"},
        // A stray letter in the year once read as year -1, old enough for the start-up prune to
        // delete the capture's file.
        {"letter among the digits",
            R"({"id":"2F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0","date":"202z-03-12T14:05:09Z","kind":"window","fileName":"2F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0.png","width":1,"height":2})"},
        {"letter in the time",
            R"({"id":"2F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0","date":"2026-03-12T14:0x:09Z","kind":"window","fileName":"2F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0.png","width":1,"height":2})"},
        {"id not a UUID",
            R"({"id":"shot-1","date":"2026-03-12T14:05:09Z","kind":"window","fileName":"shot-1.png","width":1,"height":2})"},
        {"not an object", R"("hello")"},
    };
    for (const Case& c : cases) {
        const DecodedHistory decoded = decodeHistory("[" + first + "," + c.element + "," + last + "]");
        EXPECT_TRUE(decoded.wellFormed) << c.why;
        EXPECT_EQ(decoded.rejected, 1) << c.why;
        EXPECT_EQ(decoded.items.size(), 2u) << c.why;
    }
    EXPECT_FALSE(decodeHistory("{not json").wellFormed);
    EXPECT_FALSE(decodeHistory(R"({"id":1})").wellFormed);
}

TEST_F(CaptureHistoryStore, AnUnreadableRecordKeepsTheRestAndLeavesABackup)
{
    const HistoryItem first = stored(60);
    const HistoryItem last = stored(120);
    QByteArray list = encodeHistory({first, last});
    list.insert(list.indexOf("},{") + 2,
        R"({"id":"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0","date":"2026-03-12T14:05:09Z","kind":"video","fileName":"v.mov","width":1,"height":2},)");
    write(QStringLiteral("history.json"), list);

    LogCapture log;
    CaptureHistory history(folder);
    history.waitForPendingWrites();
    EXPECT_EQ(history.items(), (std::vector<HistoryItem> {first, last}));
    EXPECT_EQ(decodeHistory(read(QStringLiteral("history.json"))).items, history.items());
    const QStringList backups = QDir(folder).entryList({QStringLiteral("history.json.*.bak")});
    ASSERT_EQ(backups.size(), 1);
    EXPECT_EQ(read(backups[0]), list) << "the file as found";
    EXPECT_EQ(modeOf(path(backups[0])), 0600u);
    EXPECT_FALSE(log.lines().isEmpty());

    // A second start finds a clean file and makes no further backup.
    CaptureHistory again(folder);
    again.waitForPendingWrites();
    EXPECT_EQ(again.items().size(), 2u);
    EXPECT_EQ(QDir(folder).entryList({QStringLiteral("history.json.*.bak")}).size(), 1);
}

TEST_F(CaptureHistoryStore, AGarbledListFileIsKeptAsABackup)
{
    write(QStringLiteral("history.json"), "[{\"id\":");
    CaptureHistory history(folder);
    history.waitForPendingWrites();
    EXPECT_TRUE(history.items().empty());
    EXPECT_EQ(read(QStringLiteral("history.json")), QByteArray("[]"));
    const QStringList backups = QDir(folder).entryList({QStringLiteral("history.json.*.bak")});
    ASSERT_EQ(backups.size(), 1);
    EXPECT_EQ(read(backups[0]), QByteArray("[{\"id\":"));
}

TEST_F(CaptureHistoryStore, RetentionFollowsHistoryDays)
{
    struct Case
    {
        int days;
        qint64 age;
        bool kept;
    };
    const Case cases[] = {
        {30, 29 * day + 23 * 3600, true},
        {30, 30 * day + 1, false},
        {30, 0, true},
        {1, day + 1, false},
        // 0 and -1 are not retentions: the default 30 days keeps the captures.
        {0, 1, true},
        {0, 0, true},
        {-1, day, true},
        {-1, 31 * day, false},
    };
    for (const Case& c : cases) {
        QDir(folder).removeRecursively();
        settings.setHistoryDays(c.days);
        const HistoryItem item = stored(c.age);
        write(QStringLiteral("history.json"), encodeHistory({item}));
        CaptureHistory history(folder);
        history.waitForPendingWrites();
        EXPECT_EQ(history.items().size(), c.kept ? 1u : 0u) << c.days << " days, age " << c.age;
        EXPECT_EQ(QFileInfo::exists(path(item.fileName)), c.kept) << "the file goes with the record";
        EXPECT_EQ(decodeHistory(read(QStringLiteral("history.json"))).items.size(), c.kept ? 1u : 0u);
    }
}

TEST_F(CaptureHistoryStore, ARecordWhoseFileWasDeletedIsDroppedAtTheNextStart)
{
    const HistoryItem kept = stored(10);
    const HistoryItem deleted = stored(20);
    write(QStringLiteral("history.json"), encodeHistory({kept, deleted}));
    QFile::remove(path(deleted.fileName));
    CaptureHistory history(folder);
    EXPECT_EQ(history.items(), std::vector<HistoryItem> {kept});
}

TEST_F(CaptureHistoryStore, AddKeepsALosslessPngAndListsNewestFirst)
{
    CaptureHistory history(folder);
    int changes = 0;
    QObject::connect(&history, &CaptureHistory::itemsChanged, [&] { ++changes; });
    const QImage first = pattern(300, 200);
    QImage second(41, 7, QImage::Format_ARGB32);
    second.fill(qRgba(10, 20, 30, 128));
    const std::optional<HistoryItem> a = history.add(first, CaptureKind::screenshot);
    const std::optional<HistoryItem> b = history.add(second, CaptureKind::window);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(changes, 2);
    EXPECT_NE(a->fileName, b->fileName) << "same second, different names";
    EXPECT_EQ(history.items(), (std::vector<HistoryItem> {*b, *a}));
    EXPECT_EQ(a->fileName, uuidText(a->id) + QStringLiteral(".png"));
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.png$"))
            .match(a->fileName)
            .hasMatch());
    EXPECT_EQ(QSize(a->width, a->height), QSize(300, 200));

    const QImage storedFirst(history.filePath(*a), "PNG");
    ASSERT_EQ(storedFirst.size(), first.size());
    for (const QPoint p : {QPoint(0, 0), QPoint(123, 45), QPoint(299, 199)})
        EXPECT_EQ(storedFirst.pixel(p), first.pixel(p));
    const QImage storedSecond(history.filePath(*b), "PNG");
    EXPECT_EQ(storedSecond.pixel(3, 3), second.pixel(3, 3)) << "alpha kept";

    // What a restart reads equals what is in memory.
    history.waitForPendingWrites();
    CaptureHistory reloaded(folder);
    EXPECT_EQ(reloaded.items(), history.items());
    EXPECT_FALSE(history.add(QImage(), CaptureKind::screenshot)) << "no picture, no record";
}

TEST_F(CaptureHistoryStore, FilesAreCopiedWithTruncatedSizes)
{
    CaptureHistory history(folder);
    QFile source(root.filePath(QStringLiteral("Vantrel-take.mp4")));
    ASSERT_TRUE(source.open(QIODevice::WriteOnly));
    source.write("movie bytes");
    source.close();
    const std::optional<HistoryItem> item
        = history.addFile(QUrl::fromLocalFile(source.fileName()), CaptureKind::recording, 1280.9, 720.5);
    ASSERT_TRUE(item);
    EXPECT_EQ(QSize(item->width, item->height), QSize(1280, 720));
    EXPECT_EQ(item->fileName, uuidText(item->id) + QStringLiteral(".mp4"));
    EXPECT_EQ(read(item->fileName), QByteArray("movie bytes"));
    EXPECT_TRUE(source.exists()) << "the recorder's file stays";
    EXPECT_EQ(modeOf(path(item->fileName)), 0600u);
    EXPECT_FALSE(history.addFile(
        QUrl::fromLocalFile(root.filePath(QStringLiteral("missing.mp4"))), CaptureKind::recording, 1, 1));
    EXPECT_EQ(history.items().size(), 1u);
}

TEST_F(CaptureHistoryStore, CapturesArePrivate)
{
    QDir().mkpath(folder);
    QFile::setPermissions(folder,
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup
            | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther);
    write(QStringLiteral("old.png"), "x");
    QFile::setPermissions(path(QStringLiteral("old.png")),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    CaptureHistory history(folder);
    history.items(); // the list has been read
    EXPECT_EQ(modeOf(folder), 0700u) << "an existing folder is tightened";
    EXPECT_EQ(modeOf(path(QStringLiteral("old.png"))), 0600u);
    const std::optional<HistoryItem> item = history.add(pattern(20, 20), CaptureKind::screenshot);
    ASSERT_TRUE(item);
    EXPECT_EQ(modeOf(history.filePath(*item)), 0600u);
    history.waitForPendingWrites();
    EXPECT_EQ(modeOf(path(QStringLiteral("history.json"))), 0600u);

    QTemporaryDir fresh;
    CaptureHistory made(fresh.filePath(QStringLiteral("a/b/History")));
    made.items();
    EXPECT_EQ(modeOf(fresh.filePath(QStringLiteral("a/b/History"))), 0700u);
}

TEST_F(CaptureHistoryStore, ReplaceRemoveAndClear)
{
    CaptureHistory history(folder);
    const std::optional<HistoryItem> a = history.add(pattern(30, 30), CaptureKind::screenshot);
    const std::optional<HistoryItem> b = history.add(pattern(40, 40), CaptureKind::screenshot);
    ASSERT_TRUE(a && b);

    history.replaceImage(*a, pattern(64, 16));
    EXPECT_EQ(QSize(history.items()[1].width, history.items()[1].height), QSize(64, 16));
    EXPECT_EQ(QImage(history.filePath(*a), "PNG").size(), QSize(64, 16));
    history.waitForPendingWrites();
    EXPECT_EQ(decodeHistory(read(QStringLiteral("history.json"))).items, history.items());

    history.remove(*a);
    EXPECT_EQ(history.items(), std::vector<HistoryItem> {*b});
    history.waitForPendingWrites();
    EXPECT_FALSE(QFileInfo::exists(path(a->fileName)));
    // A record that is gone gets no file back.
    history.replaceImage(*a, pattern(8, 8));
    EXPECT_FALSE(QFileInfo::exists(path(a->fileName)));

    history.clear();
    EXPECT_TRUE(history.items().empty());
    history.waitForPendingWrites();
    EXPECT_FALSE(QFileInfo::exists(path(b->fileName)));
    EXPECT_EQ(read(QStringLiteral("history.json")), QByteArray("[]"));
}

TEST_F(CaptureHistoryStore, AKilledWriterLeavesACompleteListFile)
{
    std::vector<HistoryItem> items;
    for (int i = 0; i < 4000; ++i)
        items.push_back(stored(i));
    const QByteArray list = encodeHistory(items);
    write(QStringLiteral("history.json"), list);
    for (int round = 0; round < 10; ++round) {
        QProcess writer;
        writer.start(QStringLiteral(HISTORY_WRITER), {folder, QStringLiteral("save-loop")});
        ASSERT_TRUE(writer.waitForReadyRead(10000));
        ASSERT_TRUE(writer.readAllStandardOutput().startsWith("ready 4000"));
        QTest::qSleep(5 + QRandomGenerator::global()->bounded(40));
        ::kill(pid_t(writer.processId()), SIGKILL);
        writer.waitForFinished(5000);
        const DecodedHistory found = decodeHistory(read(QStringLiteral("history.json")));
        ASSERT_TRUE(found.wellFormed) << "round " << round;
        EXPECT_EQ(found.rejected, 0);
        EXPECT_EQ(found.items.size(), 4000u);
    }
}

TEST_F(CaptureHistoryStore, AReadOnlyFolderRefusesCapturesSaysSoOnceAndKeepsTheList)
{
    const HistoryItem item = stored(5);
    const QByteArray list = encodeHistory({item});
    write(QStringLiteral("history.json"), list);
    QStringList program {QStringLiteral(HISTORY_WRITER), folder, QStringLiteral("add-twice")};
    if (::geteuid() == 0) {
        // Root writes anywhere: run the writer as "nobody", the folder's owner, instead.
        for (const QString& p : {root.path(), root.filePath(QStringLiteral("Vantrel")), folder})
            ASSERT_EQ(::chown(QFile::encodeName(p).constData(), 65534, 65534), 0);
        for (const QString& name : QDir(folder).entryList(QDir::Files))
            ASSERT_EQ(::chown(QFile::encodeName(path(name)).constData(), 65534, 65534), 0);
        program = QStringList {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                      QStringLiteral("--clear-groups"), QStringLiteral("--")}
            + program;
        program.prepend(QStringLiteral("setpriv"));
    }
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0500), 0);
    QProcess writer;
    writer.start(program.takeFirst(), program);
    ASSERT_TRUE(writer.waitForFinished(20000));
    ::chmod(QFile::encodeName(folder).constData(), 0700);
    EXPECT_EQ(writer.exitStatus(), QProcess::NormalExit) << writer.readAllStandardError().toStdString();
    EXPECT_EQ(writer.exitCode(), 0);
    // Said once, visibly: one toast and one log line for two refused captures.
    EXPECT_EQ(writer.readAllStandardOutput(), QByteArray("refused toasts=1 logs=1\n"));
    EXPECT_EQ(read(QStringLiteral("history.json")), list);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 2) << "nothing half-written left behind";
}
