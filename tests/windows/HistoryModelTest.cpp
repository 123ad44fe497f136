// SPDX-License-Identifier: GPL-3.0-or-later
// The history window's data side without a display: the list model following the store, the
// kind filter, thumbnails read at reduced size on workers, and bad files.
#include "CaptureHistory.h"
#include "HistoryFilterModel.h"
#include "HistoryListModel.h"
#include "PreferenceStore.h"
#include "Service.h"
#include "Settings.h"
#include "ThumbnailLoader.h"
#include "ThumbnailReader.h"
#include "media/Mp4Writer.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QUrl>

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <mutex>

using namespace vantrel;

namespace {

constexpr qint64 day = 86400;

QImage picture(int width, int height, QColor color = QColor(40, 120, 200))
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

bool writePng(const QString& path, const QImage& image)
{
    QImageWriter writer(path, "png");
    writer.setCompression(1);
    return writer.write(image);
}

quint32 crc32(const QByteArray& bytes)
{
    quint32 crc = 0xffffffffu;
    for (char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray pngChunk(const char* type, const QByteArray& data)
{
    QByteArray chunk;
    const quint32 length = quint32(data.size());
    for (int shift : {24, 16, 8, 0})
        chunk.append(char((length >> shift) & 0xff));
    const QByteArray body = QByteArray(type, 4) + data;
    chunk.append(body);
    const quint32 crc = crc32(body);
    for (int shift : {24, 16, 8, 0})
        chunk.append(char((crc >> shift) & 0xff));
    return chunk;
}

// A PNG that declares `width` × `height` grey pixels; its data holds only the first few rows, so
// the file is tiny whatever the size it claims.
QByteArray pngDeclaring(quint32 width, quint32 height)
{
    QByteArray header;
    for (quint32 value : {width, height})
        for (int shift : {24, 16, 8, 0})
            header.append(char((value >> shift) & 0xff));
    header.append(char(8)); // bit depth
    header.append(char(0)); // grey
    header.append(3, char(0)); // compression, filter, no interlace
    QByteArray rows;
    for (int row = 0; row < 4; ++row) {
        rows.append(char(0)); // filter type none
        rows.append(QByteArray(int(width), char(0x80)));
    }
    const QByteArray compressed = qCompress(rows).mid(4); // a zlib stream without Qt's length prefix
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) + pngChunk("IDAT", compressed)
        + pngChunk("IEND", {});
}

// A short H.264 movie in one colour.
bool writeMovie(const QString& path, QSize size)
{
    auto writer = media::Mp4Writer::open(path, {.size = size, .framesPerSecond = 10}, std::nullopt);
    if (!writer)
        return false;
    for (int tick = 0; tick < 3; ++tick) {
        const media::PlanarPicture canvas = (*writer)->canvas();
        for (int y = 0; y < canvas.height; ++y)
            std::memset(canvas.y + y * canvas.yStride, 150, std::size_t(canvas.width));
        for (int y = 0; y < canvas.height / 2; ++y) {
            std::memset(canvas.u + y * canvas.uStride, 90, std::size_t(canvas.width / 2));
            std::memset(canvas.v + y * canvas.vStride, 200, std::size_t(canvas.width / 2));
        }
        if ((*writer)->writeVideo(tick))
            return false;
    }
    return !(*writer)->finish(3).has_value();
}

class HistoryModelTest : public ::testing::Test
{
protected:
    MemoryPreferenceStore preferences;
    Settings settings {preferences};
    ScopedService<Settings> settingsSlot {&settings};
    QTemporaryDir root;
    QString folder = root.filePath(QStringLiteral("Vantrel/History"));

    QString path(const QString& name) const { return folder + QLatin1Char('/') + name; }

    // A record dated `age` seconds ago with a real file of its kind: a PNG, a GIF or an MP4.
    HistoryItem stored(CaptureKind kind, qint64 age = 60, QSize size = QSize(64, 48))
    {
        QDir().mkpath(folder);
        const QUuid id = QUuid::createUuid();
        const QString extension = kind == CaptureKind::gif ? QStringLiteral("gif")
            : kind == CaptureKind::recording               ? QStringLiteral("mp4")
                                                           : QStringLiteral("png");
        HistoryItem item {id, QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch() - age, Qt::UTC), kind,
            uuidText(id) + QLatin1Char('.') + extension, size.width(), size.height()};
        if (kind == CaptureKind::recording) {
            EXPECT_TRUE(writeMovie(path(item.fileName), size));
        } else if (kind == CaptureKind::gif) {
            // Qt reads GIFs but does not write them: a one-pixel GIF89a by hand.
            QFile gif(path(item.fileName));
            EXPECT_TRUE(gif.open(QIODevice::WriteOnly));
            gif.write(QByteArray::fromHex("4749463839610100010080000000000000ffffff21f90401000000002c00000000"
                                          "010001000002024401003b"));
        } else {
            EXPECT_TRUE(picture(size.width(), size.height()).save(path(item.fileName), "PNG"));
        }
        return item;
    }
    // The store over `folder`, listing `items` (newest first).
    std::unique_ptr<CaptureHistory> storeWith(const std::vector<HistoryItem>& items)
    {
        QDir().mkpath(folder);
        QFile list(path(QStringLiteral("history.json")));
        EXPECT_TRUE(list.open(QIODevice::WriteOnly));
        list.write(encodeHistory(items));
        list.close();
        return std::make_unique<CaptureHistory>(folder);
    }

    static std::vector<QUuid> idsOf(const QAbstractItemModel& model)
    {
        std::vector<QUuid> ids;
        for (int row = 0; row < model.rowCount(); ++row)
            ids.push_back(model.index(row, 0).data(HistoryListModel::IdRole).toUuid());
        return ids;
    }

    // Reads a row's thumbnail the way a painted cell does, and waits for its decode to end.
    static QImage thumbnailOf(HistoryListModel& model, int row)
    {
        model.index(row, 0).data(HistoryListModel::ThumbnailRole);
        model.thumbnails().waitForIdle();
        return model.index(row, 0).data(HistoryListModel::ThumbnailRole).value<QImage>();
    }
    static ThumbnailLoader::State thumbnailState(const HistoryListModel& model, int row)
    {
        return ThumbnailLoader::State(model.index(row, 0).data(HistoryListModel::ThumbnailStateRole).toInt());
    }
};

} // namespace

