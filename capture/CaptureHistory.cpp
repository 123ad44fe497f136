// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaptureHistory.h"

#include "PngEncoder.h"
#include "PrivateFiles.h"
#include "Settings.h"
#include "SystemLog.h"
#include "ThreadPriority.h"
#include "Toasts.h"
#include "XdgPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QHash>
#include <QSet>
#include <QtConcurrent>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace vantrel {

namespace {

constexpr qint64 largestListBytes = qint64(1) << 30;
const QString listName = QStringLiteral("history.json");

QDateTime nowInSeconds()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    return QDateTime::fromSecsSinceEpoch(now.toSecsSinceEpoch(), Qt::UTC);
}

QDateTime retentionCutoff()
{
    return QDateTime::currentDateTimeUtc().addSecs(-qint64(Settings::shared().historyDays()) * 86400);
}

int truncatedPixels(double value)
{
    if (!std::isfinite(value) || value <= 0)
        return 0;
    return value >= double(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max() : int(value);
}

QString pathIn(const QString& folder, const QString& name)
{
    return folder + QLatin1Char('/') + name;
}

// The first and last bytes of a file, for telling whole pictures from cut-off ones.
struct Ends
{
    QByteArray head;
    QByteArray tail;
};

std::optional<Ends> readEnds(const QString& path, qint64 size, int headBytes, int tailBytes)
{
    // Plain system calls: at start-up this runs once for every record, 20,000 times or more.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    Ends ends;
    ends.head.resize(headBytes);
    ends.tail.resize(tailBytes);
    const ssize_t head = ::pread(fd, ends.head.data(), std::size_t(headBytes), 0);
    const ssize_t tail = ::pread(fd, ends.tail.data(), std::size_t(tailBytes), std::max<qint64>(0, size - tailBytes));
    ::close(fd);
    if (head < 0 || tail < 0)
        return std::nullopt;
    ends.head.truncate(head);
    ends.tail.truncate(tail);
    return ends;
}

const QByteArray pngSignature("\x89PNG\r\n\x1a\n", 8);
const QByteArray pngEnd("\0\0\0\0IEND\xae\x42\x60\x82", 12);

// Whether a file the history wrote is complete: a PNG ends with its IEND chunk and a GIF with
// its trailer; a recording only has to be there. A crash mid-write (by a version that wrote
// in place) leaves a file that fails this.
bool looksWhole(const QString& path, qint64 size, const QString& fileName)
{
    if (size <= 0)
        return false;
    const QString extension = QFileInfo(fileName).suffix().toLower();
    if (extension == QLatin1String("png")) {
        const std::optional<Ends> ends = readEnds(path, size, 8, 12);
        return ends && ends->head == pngSignature && ends->tail == pngEnd;
    }
    if (extension == QLatin1String("gif")) {
        const std::optional<Ends> ends = readEnds(path, size, 6, 1);
        return ends && ends->head.startsWith("GIF8") && ends->tail == ";";
    }
    return true;
}

// A whole PNG that no record names, left by a crash between its rename and the list write:
// its pixel size from the IHDR chunk.
std::optional<QSize> orphanPngSize(const QString& path, qint64 size)
{
    const std::optional<Ends> ends = readEnds(path, size, 24, 12);
    if (!ends || ends->head.size() < 24 || !ends->head.startsWith(pngSignature) || ends->head.mid(12, 4) != "IHDR"
        || ends->tail != pngEnd)
        return std::nullopt;
    const quint32 width = qFromBigEndian<quint32>(ends->head.constData() + 16);
    const quint32 height = qFromBigEndian<quint32>(ends->head.constData() + 20);
    if (width == 0 || height == 0 || width > quint32(std::numeric_limits<int>::max())
        || height > quint32(std::numeric_limits<int>::max()))
        return std::nullopt;
    return QSize(int(width), int(height));
}

void removeFile(const QString& folder, const QString& name)
{
    ::unlink(QFile::encodeName(pathIn(folder, name)).constData());
}

QString storageToastText(int code)
{
    switch (code) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return QCoreApplication::translate(
            "vantrel::CaptureHistory", "The disk is full: captures are not kept in the history");
    case EACCES:
    case EPERM:
    case EROFS:
        return QCoreApplication::translate(
            "vantrel::CaptureHistory", "The history folder is read-only: captures are not kept");
    default:
        return QCoreApplication::translate("vantrel::CaptureHistory", "Captures are not being kept in the history");
    }
}

} // namespace

