// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "HistoryItem.h"
#include "ThumbnailLoader.h"

#include <QAbstractListModel>
#include <QHash>
#include <QLocale>

#include <optional>
#include <vector>

namespace vantrel {

class CaptureHistory;

// The capture history as a list for item views, newest first, following the store as it
// changes: records added, removed or pruned become inserted and removed rows (selection and
// scroll position survive), a replaced picture refreshes its row. Thumbnails are asked for when
// a view first reads a row's picture and arrive later from the worker pool; until then the row
// has none. Main thread only.
class HistoryListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role {
        IdRole = Qt::UserRole + 1, // QUuid
        KindRole, // int of CaptureKind
        ThumbnailRole, // QImage, null while none is loaded (a recording that failed: its file icon)
        ThumbnailStateRole, // int of ThumbnailLoader::State
        DateTextRole, // abbreviated date and short time in the user's locale
        SizeTextRole, // "1920 × 1080"
        FilePathRole, // the capture's file
    };

    explicit HistoryListModel(CaptureHistory& history, QObject* parent = nullptr);
    HistoryListModel(CaptureHistory& history, ThumbnailLoader::Options thumbnails, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Dragging rows out hands over their files (as file URLs); rows whose file cannot be read
    // hand over nothing.
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;

    const HistoryItem& item(int row) const { return m_items.at(std::size_t(row)); }
    // The row of a record, else -1.
    int rowOf(const QUuid& id) const { return m_rows.value(id, -1); }
    CaptureHistory& history() const { return m_history; }
    ThumbnailLoader& thumbnails() { return m_thumbnails; }

    // Cancels the thumbnails on their way for every record but these (the cells on screen).
    void keepThumbnailsFor(const QSet<QUuid>& ids) { m_thumbnails.keepOnly(ids); }
    // Lets go of every thumbnail, cached or on its way: nothing shows them (the window is
    // hidden), and the process stays in the tray for days. Cells read them again when painted.
    void releaseThumbnails() { m_thumbnails.clear(); }

    // How cells write a capture's date in `locale`: its long date without the weekday and with
    // the month abbreviated ("Mar 12, 2026"), then its short time.
    static QString dateTimeFormat(const QLocale& locale);
    // "%lld × %lld": width, then height.
    static QString sizeText(int width, int height);

private:
    void sync();
    void rebuildRows();
    ThumbnailLoader::Decode decoderFor(const HistoryItem& item) const;
    QImage fileIconFor(const QString& fileName) const;

    CaptureHistory& m_history;
    std::vector<HistoryItem> m_items;
    QHash<QUuid, int> m_rows;
    mutable ThumbnailLoader m_thumbnails;
    mutable QHash<QString, QImage> m_fileIcons; // by lower-case suffix
    QLocale m_locale;
    QString m_dateTimeFormat;
};

} // namespace vantrel
