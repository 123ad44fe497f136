// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Expected.h"
#include "HistoryItem.h"

#include <QFuture>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QThreadPool>
#include <QUrl>

#include <map>
#include <optional>
#include <vector>

namespace vantrel {

// Every capture kept for `historyDays` days: one file per capture in a private folder, and
// "history.json" listing them newest first. Main thread only.
//
// Nothing here holds up the screen. The list is read, checked and pruned on a worker thread
// while start-up goes on (captures taken meanwhile are listed at once and merged in); pictures
// are compressed and written on workers; list writes are coalesced and run on a worker too.
// On disk, a picture is always complete before any list names it, so a crash or a full disk
// never leaves a record pointing at a missing or cut-off file.
class CaptureHistory : public QObject
{
    Q_OBJECT
public:
    // The store over $XDG_DATA_HOME/Vantrel/History, made on first use.
    static CaptureHistory& shared();

    // A store over `folder`: creates it (0700) and starts reading "history.json" on a worker,
    // where records are checked, files made private and old captures pruned.
    explicit CaptureHistory(const QString& folder, QObject* parent = nullptr);
    ~CaptureHistory() override;

    // The records, newest first. Waits for the list to be read if it is still being read.
    const std::vector<HistoryItem>& items();
    bool isLoaded() const { return m_loaded; }
    QString folder() const { return m_folder; }
    QUrl folderURL() const { return QUrl::fromLocalFile(m_folder); }
    // The record's file, complete: waits for its picture if that is still being written. Empty
    // for a name the history never gives (it would lead outside the folder).
    QString filePath(const HistoryItem& item);

    // Records a still picture (kept as PNG whatever the image format setting). The record is
    // listed at once; its file follows within milliseconds, and the list file after that. None
    // when the folder cannot be written. Should the write fail after all, the record is taken
    // out again. Each kind of failure (a full disk, a read-only folder) is told once per run,
    // in a toast and a log line.
    std::optional<HistoryItem> add(const QImage& image, CaptureKind kind);
    // Copies a recording or GIF in; width and height are truncated to whole pixels.
    std::optional<HistoryItem> addFile(const QUrl& url, CaptureKind kind, double width, double height);
    // Writes a new picture over a listed record's file and updates its size.
    void replaceImage(const HistoryItem& item, const QImage& image);
    // Forgets the listed record with this id and deletes its file; nothing else is touched.
    void remove(const HistoryItem& item);
    void clear();
    // Drops records older than `historyDays` (with their files) and records whose file is gone.
    void prune();
    // Asks for "history.json" to be written; writes asked for in one turn of the event loop
    // become one, on a worker.
    void save();

    // Blocks until the list is read, every picture handed to `add` is on disk and the list file
    // names them (tests, and before quitting).
    void waitForPendingWrites();

Q_SIGNALS:
    void itemsChanged();

private:
    // What the worker found in the folder at start-up.
    struct LoadedHistory
    {
        std::vector<HistoryItem> items; // checked, pruned, newest first
        std::optional<QByteArray> unreadOriginal;
        QStringList logLines;
        bool rewrite = false; // the list file differs from `items`
    };
    struct ListWriteResult
    {
        std::optional<Error> failure;
        QString backupPath; // where the unreadable list was kept, when it was
        std::optional<Error> backupFailure;
    };

    static LoadedHistory loadFolder(const QString& folder, const QDateTime& cutoff);
    void waitForLoad();
    void finishLoad();
    void waitForWrite(const QUuid& id);
    void writeFinished(const QUuid& id, const std::optional<Error>& failure);
    void startListWrite();
    void settleListWrite();
    void deleteFiles(const QStringList& names);
    void reportStorageProblem(const Error& error);
    QString listPath() const;

    QString m_folder;
    std::vector<HistoryItem> m_items;
    bool m_loaded = false;
    // One worker, in order: the load, file deletions and list writes.
    QThreadPool m_serial;
    QFuture<LoadedHistory> m_load;
    std::map<QUuid, QFuture<std::optional<Error>>> m_pendingWrites;
    std::optional<QFuture<ListWriteResult>> m_listWrite;
    bool m_listDirty = false;
    bool m_listWriteQueued = false;
    // The list file as found, when part of it could not be read: kept as a backup before the
    // first rewrite.
    std::optional<QByteArray> m_unreadOriginal;
    // The problems told so far (their toast texts): each is told once per run.
    QSet<QString> m_storageProblemsReported;
};

} // namespace vantrel
