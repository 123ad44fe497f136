// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaptureHistory.h"

#include "PngEncoder.h"
#include "PrivateFiles.h"
#include "Settings.h"
#include "SystemLog.h"
#include "XdgPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QtConcurrent>

#include <cmath>
#include <limits>

namespace vantrel {

namespace {

QDateTime nowInSeconds()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    return QDateTime::fromSecsSinceEpoch(now.toSecsSinceEpoch(), Qt::UTC);
}

int truncatedPixels(double value)
{
    if (!std::isfinite(value) || value <= 0)
        return 0;
    return value >= double(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max() : int(value);
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
    load();
    prune();
}

CaptureHistory::~CaptureHistory()
{
    for (auto& [id, future] : m_pendingWrites)
        future.waitForFinished();
}

QString CaptureHistory::listPath() const
{
    return m_folder + QStringLiteral("/history.json");
}

QString CaptureHistory::pathOf(const HistoryItem& item) const
{
    return m_folder + QLatin1Char('/') + item.fileName;
}

QString CaptureHistory::filePath(const HistoryItem& item)
{
    waitForWrite(item.id);
    return pathOf(item);
}

void CaptureHistory::load()
{
    m_items.clear();
    files::makePrivateDirectory(m_folder);
    // Files written before the folder was private become private too.
    const QStringList names = QDir(m_folder).entryList(QDir::Files | QDir::Hidden);
    for (const QString& name : names)
        QFile::setPermissions(m_folder + QLatin1Char('/') + name, QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    QFile file(listPath());
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.readAll();
    file.close();
    DecodedHistory decoded = decodeHistory(bytes);
    m_items = std::move(decoded.items);
    if (!decoded.wellFormed || decoded.rejected > 0) {
        m_unreadOriginal = bytes;
        if (!decoded.wellFormed)
            systemLog(QStringLiteral("Vantrel: history.json could not be read; starting an empty history"));
        else
            systemLog(QStringLiteral("Vantrel: history.json had %1 unreadable record(s); kept the other %2")
                          .arg(decoded.rejected)
                          .arg(m_items.size()));
    }
}

void CaptureHistory::save()
{
    if (m_unreadOriginal) {
        // The first rewrite would lose whatever could not be read: keep the file as found.
        const QString backup = listPath() + QStringLiteral(".")
            + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'")) + QStringLiteral(".bak");
        if (auto failure = files::writeFile(backup, *m_unreadOriginal, {})) {
            systemLog(QStringLiteral("Vantrel: could not keep a backup of history.json: ") + failure->description);
            return;
        }
        systemLog(QStringLiteral("Vantrel: the unreadable history.json was kept as ") + backup);
        m_unreadOriginal.reset();
    }
    if (auto failure = files::writeFile(listPath(), encodeHistory(m_items), {}))
        systemLog(QStringLiteral("Vantrel: could not write history.json: ") + failure->description);
}

std::optional<HistoryItem> CaptureHistory::add(const QImage& image, CaptureKind kind)
{
    if (image.isNull())
        return std::nullopt;
    files::makePrivateDirectory(m_folder);
    const QFileInfo folderInfo(m_folder);
    if (!folderInfo.isDir() || !folderInfo.isWritable())
        return std::nullopt;

    const QUuid id = QUuid::createUuid();
    HistoryItem item {id, nowInSeconds(), kind, uuidText(id) + QStringLiteral(".png"), image.width(), image.height()};
    const QString path = pathOf(item);
    // QImage shares its pixels read-only with the worker; a later change on this thread copies.
    QFuture<QString> write = QtConcurrent::run([image, path]() -> QString {
        const std::optional<QByteArray> png = encodePng(image, PngSpeed::fast);
        if (!png)
            return QStringLiteral("the picture could not be encoded");
        if (auto failure = files::writeFile(path, *png, {.access = files::Access::privateToUser}))
            return failure->description.isEmpty() ? QStringLiteral("write failed") : failure->description;
        return QString();
    });
    m_pendingWrites[id] = write;
    auto* watcher = new QFutureWatcher<QString>(this);
    connect(watcher, &QFutureWatcher<QString>::finished, this, [this, watcher, id] {
        const QString failure = watcher->result();
        watcher->deleteLater();
        writeFinished(id, failure.isEmpty(), failure);
    });
    watcher->setFuture(write);

    m_items.insert(m_items.begin(), item);
    save();
    Q_EMIT itemsChanged();
    return item;
}

void CaptureHistory::writeFinished(const QUuid& id, bool ok, const QString& failure)
{
    auto pending = m_pendingWrites.find(id);
    if (pending == m_pendingWrites.end())
        return; // already settled by a wait
    m_pendingWrites.erase(pending);
    if (ok)
        return;
    systemLog(QStringLiteral("Vantrel: could not keep the capture in the history: ") + failure);
    const auto before = m_items.size();
    std::erase_if(m_items, [&](const HistoryItem& item) { return item.id == id; });
    if (m_items.size() != before) {
        save();
        Q_EMIT itemsChanged();
    }
}

void CaptureHistory::waitForWrite(const QUuid& id)
{
    auto pending = m_pendingWrites.find(id);
    if (pending == m_pendingWrites.end())
        return;
    QFuture<QString> future = pending->second;
    future.waitForFinished();
    const QString failure = future.result();
    writeFinished(id, failure.isEmpty(), failure);
}

void CaptureHistory::waitForPendingWrites()
{
    while (!m_pendingWrites.empty())
        waitForWrite(m_pendingWrites.begin()->first);
}

std::optional<HistoryItem> CaptureHistory::addFile(const QUrl& url, CaptureKind kind, double width, double height)
{
    const QString source = url.toLocalFile();
    const QUuid id = QUuid::createUuid();
    const QString extension = QFileInfo(source).suffix();
    HistoryItem item {id, nowInSeconds(), kind, uuidText(id) + QStringLiteral(".") + extension, truncatedPixels(width),
        truncatedPixels(height)};
    files::makePrivateDirectory(m_folder);
    const QString target = pathOf(item);
    if (source.isEmpty())
        return std::nullopt;
    if (auto failure = files::copyFile(source, target, {.access = files::Access::privateToUser})) {
        systemLog(QStringLiteral("Vantrel: could not keep the recording in the history: ") + failure->description);
        return std::nullopt;
    }
    m_items.insert(m_items.begin(), item);
    save();
    Q_EMIT itemsChanged();
    return item;
}

void CaptureHistory::replaceImage(const HistoryItem& record, const QImage& image)
{
    waitForWrite(record.id);
    auto listed = std::find_if(m_items.begin(), m_items.end(), [&](const HistoryItem& i) { return i.id == record.id; });
    // A record that is no longer listed keeps no file: writing one would leave an orphan.
    if (listed == m_items.end())
        return;
    const std::optional<QByteArray> png = encodePng(image, PngSpeed::fast);
    if (!png)
        return;
    if (auto failure = files::writeFile(pathOf(*listed), *png, {}))
        systemLog(QStringLiteral("Vantrel: could not update the history picture: ") + failure->description);
    listed->width = image.width();
    listed->height = image.height();
    save();
    Q_EMIT itemsChanged();
}

void CaptureHistory::remove(const HistoryItem& record)
{
    waitForWrite(record.id);
    QFile::remove(pathOf(record));
    std::erase_if(m_items, [&](const HistoryItem& item) { return item.id == record.id; });
    save();
    Q_EMIT itemsChanged();
}

void CaptureHistory::clear()
{
    waitForPendingWrites();
    for (const HistoryItem& item : m_items)
        QFile::remove(pathOf(item));
    m_items.clear();
    save();
    Q_EMIT itemsChanged();
}

void CaptureHistory::prune()
{
    waitForPendingWrites();
    const QDateTime cutoff = QDateTime::currentDateTimeUtc().addSecs(-qint64(Settings::shared().historyDays()) * 86400);
    std::vector<HistoryItem> keep;
    for (const HistoryItem& item : m_items) {
        if (item.date >= cutoff)
            keep.push_back(item);
        else
            QFile::remove(pathOf(item));
    }
    std::erase_if(keep, [&](const HistoryItem& item) { return !QFileInfo::exists(pathOf(item)); });
    const bool changed = keep != m_items;
    m_items = std::move(keep);
    save();
    if (changed)
        Q_EMIT itemsChanged();
}

} // namespace vantrel