CaptureHistory& CaptureHistory::shared()
{
    static CaptureHistory* instance = [] {
        auto* history = new CaptureHistory(xdg::historyDir());
        // Pictures still being written when the program ends must reach the disk.
        if (QCoreApplication* app = QCoreApplication::instance())
            QObject::connect(
                app, &QCoreApplication::aboutToQuit, history, [history] { history->waitForPendingWrites(); });
        return history;
    }();
    return *instance;
}

CaptureHistory::CaptureHistory(const QString& folder, QObject* parent)
    : QObject(parent)
    , m_folder(QDir::cleanPath(folder))
{
    m_serial.setMaxThreadCount(1);
    const QDateTime cutoff = retentionCutoff();
    // Reading a long history takes a core for a good part of a second; at start-up it must give
    // way to the main thread, which is about to answer the first shortcut. It runs on a thread of
    // its own, since a lowered priority cannot be raised again: the writes that follow on the
    // serial thread keep the normal one, so a capture is on disk as soon as ever.
    m_load = QtConcurrent::run(&m_serial, [folder = m_folder, cutoff] {
        LoadedHistory loaded;
        std::thread reader([&] {
            lowerCurrentThreadPriority();
            loaded = loadFolder(folder, cutoff);
        });
        reader.join();
        return loaded;
    });
    auto* watcher = new QFutureWatcher<LoadedHistory>(this);
    connect(watcher, &QFutureWatcher<LoadedHistory>::finished, this, [this, watcher] {
        watcher->deleteLater();
        finishLoad();
    });
    watcher->setFuture(m_load);
}

CaptureHistory::~CaptureHistory()
{
    waitForPendingWrites();
    m_serial.waitForDone();
}

QString CaptureHistory::listPath() const
{
    return pathIn(m_folder, listName);
}

QString CaptureHistory::filePath(const HistoryItem& item)
{
    waitForWrite(item.id);
    return isHistoryFileName(item.fileName, item.id) ? pathIn(m_folder, item.fileName) : QString();
}

const std::vector<HistoryItem>& CaptureHistory::items()
{
    waitForLoad();
    return m_items;
}

CaptureHistory::LoadedHistory CaptureHistory::loadFolder(const QString& folder, const QDateTime& cutoff)
{
    LoadedHistory loaded;
    files::makePrivateDirectory(folder);
    // Files written before the folder was private become private too; links are not followed.
    QHash<QString, files::FolderFile> found;
    int unfinished = 0;
    for (files::FolderFile& file : files::makeFilesPrivate(folder)) {
        if (files::isTemporaryName(file.name)) {
            removeFile(folder, file.name); // a write a crash cut short
            ++unfinished;
        } else {
            found.insert(file.name, std::move(file));
        }
    }
    if (unfinished > 0)
        loaded.logLines.append(
            QStringLiteral("Vantrel: removed %1 unfinished file(s) from the history folder").arg(unfinished));

    Expected<QByteArray> bytes = files::readRegularFile(pathIn(folder, listName), largestListBytes);
    DecodedHistory decoded;
    if (bytes) {
        decoded = decodeHistory(*bytes);
        if (!decoded.wellFormed) {
            loaded.unreadOriginal = *bytes;
            loaded.logLines.append(
                QStringLiteral("Vantrel: history.json could not be read; starting an empty history"));
        } else if (decoded.dropped() > 0) {
            loaded.unreadOriginal = *bytes;
            if (decoded.rejected > 0)
                loaded.logLines.append(
                    QStringLiteral("Vantrel: history.json had %1 unreadable record(s)").arg(decoded.rejected));
            if (decoded.unsafeNames > 0)
                loaded.logLines.append(
                    QStringLiteral("Vantrel: history.json had %1 record(s) whose file name leads outside the "
                                   "history folder; they were left out and no file was touched")
                        .arg(decoded.unsafeNames));
            if (decoded.duplicates > 0)
                loaded.logLines.append(
                    QStringLiteral("Vantrel: history.json had %1 record(s) with an id listed before; kept the first")
                        .arg(decoded.duplicates));
        }
    } else if (bytes.error().code != ENOENT) {
        loaded.logLines.append(QStringLiteral("Vantrel: history.json could not be read (%1); starting an empty history")
                                   .arg(bytes.error().description));
    }

    // Every name below passed isHistoryFileName: it lies inside the folder.
    QSet<QString> listed;
    int lost = 0;
    for (HistoryItem& item : decoded.items) {
        listed.insert(item.fileName);
        const auto file = found.constFind(item.fileName);
        if (item.date < cutoff) {
            if (file != found.constEnd())
                removeFile(folder, item.fileName);
            loaded.rewrite = true;
            continue;
        }
        if (file == found.constEnd() || !looksWhole(pathIn(folder, item.fileName), file->size, item.fileName)) {
            // Missing, cut off by a crash, or not a regular file (a link): the record goes; a
            // cut-off file with it, since nothing can show it.
            if (file != found.constEnd())
                removeFile(folder, item.fileName);
            ++lost;
            loaded.rewrite = true;
            continue;
        }
        loaded.items.push_back(std::move(item));
    }
    if (lost > 0)
        loaded.logLines.append(
            QStringLiteral("Vantrel: dropped %1 capture(s) from the history whose file was missing or cut off")
                .arg(lost));

    // Whole pictures that no record names: a crash came between a picture and the list that
    // was to name it. They are listed again, dated by their file.
    int adopted = 0;
    for (const files::FolderFile& file : std::as_const(found)) {
        if (listed.contains(file.name) || file.name.size() != 40 || !file.name.endsWith(QLatin1String(".png")))
            continue;
        const QUuid id = QUuid::fromString(QStringView(file.name).left(36));
        if (id.isNull() || !isHistoryFileName(file.name, id))
            continue;
        const std::optional<QSize> size = orphanPngSize(pathIn(folder, file.name), file.size);
        if (!size)
            continue;
        const QDateTime date = QDateTime::fromSecsSinceEpoch(file.modified, Qt::UTC);
        if (date < cutoff) {
            removeFile(folder, file.name);
            continue;
        }
        loaded.items.push_back(
            HistoryItem {id, date, CaptureKind::screenshot, file.name, size->width(), size->height()});
        ++adopted;
    }
    if (adopted > 0) {
        std::stable_sort(loaded.items.begin(), loaded.items.end(),
            [](const HistoryItem& a, const HistoryItem& b) { return a.date > b.date; });
        loaded.rewrite = true;
        loaded.logLines.append(
            QStringLiteral("Vantrel: listed %1 capture(s) found in the history folder that history.json did not name")
                .arg(adopted));
    }
    loaded.rewrite = loaded.rewrite || loaded.unreadOriginal.has_value();
    return loaded;
}

