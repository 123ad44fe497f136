// SPDX-License-Identifier: GPL-3.0-or-later
// The history against hostile list files, planted links, crashes mid-write, a full disk, and
// captures taken while a long list is still being read.
#include "CaptureHistory.h"
#include "Fakes.h"
#include "PngEncoder.h"
#include "PreferenceStore.h"
#include "PrivateFiles.h"
#include "Service.h"
#include "Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vantrel;
using namespace vantrel::test;

namespace {

constexpr qint64 day = 86400;

class HistorySafety : public ::testing::Test
{
protected:
    MemoryPreferenceStore preferences;
    Settings settings {preferences};
    ScopedService<Settings> settingsSlot {&settings};
    RecordingToasts toasts;
    ScopedService<ToastPresenter> toastSlot {&toasts};
    QTemporaryDir root;
    QString folder = root.filePath(QStringLiteral("Vantrel/History"));

    QString path(const QString& name) const { return folder + QLatin1Char('/') + name; }
    static QByteArray read(const QString& file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    static void put(const QString& file, const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(file).absolutePath());
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    static QImage noise(int width, int height, quint32 seed)
    {
        QImage image(width, height, QImage::Format_RGB32);
        for (int y = 0; y < height; ++y) {
            auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < width; ++x) {
                seed = seed * 1664525u + 1013904223u;
                row[x] = 0xff000000u | (seed >> 8);
            }
        }
        return image;
    }
    static QByteArray png(const QImage& image) { return *encodePng(image, PngSpeed::fast); }
    // A record with a whole picture on disk, dated `age` seconds ago.
    HistoryItem stored(qint64 age)
    {
        const QUuid id = QUuid::createUuid();
        HistoryItem item {id, QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch() - age, Qt::UTC),
            CaptureKind::screenshot, uuidText(id) + QStringLiteral(".png"), 12, 8};
        put(path(item.fileName), png(noise(12, 8, 7)));
        return item;
    }
    static mode_t modeOf(const QString& file)
    {
        struct stat info
        { };
        ::stat(QFile::encodeName(file).constData(), &info);
        return info.st_mode & 0777;
    }
    // Everything in the folder but the list, its backups and the listed files.
    QStringList unlisted(const std::vector<HistoryItem>& items) const
    {
        QStringList names
            = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        names.removeAll(QStringLiteral("history.json"));
        for (const HistoryItem& item : items)
            names.removeAll(item.fileName);
        return names.filter(QRegularExpression(QStringLiteral("^(?!history\\.json\\..*\\.bak$)")));
    }
    // Every listed record has a complete, decodable picture of its recorded size.
    void expectWholePictures(const std::vector<HistoryItem>& items, const char* when)
    {
        for (const HistoryItem& item : items) {
            const QImage picture(path(item.fileName), "PNG");
            EXPECT_EQ(picture.size(), QSize(item.width, item.height)) << when << ": " << item.fileName.toStdString();
        }
    }
};

// A record as a hand-written list file holds it, with any file name.
QByteArray element(const QUuid& id, const QByteArray& fileName, const QByteArray& date = "2026-03-12T14:05:09Z")
{
    return R"({"id":")" + uuidText(id).toLatin1() + R"(","date":")" + date + R"(","kind":"screenshot","fileName":)"
        + fileName + R"(,"width":12,"height":8})";
}

} // namespace

TEST_F(HistorySafety, FileNamesThatLeadOutsideTheFolderAreRejected)
{
    const QUuid id = QUuid::createUuid();
    const QByteArray own = uuidText(id).toLatin1();
    // JSON string literals, as a crafted list file would spell them.
    const QByteArray hostile[] = {
        R"("../../../x")", R"("/etc/passwd")", R"("..")", R"(".")", R"("/")", R"("")", R"(".hidden.png")",
        "\"" + own + R"(.png\u0000.sh")", "\"" + own + R"(/../../x.png")", "\"" + own + R"(.png/x")",
        "\"" + own + R"(.p ng")", "\"" + QByteArray(4000, 'a') + "\"", "\"" + own + "." + QByteArray(4000, 'a') + "\"",
        "\"" + uuidText(QUuid::createUuid()).toLatin1() + R"(.png")", // another record's file
    };
    for (const QByteArray& name : hostile) {
        const DecodedHistory decoded = decodeHistory("[" + element(id, name) + "]");
        EXPECT_TRUE(decoded.wellFormed) << name.left(80).toStdString();
        EXPECT_TRUE(decoded.items.empty()) << name.left(80).toStdString();
        EXPECT_EQ(decoded.unsafeNames, 1) << name.left(80).toStdString();
    }
    // The names the history gives itself, in either case, with any short extension.
    for (const QByteArray& name : {"\"" + own + R"(.png")", "\"" + own.toLower() + R"(.PNG")", "\"" + own + R"(.mp4")"})
        EXPECT_EQ(decodeHistory("[" + element(id, name) + "]").items.size(), 1u) << name.toStdString();
}

