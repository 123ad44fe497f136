// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistoryListModel.h"

#include "CaptureHistory.h"
#include "CaptureItem.h"
#include "MediaPreview.h"
#include "ThumbnailReader.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMimeData>
#include <QRegularExpression>
#include <QUrl>

namespace vantrel {

HistoryListModel::HistoryListModel(CaptureHistory& history, QObject* parent)
    : HistoryListModel(history, ThumbnailLoader::Options {}, parent)
{ }

HistoryListModel::HistoryListModel(CaptureHistory& history, ThumbnailLoader::Options thumbnails, QObject* parent)
    : QAbstractListModel(parent)
    , m_history(history)
    , m_items(history.items())
    , m_thumbnails(thumbnails)
    , m_dateTimeFormat(dateTimeFormat(m_locale))
{
    rebuildRows();
    connect(&history, &CaptureHistory::itemsChanged, this, &HistoryListModel::sync);
    connect(&m_thumbnails, &ThumbnailLoader::finished, this, [this](const QUuid& id) {
        const int row = rowOf(id);
        if (row >= 0) {
            const QModelIndex changed = index(row);
            Q_EMIT dataChanged(changed, changed, {ThumbnailRole, ThumbnailStateRole});
        }
    });
}

QString HistoryListModel::dateTimeFormat(const QLocale& locale)
{
    QString date = locale.dateFormat(QLocale::LongFormat);
    static const QRegularExpression weekday(QStringLiteral("d{4}[,\\s]*"));
    static const QRegularExpression monthName(QStringLiteral("(?<!M)MMMM(?!M)"));
    date.remove(weekday);
    date.replace(monthName, QStringLiteral("MMM"));
    // What the weekday leaves behind at either end: "d MMMM yyyy, dddd" → "d MMM yyyy".
    static const QRegularExpression loose(QStringLiteral("^[,\\s]+|[,\\s]+$"));
    date.remove(loose);
    // Hours and minutes: some locales' short time still counts seconds ("HH:mm:ss" in C).
    QString time = locale.timeFormat(QLocale::ShortFormat);
    static const QRegularExpression seconds(QStringLiteral("[:.]ss?(?![A-Za-z])"));
    time.remove(seconds);
    return QCoreApplication::translate("HistoryCell", "%1, %2", "capture date, then its time").arg(date, time);
}

QString HistoryListModel::sizeText(int width, int height)
{
    return QCoreApplication::translate("HistoryCell", "%1 × %2", "pixel width, then height").arg(width).arg(height);
}

int HistoryListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_items.size());
}

QVariant HistoryListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_items.size()))
        return {};
    const HistoryItem& record = m_items[std::size_t(index.row())];
    switch (role) {
    case IdRole: return record.id;
    case KindRole: return int(record.kind);
    case ThumbnailRole: {
        // Reading a row's picture is what asks for it: only cells that are painted cost a decode.
        // A request already queued moves forward.
        m_thumbnails.request(record.id, m_thumbnails.needsDecode(record.id) ? decoderFor(record) : nullptr);
        QImage thumbnail = m_thumbnails.thumbnail(record.id);
        // A recording without a frame to show shows what the rest of Vantrel shows for it: the
        // desktop's icon for its type. A GIF without one, like a picture, shows nothing.
        if (thumbnail.isNull() && record.kind == CaptureKind::recording
            && m_thumbnails.state(record.id) == ThumbnailLoader::State::failed)
            thumbnail = fileIconFor(record.fileName);
        return thumbnail;
    }
    case ThumbnailStateRole: return int(m_thumbnails.state(record.id));
    case Qt::DisplayRole:
    case DateTextRole: return m_locale.toString(record.date.toLocalTime(), m_dateTimeFormat);
    case SizeTextRole: return sizeText(record.width, record.height);
    case Qt::ToolTipRole: return QFileInfo(record.fileName).fileName();
    case FilePathRole: return m_history.filePath(record);
    default: return {};
    }
}

QImage HistoryListModel::fileIconFor(const QString& fileName) const
{
    // The icon theme is asked on the UI thread, once per file type.
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    auto icon = m_fileIcons.constFind(suffix);
    if (icon == m_fileIcons.constEnd())
        icon = m_fileIcons.insert(suffix, fileIcon(fileName));
    return *icon;
}