void CaptureHistory::waitForLoad()
{
    if (m_loaded)
        return;
    m_load.waitForFinished();
    finishLoad();
}

void CaptureHistory::finishLoad()
{
    if (m_loaded)
        return;
    m_loaded = true;
    LoadedHistory loaded = m_load.result();
    for (const QString& line : std::as_const(loaded.logLines))
        systemLog(line);
    m_unreadOriginal = std::move(loaded.unreadOriginal);
    // Captures taken while the list was read are newer than anything in it.
    const bool additions = !m_items.empty();
    QSet<QUuid> added;
    for (const HistoryItem& item : m_items)
        added.insert(item.id);
    m_items.reserve(m_items.size() + loaded.items.size());
    for (HistoryItem& item : loaded.items) {
        if (!added.contains(item.id))
            m_items.push_back(std::move(item));
    }
    if (loaded.rewrite || additions)
        save();
    if (!loaded.items.empty())
        Q_EMIT itemsChanged();
}

void CaptureHistory::save()
{
    m_listDirty = true;
    if (m_listWriteQueued)
        return;
    m_listWriteQueued = true;
    QMetaObject::invokeMethod(this, &CaptureHistory::startListWrite, Qt::QueuedConnection);
}

void CaptureHistory::startListWrite()
{
    m_listWriteQueued = false;
    // The list is written once it is known (the load saves when it ends), one write at a time.
    if (!m_loaded || m_listWrite || !m_listDirty)
        return;
    m_listDirty = false;
    // Only records whose picture is on disk: a crash must never leave a record without its file.
    std::vector<HistoryItem> written;
    written.reserve(m_items.size());
    for (const HistoryItem& item : m_items) {
        if (!m_pendingWrites.count(item.id))
            written.push_back(item);
    }
    std::optional<QByteArray> original = std::exchange(m_unreadOriginal, std::nullopt);
    m_listWrite = QtConcurrent::run(
        &m_serial, [path = listPath(), written = std::move(written), original = std::move(original)] {
            ListWriteResult result;
            if (original) {
                // The first rewrite would lose whatever could not be read: keep the file as found.
                const QString backup = path + QStringLiteral(".")
                    + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"))
                    + QStringLiteral(".bak");
                if ((result.backupFailure = files::writeFile(backup, *original)))
                    return result;
                result.backupPath = backup;
            }
            result.failure = files::writeFile(path, encodeHistory(written));
            return result;
        });
    auto* watcher = new QFutureWatcher<ListWriteResult>(this);
    connect(watcher, &QFutureWatcher<ListWriteResult>::finished, this, [this, watcher] {
        watcher->deleteLater();
        settleListWrite();
    });
    watcher->setFuture(*m_listWrite);
}