TEST_F(HistorySafety, AHostileListNeverReachesAFileOutsideTheFolder)
{
    // Files next to and above the history folder, that crafted names point at.
    const QString sibling = root.filePath(QStringLiteral("Vantrel/notes.txt"));
    const QString above = root.filePath(QStringLiteral("secret.txt"));
    put(sibling, "sibling");
    put(above, "secret");
    const HistoryItem good = stored(60);
    const QUuid old1 = QUuid::createUuid(), old2 = QUuid::createUuid(), old3 = QUuid::createUuid();
    const QByteArray list = "[" + encodeHistory({good}).mid(1).chopped(1) + ","
        + element(old1, R"("../notes.txt")", "2001-01-01T00:00:00Z") + ","
        + element(old2, "\"" + QFile::encodeName(above) + "\"", "2001-01-01T00:00:00Z") + ","
        + element(old3, R"("../../secret.txt")") + "]";
    put(path(QStringLiteral("history.json")), list);
    settings.setHistoryDays(1); // the crafted records are old: a prune would delete their files

    LogCapture log;
    CaptureHistory history(folder);
    history.waitForPendingWrites();
    EXPECT_EQ(history.items(), std::vector<HistoryItem> {good});
    EXPECT_TRUE(log.lines().join('\n').contains(QStringLiteral("3 record(s) whose file name leads outside")))
        << log.lines().join('\n').toStdString();

    // Remove and clear with records made up by a caller touch only the history's own files.
    history.remove(HistoryItem {old1, good.date, CaptureKind::screenshot, QStringLiteral("../notes.txt"), 1, 1});
    history.remove(HistoryItem {good.id, good.date, CaptureKind::screenshot, QStringLiteral("../../secret.txt"), 1, 1});
    history.waitForPendingWrites();
    EXPECT_TRUE(history.items().empty());
    EXPECT_FALSE(QFileInfo::exists(path(good.fileName))) << "the listed record's own file went";
    const HistoryItem another = stored(5);
    put(path(QStringLiteral("history.json")), encodeHistory({another}));
    CaptureHistory again(folder);
    again.clear();
    again.prune();
    again.waitForPendingWrites();
    EXPECT_EQ(read(sibling), QByteArray("sibling"));
    EXPECT_EQ(read(above), QByteArray("secret"));
    EXPECT_EQ(
        CaptureHistory(folder).filePath(HistoryItem {old1, {}, {}, QStringLiteral("../notes.txt"), 1, 1}), QString());
}

TEST_F(HistorySafety, ADuplicateIdKeepsTheFirstRecordOnly)
{
    const HistoryItem first = stored(10);
    HistoryItem copy = first;
    copy.width = 999;
    const HistoryItem other = stored(20);
    put(path(QStringLiteral("history.json")), encodeHistory({first, copy, other, copy}));

    LogCapture log;
    CaptureHistory history(folder);
    history.waitForPendingWrites();
    EXPECT_EQ(history.items(), (std::vector<HistoryItem> {first, other}));
    EXPECT_TRUE(
        log.lines().join('\n').contains(QStringLiteral("2 record(s) with an id listed before; kept the first")));

    // Removing it removes one record and its one file; the other record stays whole.
    history.remove(first);
    history.waitForPendingWrites();
    EXPECT_EQ(history.items(), std::vector<HistoryItem> {other});
    EXPECT_EQ(decodeHistory(read(path(QStringLiteral("history.json")))).items, std::vector<HistoryItem> {other});
    EXPECT_TRUE(QFileInfo::exists(path(other.fileName)));
}

TEST_F(HistorySafety, APlantedLinkIsNeitherFollowedNorListed)
{
    const QString outside = root.filePath(QStringLiteral("outside.txt"));
    put(outside, "not a capture");
    ASSERT_EQ(::chmod(QFile::encodeName(outside).constData(), 0644), 0);
    const HistoryItem kept = stored(10);
    // A record whose file is a link to the outside file, and a stray link beside it.
    const QUuid id = QUuid::createUuid();
    const HistoryItem linked {id, kept.date, CaptureKind::screenshot, uuidText(id) + QStringLiteral(".png"), 1, 1};
    ASSERT_EQ(
        ::symlink(QFile::encodeName(outside).constData(), QFile::encodeName(path(linked.fileName)).constData()), 0);
    ASSERT_EQ(
        ::symlink(QFile::encodeName(outside).constData(), QFile::encodeName(path(QStringLiteral("x.png"))).constData()),
        0);
    put(path(QStringLiteral("history.json")), encodeHistory({kept, linked}));

    CaptureHistory history(folder);
    history.waitForPendingWrites();
    EXPECT_EQ(history.items(), std::vector<HistoryItem> {kept});
    EXPECT_EQ(modeOf(outside), 0644u) << "making files private must not follow the link";
    EXPECT_EQ(read(outside), QByteArray("not a capture"));
    history.clear();
    history.waitForPendingWrites();
    EXPECT_EQ(read(outside), QByteArray("not a capture"));
}

