// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "HistoryItem.h"

#include <QFuture>
#include <QImage>
#include <QObject>
#include <QUrl>

#include <map>
#include <optional>
#include <vector>

namespace vantrel {

// Every capture kept for `historyDays` days: one file per capture in a private folder, and
// "history.json" listing them newest first. Main thread only; pictures are compressed and
// written on a worker thread so that a 4K capture does not hold up the screen.
class CaptureHistory : public QObject
{
    Q_OBJECT
public:
    // The store over $XDG_DATA_HOME/Vantrel/History, made (loaded and pruned) on first use.
    static CaptureHistory& shared();

    // A store over `folder`: creates it (0700), loads "history.json" and prunes.
    explicit CaptureHistory(const QString& folder, QObject* parent = nullptr);
    ~CaptureHistory() override;

    const std::vector<HistoryItem>& items() const { return m_items; }
    QString folder() const { return m_folder; }
    QUrl folderURL() const { return QUrl::fromLocalFile(m_folder); }
    // The record's file, complete: waits for its picture if that is still being written.
    QString filePath(const HistoryItem& item);

    // Records a still picture (kept as PNG whatever the image format setting). The record is
    // listed at once; its file follows within milliseconds. None when the folder cannot be
    // written. Should the write fail after all, the record is taken out again and a line logged.
    std::optional<HistoryItem> add(const QImage& image, CaptureKind kind);
    // Copies a recording or GIF in; width and height are truncated to whole pixels.
    std::optional<HistoryItem> addFile(const QUrl& url, CaptureKind kind, double width, double height);
    // Writes a new picture over a listed record's file and updates its size.
    void replaceImage(const HistoryItem& item, const QImage& image);
    void remove(const HistoryItem& item);
    void clear();
    // Drops records older than `historyDays` (with their files) and records whose file is gone.
    void prune();
    // Writes "history.json" atomically.
    void save();

    // Blocks until every picture handed to `add` is on disk (tests, and before quitting).
    void waitForPendingWrites();

Q_SIGNALS:
    void itemsChanged();

private:
    void load();
    void waitForWrite(const QUuid& id);
    void writeFinished(const QUuid& id, bool ok, const QString& failure);
    QString pathOf(const HistoryItem& item) const;
    QString listPath() const;

    QString m_folder;
    std::vector<HistoryItem> m_items;
    std::map<QUuid, QFuture<QString>> m_pendingWrites; // empty text = written
    // The list file as found, when part of it could not be read: kept as a backup before the
    // first rewrite.
    std::optional<QByteArray> m_unreadOriginal;
};

} // namespace vantrel