TEST_F(HistoryModelTest, EachFilterShowsItsKindInTheStoresOrder)
{
    const HistoryItem shot1 = stored(CaptureKind::screenshot, 10);
    const HistoryItem window = stored(CaptureKind::window, 20);
    const HistoryItem shot2 = stored(CaptureKind::screenshot, 30);
    const HistoryItem gif = stored(CaptureKind::gif, 40);
    const HistoryItem movie = stored(CaptureKind::recording, 50);
    auto history = storeWith({shot1, window, shot2, gif, movie});
    HistoryListModel model(*history);
    HistoryFilterModel filter;
    filter.setSourceModel(&model);

    struct Case
    {
        std::optional<CaptureKind> kind;
        std::vector<QUuid> expected;
    };
    const Case cases[] = {
        {std::nullopt, {shot1.id, window.id, shot2.id, gif.id, movie.id}},
        {CaptureKind::screenshot, {shot1.id, shot2.id}},
        {CaptureKind::window, {window.id}},
        {CaptureKind::scrolling, {}},
        {CaptureKind::recording, {movie.id}},
        {CaptureKind::gif, {gif.id}},
    };
    for (const Case& c : cases) {
        filter.setFilter(c.kind);
        EXPECT_EQ(idsOf(filter), c.expected) << (c.kind ? rawValue(*c.kind).toStdString() : "all");
    }
}

TEST_F(HistoryModelTest, TheModelFollowsAdditionsRemovalsAndPrunesRowByRow)
{
    const HistoryItem older = stored(CaptureKind::screenshot, 5 * day);
    const HistoryItem middle = stored(CaptureKind::window, 2 * day);
    const HistoryItem newer = stored(CaptureKind::screenshot, 60);
    auto history = storeWith({newer, middle, older});
    HistoryListModel model(*history);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    // A cell the user selected stays the same capture while rows come and go around it.
    const QPersistentModelIndex selected = model.index(1, 0);

    // A capture taken while the window is open: one row at the top.
    const std::optional<HistoryItem> added = history->add(picture(30, 20), CaptureKind::scrolling);
    ASSERT_TRUE(added);
    ASSERT_EQ(inserted.size(), 1);
    EXPECT_EQ(inserted.at(0).at(1).toInt(), 0);
    EXPECT_EQ(inserted.at(0).at(2).toInt(), 0);
    EXPECT_EQ(idsOf(model), (std::vector<QUuid> {added->id, newer.id, middle.id, older.id}));
    EXPECT_EQ(selected.row(), 2);

    // Deleted from the window: exactly that row.
    history->remove(newer);
    ASSERT_EQ(removed.size(), 1);
    EXPECT_EQ(removed.at(0).at(1).toInt(), 1);
    EXPECT_EQ(removed.at(0).at(2).toInt(), 1);
    EXPECT_EQ(selected.row(), 1);

    // A shorter retention, and a file deleted by hand: the next prune takes both rows out.
    settings.setHistoryDays(3);
    QFile::remove(path(middle.fileName));
    history->prune();
    EXPECT_EQ(idsOf(model), std::vector<QUuid> {added->id});
    EXPECT_FALSE(selected.isValid());
    EXPECT_EQ(resets.size(), 0) << "a reset would lose the scroll position and selection";
}