TEST_F(HistorySafety, AfterACrashCutOffAndMissingFilesAreDroppedWithOneLineAndWholeOnesKept)
{
    const HistoryItem whole = stored(10);
    const HistoryItem missing = stored(20);
    const HistoryItem cut = stored(30);
    QFile::remove(path(missing.fileName));
    const QByteArray full = png(noise(200, 100, 3));
    put(path(cut.fileName), full.left(full.size() / 2));
    // Left by writes a crash cut short: a temporary file, and a whole picture the list never
    // got to name.
    put(path(QStringLiteral(".") + uuidText(QUuid::createUuid()) + QStringLiteral(".png.vantrel-Ab3dE6gH")), "half");
    const QUuid orphanId = QUuid::createUuid();
    put(path(uuidText(orphanId) + QStringLiteral(".png")), png(noise(30, 20, 9)));
    put(path(QStringLiteral("history.json")), encodeHistory({whole, missing, cut}));

    LogCapture log;
    CaptureHistory history(folder);
    history.waitForPendingWrites();
    ASSERT_EQ(history.items().size(), 2u);
    EXPECT_EQ(history.items()[1], whole);
    EXPECT_EQ(history.items()[0].id, orphanId) << "the orphan is newer, by its file's date";
    EXPECT_EQ(QSize(history.items()[0].width, history.items()[0].height), QSize(30, 20));
    EXPECT_EQ(log.lines().filter(QStringLiteral("missing or cut off")),
        QStringList {
            QStringLiteral("Vantrel: dropped 2 capture(s) from the history whose file was missing or cut off")});
    EXPECT_EQ(unlisted(history.items()), QStringList()) << "no unfinished or cut-off file is left";
    EXPECT_EQ(decodeHistory(read(path(QStringLiteral("history.json")))).items, history.items());
    expectWholePictures(history.items(), "after the restart");
}

TEST_F(HistorySafety, KilledWhileAddingCapturesARestartKeepsEveryWholeRecord)
{
    std::vector<HistoryItem> before;
    for (int i = 0; i < 50; ++i)
        before.push_back(stored(100 + i));
    put(path(QStringLiteral("history.json")), encodeHistory(before));
    for (int round = 0; round < 6; ++round) {
        QProcess writer;
        writer.start(QStringLiteral(HISTORY_WRITER), {folder, QStringLiteral("add-loop")});
        // Kill it after a random number of captures, at whatever point of a write it is.
        const int target = 2 + QRandomGenerator::global()->bounded(12);
        QByteArray output;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                output += writer.readAllStandardOutput();
                return output.contains(QByteArray("added ") + QByteArray::number(target) + '\n');
            },
            30000))
            << output.toStdString() << writer.readAllStandardError().toStdString();
        ::kill(pid_t(writer.processId()), SIGKILL);
        writer.waitForFinished(5000);

        // What the killed writer left: a whole list, naming only whole pictures.
        const DecodedHistory onDisk = decodeHistory(read(path(QStringLiteral("history.json"))));
        ASSERT_TRUE(onDisk.wellFormed) << "round " << round;
        EXPECT_EQ(onDisk.dropped(), 0);
        expectWholePictures(onDisk.items, "as the writer was killed");

        // A restart keeps every one of them, and leaves nothing half-written behind.
        LogCapture log;
        CaptureHistory history(folder);
        history.waitForPendingWrites();
        for (const HistoryItem& item : onDisk.items)
            EXPECT_TRUE(std::any_of(history.items().begin(), history.items().end(),
                [&](const HistoryItem& kept) { return kept.id == item.id; }))
                << "round " << round << ": " << item.fileName.toStdString();
        EXPECT_GE(history.items().size(), before.size());
        expectWholePictures(history.items(), "after the restart");
        EXPECT_EQ(unlisted(history.items()), QStringList()) << "round " << round;
        EXPECT_TRUE(log.lines().filter(QStringLiteral("missing or cut off")).isEmpty());
    }
}