void CaptureHistory::settleListWrite()
{
    if (!m_listWrite || !m_listWrite->isFinished())
        return;
    const ListWriteResult result = m_listWrite->result();
    m_listWrite.reset();
    if (result.backupFailure) {
        systemLog(
            QStringLiteral("Vantrel: could not keep a backup of history.json: ") + result.backupFailure->description);
        reportStorageProblem(*result.backupFailure);
        return; // the list file stays as found; the next change tries again
    }
    if (!result.backupPath.isEmpty())
        systemLog(QStringLiteral("Vantrel: the unreadable history.json was kept as ") + result.backupPath);
    if (result.failure) {
        systemLog(QStringLiteral("Vantrel: could not write history.json: ") + result.failure->description);
        reportStorageProblem(*result.failure);
    }
    if (m_listDirty)
        startListWrite();
}

void CaptureHistory::deleteFiles(const QStringList& names)
{
    if (names.isEmpty())
        return;
    // On the serial worker, so that the files go before the list that no longer names them is
    // written: a crash in between leaves records without files, which the next start drops.
    static_cast<void>(QtConcurrent::run(&m_serial, [folder = m_folder, names] {
        for (const QString& name : names)
            removeFile(folder, name);
    }));
}

void CaptureHistory::reportStorageProblem(const Error& error)
{
    // Once per kind of problem and run: a full disk is said once, not at every capture.
    const QString text = storageToastText(error.code);
    if (m_storageProblemsReported.contains(text))
        return;
    m_storageProblemsReported.insert(text);
    systemLog(QStringLiteral("Vantrel: captures are not being kept in the history: ") + error.description);
    showToast({.text = text, .symbol = QStringLiteral("exclamationmark.triangle.fill"), .duration = 4.0});
}

std::optional<HistoryItem> CaptureHistory::add(const QImage& image, CaptureKind kind)
{
    if (image.isNull())
        return std::nullopt;
    files::makePrivateDirectory(m_folder);
    if (::access(QFile::encodeName(m_folder).constData(), W_OK | X_OK) != 0) {
        const int code = errno;
        reportStorageProblem(Error {.domain = QStringLiteral("File"),
            .code = code,
            .description = m_folder + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(code))});
        return std::nullopt;
    }

    const QUuid id = QUuid::createUuid();
    HistoryItem item {id, nowInSeconds(), kind, uuidText(id) + QStringLiteral(".png"), image.width(), image.height()};
    const QString path = pathIn(m_folder, item.fileName);
    // QImage shares its pixels read-only with the worker; a later change on this thread copies.
    // The file waits for the load, which clears the folder of unfinished writes.
    QFuture<std::optional<Error>> write
        = QtConcurrent::run([image, path, load = m_load]() mutable -> std::optional<Error> {
              const std::optional<QByteArray> png = encodePng(image, PngSpeed::fast);
              if (!png)
                  return Error {.description = QStringLiteral("the picture could not be encoded")};
              load.waitForFinished();
              return files::writeFile(path, *png, {.access = files::Access::privateToUser});
          });
    m_pendingWrites[id] = write;
    auto* watcher = new QFutureWatcher<std::optional<Error>>(this);
    connect(watcher, &QFutureWatcher<std::optional<Error>>::finished, this, [this, watcher, id] {
        watcher->deleteLater();
        waitForWrite(id);
    });
    watcher->setFuture(write);

    m_items.insert(m_items.begin(), item);
    Q_EMIT itemsChanged();
    return item;
}

void CaptureHistory::writeFinished(const QUuid& id, const std::optional<Error>& failure)
{
    if (!failure) {
        save(); // now that the picture is whole, the list may name it
        return;
    }
    systemLog(QStringLiteral("Vantrel: could not keep the capture in the history: ") + failure->description);
    reportStorageProblem(*failure);
    const auto before = m_items.size();
    std::erase_if(m_items, [&](const HistoryItem& item) { return item.id == id; });
    if (m_items.size() != before)
        Q_EMIT itemsChanged();
}

void CaptureHistory::waitForWrite(const QUuid& which)
{
    const QUuid id = which; // `which` may be the key erased below
    auto pending = m_pendingWrites.find(id);
    if (pending == m_pendingWrites.end())
        return; // never pending, or already settled
    QFuture<std::optional<Error>> future = pending->second;
    m_pendingWrites.erase(pending);
    future.waitForFinished();
    writeFinished(id, future.result());
}