TEST_F(HistoryModelTest, AnEditedPictureRefreshesItsSizeAndThumbnail)
{
    const HistoryItem shot = stored(CaptureKind::screenshot, 60, QSize(64, 48));
    auto history = storeWith({shot});
    HistoryListModel model(*history);
    EXPECT_EQ(model.index(0, 0).data(HistoryListModel::SizeTextRole).toString(), QStringLiteral("64 × 48"));
    ASSERT_EQ(thumbnailOf(model, 0).pixel(5, 5), picture(1, 1).pixel(0, 0));
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    history->replaceImage(shot, picture(200, 100, Qt::red));
    ASSERT_GE(changed.size(), 1);
    EXPECT_EQ(model.index(0, 0).data(HistoryListModel::SizeTextRole).toString(), QStringLiteral("200 × 100"));
    EXPECT_EQ(thumbnailOf(model, 0).pixel(5, 5), QColor(Qt::red).rgb());

    // The same size again: the record reads the same, the picture does not.
    history->replaceImage(*history->items().begin(), picture(200, 100, Qt::green));
    EXPECT_EQ(thumbnailOf(model, 0).pixel(5, 5), QColor(Qt::green).rgb());
}

TEST_F(HistoryModelTest, CellTextsAreTheSizeAndTheDateInTheUsersLocale)
{
    EXPECT_EQ(HistoryListModel::sizeText(1920, 1080), QStringLiteral("1920 × 1080"));
    EXPECT_EQ(HistoryListModel::sizeText(1, 30000), QStringLiteral("1 × 30000"));

    struct Case
    {
        QLocale locale;
        QString expected;
    };
    // The long date without its weekday, the month abbreviated, then the short time.
    const QDateTime when(QDate(2026, 3, 12), QTime(14, 5, 9));
    const Case cases[] = {
        {QLocale(QLocale::English, QLocale::UnitedStates), QStringLiteral("Mar 12, 2026, 2:05 PM")},
        {QLocale(QLocale::German, QLocale::Germany), QStringLiteral("12. März 2026, 14:05")},
        {QLocale(QLocale::French, QLocale::France), QStringLiteral("12 mars 2026, 14:05")},
        {QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("2026年3月12日, 14:05")},
        {QLocale::c(), QStringLiteral("12 Mar 2026, 14:05")}, // its short time has seconds
    };
    for (const Case& c : cases) {
        const QString text = c.locale.toString(when, HistoryListModel::dateTimeFormat(c.locale));
        EXPECT_EQ(text, c.expected) << c.locale.name().toStdString();
        EXPECT_FALSE(text.contains(c.locale.dayName(4))) << "no weekday";
    }
}

TEST_F(HistoryModelTest, ThumbnailsAreReadAtReducedSize)
{
    struct Case
    {
        QSize picture;
        QSize thumbnail;
    };
    const Case cases[] = {
        {{1920, 1080}, {480, 270}}, {{1080, 1920}, {270, 480}}, {{480, 480}, {480, 480}},
        {{100, 50}, {100, 50}}, // small pictures keep their size
        {{1200, 9400}, {61, 480}}, // a scrolling capture
        {{30000, 2}, {480, 1}}, // never below one pixel
    };
    std::atomic<bool> cancelled = false;
    for (const Case& c : cases) {
        const QString file = root.filePath(QStringLiteral("picture.png"));
        ASSERT_TRUE(writePng(file, picture(c.picture.width(), c.picture.height())));
        const Expected<QImage> thumbnail = readThumbnail(file, cancelled);
        ASSERT_TRUE(thumbnail) << thumbnail.error().description.toStdString();
        EXPECT_EQ(thumbnail->size(), c.thumbnail) << c.picture.width() << "×" << c.picture.height();
        EXPECT_EQ(thumbnail->pixel(0, 0), picture(1, 1).pixel(0, 0));
    }
}