namespace {

// A folder on a small file system of its own, where one can be mounted; otherwise the process
// may not write files larger than 64 KB, which fails writes part-way as a full disk does.
class SmallDisk
{
public:
    SmallDisk(const QString& folder, int kilobytes)
        : m_folder(folder)
    {
        QDir().mkpath(folder);
        const QByteArray options = "size=" + QByteArray::number(kilobytes) + "k,mode=0700";
        m_mounted = ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                        options.constData())
            == 0;
        if (!m_mounted) {
            ::getrlimit(RLIMIT_FSIZE, &m_saved);
            m_handler = std::signal(SIGXFSZ, SIG_IGN);
            rlimit limit = m_saved;
            limit.rlim_cur = 64 * 1024;
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
    }
    ~SmallDisk()
    {
        if (m_mounted) {
            ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
        } else {
            ::setrlimit(RLIMIT_FSIZE, &m_saved);
            std::signal(SIGXFSZ, m_handler);
        }
    }
    bool mounted() const { return m_mounted; }

private:
    QString m_folder;
    bool m_mounted = false;
    rlimit m_saved {};
    void (*m_handler)(int) = nullptr;
};

} // namespace

TEST_F(HistorySafety, AFullDiskLosesTheNewCaptureOnlyAndSaysSoOnce)
{
    SmallDisk disk(folder, 512);
    std::printf("full disk by %s\n", disk.mounted() ? "a 512 KB tmpfs" : "a file size limit");
    LogCapture log;
    std::vector<HistoryItem> kept;
    {
        CaptureHistory history(folder);
        // Pictures of about 7 KB and 100 KB in turn until the disk refuses some.
        int refused = 0;
        for (int n = 0; n < 16 && refused < 3; ++n) {
            const QImage picture = n % 2 ? noise(200, 160, quint32(n)) : noise(60, 40, quint32(n));
            const std::optional<HistoryItem> item = history.add(picture, CaptureKind::screenshot);
            ASSERT_TRUE(item) << "listed at once";
            history.waitForPendingWrites();
            const bool listed = std::any_of(
                history.items().begin(), history.items().end(), [&](const HistoryItem& i) { return i.id == item->id; });
            refused += listed ? 0 : 1;
        }
        ASSERT_GT(refused, 0) << "the disk never filled";
        kept = history.items();
        ASSERT_FALSE(kept.empty());
        expectWholePictures(kept, "in memory");
        EXPECT_EQ(toasts.requests.size(), 1u) << "said once";
        EXPECT_EQ(toasts.requests[0].text, QStringLiteral("The disk is full: captures are not kept in the history"));
        EXPECT_EQ(log.lines().filter(QStringLiteral("captures are not being kept")).size(), 1);
    }
    // On disk: nothing half-written, and every record the list names is whole.
    const DecodedHistory onDisk = decodeHistory(read(path(QStringLiteral("history.json"))));
    ASSERT_TRUE(onDisk.wellFormed);
    expectWholePictures(onDisk.items, "on disk");
    EXPECT_TRUE(unlisted(onDisk.items).filter(QRegularExpression(QStringLiteral("^\\."))).isEmpty());

    // After a restart the history is what it was: no record lost, none pointing at a cut file.
    LogCapture restart;
    CaptureHistory restarted(folder);
    restarted.waitForPendingWrites();
    EXPECT_EQ(restarted.items(), kept);
    EXPECT_EQ(restart.lines(), QStringList()) << "nothing to drop, adopt or clean up";
    expectWholePictures(restarted.items(), "after the restart");
    EXPECT_EQ(unlisted(restarted.items()), QStringList());
}

TEST_F(HistorySafety, ACaptureTakenWhileALongListIsReadIsListedAtOnceAndMergedNewestFirst)
{
    std::vector<HistoryItem> old;
    const QByteArray picture = png(noise(12, 8, 7));
    for (int i = 0; i < 3000; ++i) {
        const QUuid id = QUuid::createUuid();
        old.push_back(
            HistoryItem {id, QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch() - 60 - i, Qt::UTC),
                CaptureKind::window, uuidText(id) + QStringLiteral(".png"), 12, 8});
        put(path(old.back().fileName), picture);
    }
    put(path(QStringLiteral("history.json")), encodeHistory(old));

    CaptureHistory history(folder);
    int changes = 0;
    QObject::connect(&history, &CaptureHistory::itemsChanged, [&] { ++changes; });
    const std::optional<HistoryItem> added = history.add(noise(40, 30, 1), CaptureKind::screenshot);
    ASSERT_TRUE(added);
    EXPECT_GE(changes, 1) << "listed at once";
    history.waitForPendingWrites();
    ASSERT_EQ(history.items().size(), old.size() + 1);
    EXPECT_EQ(history.items().front(), *added);
    EXPECT_TRUE(std::equal(old.begin(), old.end(), history.items().begin() + 1));
    EXPECT_EQ(decodeHistory(read(path(QStringLiteral("history.json")))).items, history.items());
}