void CaptureHistory::waitForPendingWrites()
{
    waitForLoad();
    while (!m_pendingWrites.empty())
        waitForWrite(m_pendingWrites.begin()->first);
    // Then the list, until nothing is left to write. The serial worker is waited for as a whole,
    // never the list write's own future: waiting on a future runs its task on this thread when it
    // has not started yet, ahead of the file deletions queued on the worker before it.
    for (;;) {
        if (m_listWrite) {
            m_serial.waitForDone();
            settleListWrite();
            continue;
        }
        if (!m_listDirty)
            break;
        startListWrite();
        if (!m_listWrite)
            break;
    }
    m_serial.waitForDone();
}

std::optional<HistoryItem> CaptureHistory::addFile(const QUrl& url, CaptureKind kind, double width, double height)
{
    waitForLoad(); // the load clears unfinished writes from the folder
    const QString source = url.toLocalFile();
    const QUuid id = QUuid::createUuid();
    QString extension = QFileInfo(source).suffix();
    if (!isHistoryFileName(uuidText(id) + QStringLiteral(".") + extension, id))
        extension = QStringLiteral("mp4"); // a name the list can hold
    HistoryItem item {id, nowInSeconds(), kind, uuidText(id) + QStringLiteral(".") + extension, truncatedPixels(width),
        truncatedPixels(height)};
    files::makePrivateDirectory(m_folder);
    if (source.isEmpty())
        return std::nullopt;
    if (auto failure = files::copyFile(source, pathIn(m_folder, item.fileName), {})) {
        systemLog(QStringLiteral("Vantrel: could not keep the recording in the history: ") + failure->description);
        if (failure->code != ENOENT)
            reportStorageProblem(*failure);
        return std::nullopt;
    }
    m_items.insert(m_items.begin(), item);
    save();
    Q_EMIT itemsChanged();
    return item;
}

void CaptureHistory::replaceImage(const HistoryItem& record, const QImage& image)
{
    waitForLoad();
    waitForWrite(record.id);
    auto listed = std::find_if(m_items.begin(), m_items.end(), [&](const HistoryItem& i) { return i.id == record.id; });
    // A record that is no longer listed keeps no file: writing one would leave an orphan.
    if (listed == m_items.end())
        return;
    const std::optional<QByteArray> png = encodePng(image, PngSpeed::fast);
    if (!png)
        return;
    if (auto failure = files::writeFile(pathIn(m_folder, listed->fileName), *png)) {
        systemLog(QStringLiteral("Vantrel: could not update the history picture: ") + failure->description);
        reportStorageProblem(*failure);
        return;
    }
    listed->width = image.width();
    listed->height = image.height();
    save();
    Q_EMIT itemsChanged();
}

void CaptureHistory::remove(const HistoryItem& record)
{
    waitForLoad();
    waitForWrite(record.id);
    // The listed record's own name, never the caller's: only files the history gave are deleted.
    auto listed = std::find_if(m_items.begin(), m_items.end(), [&](const HistoryItem& i) { return i.id == record.id; });
    if (listed == m_items.end())
        return;
    const QString name = listed->fileName;
    m_items.erase(listed);
    deleteFiles({name});
    save();
    Q_EMIT itemsChanged();
}

void CaptureHistory::clear()
{
    waitForPendingWrites();
    QStringList names;
    for (const HistoryItem& item : m_items)
        names.append(item.fileName);
    m_items.clear();
    deleteFiles(names);
    save();
    Q_EMIT itemsChanged();
}

void CaptureHistory::prune()
{
    waitForLoad();
    while (!m_pendingWrites.empty())
        waitForWrite(m_pendingWrites.begin()->first);
    const QDateTime cutoff = retentionCutoff();
    std::vector<HistoryItem> keep;
    keep.reserve(m_items.size());
    QStringList expired;
    for (HistoryItem& item : m_items) {
        if (item.date < cutoff) {
            expired.append(item.fileName);
            continue;
        }
        // A file deleted by hand, or something that is not a regular file any more.
        struct stat info
        { };
        if (::lstat(QFile::encodeName(pathIn(m_folder, item.fileName)).constData(), &info) != 0
            || !S_ISREG(info.st_mode))
            continue;
        keep.push_back(std::move(item));
    }
    const bool changed = keep.size() != m_items.size();
    m_items = std::move(keep);
    deleteFiles(expired);
    if (changed) {
        save();
        Q_EMIT itemsChanged();
    }
}

} // namespace vantrel