TEST_F(HistoryModelTest, BadFilesGiveNoThumbnailAndNoCrash)
{
    QDir().mkpath(folder);
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(picture(640, 400).save(&buffer, "PNG"));
    }
    struct Case
    {
        const char* what;
        std::optional<QByteArray> bytes; // none: no file at all
        const char* reason = ""; // part of the error's words
    };
    const Case cases[] = {
        {"missing", std::nullopt},
        {"empty", QByteArray()},
        {"text", QByteArray("these are not the pixels you are looking for\n"), "not a picture"},
        {"cut off after its header", png.left(60)},
        {"cut off halfway", png.left(png.size() / 2)},
        // 3.6 gigapixels declared: given up from the header, before any decoding.
        {"60000 × 60000", pngDeclaring(60000, 60000), "too large"},
        {"zero size", pngDeclaring(0, 0)},
    };
    std::atomic<bool> cancelled = false;
    for (const Case& c : cases) {
        const QString file = root.filePath(QStringLiteral("bad.png"));
        QFile::remove(file);
        if (c.bytes) {
            QFile out(file);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(*c.bytes);
        }
        const Expected<QImage> thumbnail = readThumbnail(file, cancelled);
        // A truncated PNG may still give its top rows; then the picture is whole-sized.
        if (thumbnail) {
            EXPECT_STREQ(c.what, "cut off halfway");
            EXPECT_EQ(thumbnail->size(), QSize(480, 300));
        } else {
            EXPECT_FALSE(thumbnail.error().description.isEmpty()) << c.what;
            EXPECT_TRUE(thumbnail.error().description.contains(QLatin1String(c.reason)))
                << c.what << ": " << thumbnail.error().description.toStdString();
        }
    }

    // The same files behind records: cells without thumbnails, and the rest of the grid as usual.
    const HistoryItem good = stored(CaptureKind::screenshot, 10);
    const HistoryItem truncated = stored(CaptureKind::screenshot, 20);
    const HistoryItem text = stored(CaptureKind::window, 30);
    const HistoryItem enormous = stored(CaptureKind::scrolling, 40);
    const HistoryItem movie = stored(CaptureKind::recording, 50);
    const HistoryItem gif = stored(CaptureKind::gif, 60);
    const auto overwrite = [&](const HistoryItem& item, const QByteArray& bytes) {
        QFile out(path(item.fileName));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(bytes);
    };
    // Damaged while Vantrel runs, after the store checked its files at start-up.
    auto history = storeWith({good, truncated, text, enormous, movie, gif});
    ASSERT_EQ(history->items().size(), 6u);
    overwrite(truncated, png.left(60));
    overwrite(text, "not a picture");
    overwrite(enormous, pngDeclaring(60000, 60000));
    overwrite(movie, "not a movie either");
    overwrite(gif, "GIF89a and no more");
    HistoryListModel model(*history);
    ASSERT_EQ(model.rowCount(), 6);
    EXPECT_FALSE(thumbnailOf(model, 0).isNull());
    for (int row = 1; row < 6; ++row) {
        const QImage thumbnail = thumbnailOf(model, row);
        EXPECT_EQ(thumbnailState(model, row), ThumbnailLoader::State::failed) << "row " << row;
        if (row == 4) {
            // A recording without a frame shows its file's icon (square), as its other surfaces do.
            ASSERT_FALSE(thumbnail.isNull());
            EXPECT_EQ(thumbnail.width(), thumbnail.height());
        } else {
            EXPECT_TRUE(thumbnail.isNull()) << "row " << row;
        }
    }
    // Failed once, not read again at every paint.
    const int decodes = model.thumbnails().decodesStarted();
    for (int row = 0; row < 6; ++row)
        thumbnailOf(model, row);
    EXPECT_EQ(model.thumbnails().decodesStarted(), decodes);
}

TEST_F(HistoryModelTest, AHugePictureIsDecodedAtReducedSizeNeverInFull)
{
    // With room for a thumbnail but not for the whole picture, only a reduced-size decode works.
    const QString file = root.filePath(QStringLiteral("big.png"));
    ASSERT_TRUE(writePng(file, picture(4000, 3000)));
    const int limit = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(8); // megabytes; the picture needs 46
    std::atomic<bool> cancelled = false;
    const Expected<QImage> thumbnail = readThumbnail(file, cancelled);
    QImageReader::setAllocationLimit(limit);
    ASSERT_TRUE(thumbnail) << thumbnail.error().description.toStdString();
    EXPECT_EQ(thumbnail->size(), QSize(480, 360));
}