ThumbnailLoader::Decode HistoryListModel::decoderFor(const HistoryItem& record) const
{
    // Waits for a capture's picture if it is still being written (only just after a capture).
    const QString path = m_history.filePath(record);
    if (record.isVideo()) {
        // A recording's picture is what every surface shows for it: its first frame.
        std::shared_ptr<CaptureItem> item = CaptureItem::fromFile(QUrl::fromLocalFile(path), record.kind);
        return [item](const std::atomic<bool>&) -> std::optional<QImage> {
            if (std::optional<QImage> frame = item->firstFrame())
                return scaledToThumbnail(*frame);
            return std::nullopt;
        };
    }
    return [path](const std::atomic<bool>& cancelled) -> std::optional<QImage> {
        Expected<QImage> thumbnail = readThumbnail(path, cancelled);
        if (!thumbnail)
            return std::nullopt;
        return std::move(*thumbnail);
    };
}

Qt::ItemFlags HistoryListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
}

QHash<int, QByteArray> HistoryListModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert(IdRole, "id");
    names.insert(KindRole, "kind");
    names.insert(ThumbnailRole, "thumbnail");
    names.insert(ThumbnailStateRole, "thumbnailState");
    names.insert(DateTextRole, "dateText");
    names.insert(SizeTextRole, "sizeText");
    names.insert(FilePathRole, "filePath");
    return names;
}

QStringList HistoryListModel::mimeTypes() const
{
    return {QStringLiteral("text/uri-list")};
}

QMimeData* HistoryListModel::mimeData(const QModelIndexList& indexes) const
{
    auto* mime = new QMimeData;
    QList<QUrl> urls;
    for (const QModelIndex& index : indexes) {
        if (index.model() != this || !index.isValid())
            continue;
        const QString path = m_history.filePath(item(index.row()));
        // A file that cannot be read is not offered: the drop target would get nothing from it.
        const QFileInfo file(path);
        if (!path.isEmpty() && file.isFile() && file.isReadable())
            urls.append(QUrl::fromLocalFile(path));
    }
    if (!urls.isEmpty())
        mime->setUrls(urls);
    return mime;
}

Qt::DropActions HistoryListModel::supportedDragActions() const
{
    // Never a move: the drop target must not take the capture out of the history folder.
    return Qt::CopyAction;
}

void HistoryListModel::rebuildRows()
{
    m_rows.clear();
    m_rows.reserve(qsizetype(m_items.size()));
    for (std::size_t row = 0; row < m_items.size(); ++row)
        m_rows.insert(m_items[row].id, int(row));
}

void HistoryListModel::sync()
{
    const std::vector<HistoryItem>& next = m_history.items();
    if (next == m_items) {
        // Nothing listed changed, yet the store spoke: a picture was written over in place
        // (an edit of the same size). Keep showing the old thumbnails until new ones arrive.
        m_thumbnails.markAllStale();
        if (!m_items.empty())
            Q_EMIT dataChanged(index(0), index(int(m_items.size()) - 1), {ThumbnailRole, ThumbnailStateRole});
        return;
    }

    QSet<QUuid> nextIds;
    nextIds.reserve(qsizetype(next.size()));
    for (const HistoryItem& record : next)
        nextIds.insert(record.id);

    // Removals first, from the end, a contiguous run at a time.
    for (int row = int(m_items.size()) - 1; row >= 0;) {
        if (nextIds.contains(m_items[std::size_t(row)].id)) {
            --row;
            continue;
        }
        int first = row;
        while (first > 0 && !nextIds.contains(m_items[std::size_t(first - 1)].id))
            --first;
        beginRemoveRows({}, first, row);
        for (int r = first; r <= row; ++r)
            m_thumbnails.forget(m_items[std::size_t(r)].id);
        m_items.erase(m_items.begin() + first, m_items.begin() + row + 1);
        endRemoveRows();
        row = first - 1;
    }
    rebuildRows();

    // What is left keeps its order in the store (records are only ever added and removed), so
    // walking both lists together finds the insertions. Anything else is a reordering: start over.
    std::size_t row = 0;
    while (row < next.size()) {
        if (row < m_items.size() && m_items[row].id == next[row].id) {
            if (m_items[row] != next[row]) {
                // The editor wrote a new picture: new size, new thumbnail.
                m_thumbnails.forget(next[row].id);
                m_items[row] = next[row];
                Q_EMIT dataChanged(index(int(row)), index(int(row)));
            }
            ++row;
            continue;
        }
        if (m_rows.contains(next[row].id)) {
            beginResetModel();
            m_items = next;
            rebuildRows();
            endResetModel();
            return;
        }
        std::size_t end = row;
        while (end < next.size() && !m_rows.contains(next[end].id))
            ++end;
        beginInsertRows({}, int(row), int(end) - 1);
        m_items.insert(m_items.begin() + std::ptrdiff_t(row), next.begin() + std::ptrdiff_t(row),
            next.begin() + std::ptrdiff_t(end));
        rebuildRows();
        endInsertRows();
        row = end;
    }
}

} // namespace vantrel