TEST_F(HistoryModelTest, VideosShowTheirFirstFrame)
{
    const HistoryItem movie = stored(CaptureKind::recording, 10, QSize(640, 360));
    auto history = storeWith({movie});
    HistoryListModel model(*history);
    const QImage thumbnail = thumbnailOf(model, 0);
    ASSERT_EQ(thumbnail.size(), QSize(480, 270));
    // Y 150, U 90, V 200 in limited range: a warm grey-pink, far from black.
    const QColor centre = thumbnail.pixelColor(240, 135);
    EXPECT_GT(centre.red(), centre.blue());
    EXPECT_GT(centre.red(), 120);
}

TEST_F(HistoryModelTest, NamesWithSpacesQuotesAndNonAsciiWork)
{
    // The folder the history lives in is the user's own, with whatever name it has.
    folder = root.filePath(QStringLiteral("Données d'\"été\" 写真/Vantrel/History"));
    const HistoryItem shot = stored(CaptureKind::screenshot, 10);
    auto history = storeWith({shot});
    HistoryListModel model(*history);
    EXPECT_EQ(thumbnailOf(model, 0).size(), QSize(64, 48));
    std::unique_ptr<QMimeData> mime(model.mimeData({model.index(0, 0)}));
    ASSERT_EQ(mime->urls().size(), 1);
    EXPECT_EQ(mime->urls().first().toLocalFile(), path(shot.fileName));
    EXPECT_TRUE(QFile::exists(mime->urls().first().toLocalFile()));

    std::atomic<bool> cancelled = false;
    const QString odd = root.filePath(QStringLiteral("a \"quoted\" name's ü 📷.png"));
    ASSERT_TRUE(writePng(odd, picture(10, 10)));
    EXPECT_TRUE(readThumbnail(odd, cancelled));
}

TEST_F(HistoryModelTest, DraggingOffersReadableFilesOnlyAndNeverAMove)
{
    const HistoryItem shot = stored(CaptureKind::screenshot, 10);
    const HistoryItem gone = stored(CaptureKind::screenshot, 20);
    auto history = storeWith({shot, gone});
    HistoryListModel model(*history);
    QFile::remove(path(gone.fileName));

    std::unique_ptr<QMimeData> readable(model.mimeData({model.index(0, 0)}));
    EXPECT_EQ(readable->urls(), QList<QUrl> {QUrl::fromLocalFile(path(shot.fileName))});
    std::unique_ptr<QMimeData> missing(model.mimeData({model.index(1, 0)}));
    EXPECT_FALSE(missing->hasUrls());
    EXPECT_EQ(model.supportedDragActions(), Qt::CopyAction);
    EXPECT_TRUE(model.flags(model.index(0, 0)).testFlag(Qt::ItemIsDragEnabled));
}

// --- the loader on its own, with decodes the test holds and releases --------------------------

namespace {

// Decodes that wait until the test lets them go, and note where and in which order they ran.
class Gate
{
public:
    ThumbnailLoader::Decode decode(int value)
    {
        return [this, value](const std::atomic<bool>& cancelled) -> std::optional<QImage> {
            std::unique_lock lock(m_mutex);
            m_started.push_back(value);
            m_threads.push_back(QThread::currentThread());
            m_changed.notify_all();
            m_changed.wait(lock, [&] { return m_open || cancelled.load(); });
            if (cancelled)
                return std::nullopt;
            QImage image(value, 1, QImage::Format_RGB32);
            image.fill(Qt::white);
            return image;
        };
    }
    void open()
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    bool waitForStarts(std::size_t count)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(10), [&] { return m_started.size() >= count; });
    }
    std::vector<int> started()
    {
        std::lock_guard lock(m_mutex);
        return m_started;
    }
    std::vector<QThread*> threads()
    {
        std::lock_guard lock(m_mutex);
        return m_threads;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
    std::vector<int> m_started;
    std::vector<QThread*> m_threads;
};

QUuid idNumber(int n)
{
    return QUuid(quint32(n), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
}

} // namespace

TEST(ThumbnailLoaderTest, TheNewestRequestRunsFirstAndNoneOnTheUiThread)
{
    Gate gate;
    ThumbnailLoader loader({.threads = 1});
    for (int n = 1; n <= 4; ++n)
        loader.request(idNumber(n), gate.decode(n));
    ASSERT_TRUE(gate.waitForStarts(1));
    // Asked for again (painted again): 2 goes before 4 and 3.
    loader.request(idNumber(2), nullptr);
    gate.open();
    loader.waitForIdle();
    EXPECT_EQ(gate.started(), (std::vector<int> {1, 2, 4, 3}));
    for (QThread* thread : gate.threads())
        EXPECT_NE(thread, QThread::currentThread());
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(loader.state(idNumber(n)), ThumbnailLoader::State::ready);
        EXPECT_EQ(loader.thumbnail(idNumber(n)).width(), n);
    }
}

TEST(ThumbnailLoaderTest, CellsScrolledAwayAreCancelledQueuedOrRunning)
{
    Gate gate;
    ThumbnailLoader loader({.threads = 1});
    QSignalSpy finished(&loader, &ThumbnailLoader::finished);
    for (int n = 1; n <= 3; ++n)
        loader.request(idNumber(n), gate.decode(n));
    ASSERT_TRUE(gate.waitForStarts(1)); // 1 runs, 2 and 3 wait
    loader.keepOnly({idNumber(2)});
    EXPECT_EQ(loader.state(idNumber(1)), ThumbnailLoader::State::none);
    EXPECT_EQ(loader.state(idNumber(3)), ThumbnailLoader::State::none);
    gate.open();
    loader.waitForIdle();
    EXPECT_EQ(gate.started(), (std::vector<int> {1, 2})) << "3 never decoded";
    EXPECT_EQ(loader.state(idNumber(1)), ThumbnailLoader::State::none) << "a cancelled result is dropped";
    EXPECT_TRUE(loader.thumbnail(idNumber(1)).isNull());
    EXPECT_EQ(loader.state(idNumber(2)), ThumbnailLoader::State::ready);
    ASSERT_EQ(finished.size(), 1);
    // Scrolled back: asked for again, decoded again.
    loader.request(idNumber(1), gate.decode(1));
    loader.waitForIdle();
    EXPECT_EQ(loader.state(idNumber(1)), ThumbnailLoader::State::ready);
}

TEST(ThumbnailLoaderTest, TheCacheStaysWithinItsMemoryBound)
{
    const qint64 bound = 200 * 1024;
    ThumbnailLoader loader({.threads = 2, .cacheBytes = bound});
    const auto square = [](const std::atomic<bool>&) -> std::optional<QImage> {
        QImage image(100, 100, QImage::Format_RGB32); // 40 KB
        image.fill(Qt::gray);
        return image;
    };
    for (int n = 1; n <= 50; ++n) {
        loader.request(idNumber(n), square);
        loader.waitForIdle();
        EXPECT_LE(loader.cachedBytes(), bound);
    }
    EXPECT_EQ(loader.state(idNumber(50)), ThumbnailLoader::State::ready);
    EXPECT_EQ(loader.state(idNumber(1)), ThumbnailLoader::State::none) << "the oldest went first";
    // An evicted thumbnail comes back when its cell is painted again.
    loader.request(idNumber(1), square);
    loader.waitForIdle();
    EXPECT_EQ(loader.state(idNumber(1)), ThumbnailLoader::State::ready);
}

TEST(ThumbnailLoaderTest, StaleThumbnailsStayShownUntilTheirNewPictureArrives)
{
    ThumbnailLoader loader({.threads = 1});
    int generation = 1;
    const auto decode = [&generation](const std::atomic<bool>&) -> std::optional<QImage> {
        QImage image(generation, 1, QImage::Format_RGB32);
        image.fill(Qt::black);
        return image;
    };
    loader.request(idNumber(1), decode);
    loader.waitForIdle();
    loader.markAllStale();
    generation = 2;
    EXPECT_TRUE(loader.needsDecode(idNumber(1)));
    loader.request(idNumber(1), decode);
    EXPECT_EQ(loader.thumbnail(idNumber(1)).width(), 1) << "the old picture while the new one decodes";
    loader.waitForIdle();
    EXPECT_EQ(loader.thumbnail(idNumber(1)).width(), 2);
}

TEST(ThumbnailLoaderTest, ReadingStopsWhenCancelled)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("p.png"));
    ASSERT_TRUE(picture(800, 600).save(file));
    std::atomic<bool> cancelled = true;
    const Expected<QImage> thumbnail = readThumbnail(file, cancelled);
    EXPECT_FALSE(thumbnail);
}
