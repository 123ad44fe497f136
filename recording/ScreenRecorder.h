// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CaptureKind.h"
#include "RecordingControls.h"
#include "RecordingFrame.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QSize>
#include <QTimer>
#include <QUrl>

#include <memory>
#include <vector>

class QScreen;

namespace vantrel {

class RecordingSession;
struct Error;
struct RecordingResult;

// Records an area of a screen (or all of it) into an MPEG-4 movie and hands the finished file to
// the after-capture steps like any capture. One process-wide instance; main thread only.
//
// idle → start → countdown (bar says "Starting…") → starting (the platform prepares) → recording
// (`isRecording`, the clock runs) → stop → the file is finalised in the background and delivered
// → idle. Stop, Discard or a newer start before the recording runs return to idle and leave
// nothing behind.
class ScreenRecorder : public QObject
{
    Q_OBJECT
public:
    enum class Phase {
        idle,
        countdown,
        starting,
        recording,
    };

    static ScreenRecorder& shared();

    bool isRecording() const { return m_phase == Phase::recording; }
    Phase phase() const { return m_phase; }

    // `area` in points relative to the screen's top-left corner; `gif` converts the finished movie.
    void start(QScreen* screen, const QRectF& area, bool gif);
    // Ends the recording; with `discard` the movie is deleted, otherwise delivered.
    void stop(bool discard = false);
    // Quitting: a running recording is finished and kept in the history (no thumbnail, no
    // editor), waiting at most `timeoutMs` for the file.
    void finishBeforeQuit(int timeoutMs = 10000);
    void stopAction() { stop(false); }
    void cancelAction() { stop(true); }

    RecordingControls* controls() const { return m_controls; }
    QWidget* frameWindow() const;
    QSize pixelSize() const { return m_pixelSize; }
    // Movies being finalised or delivered right now.
    int finishing() const { return m_finishing; }

Q_SIGNALS:
    // A recording's file work is over: delivered, discarded or failed.
    void ended();

private:
    ScreenRecorder();
    void beginCapture(quint64 generation);
    void captureStarted(quint64 generation, std::shared_ptr<RecordingSession> session);
    void failedToStart(const Error& error);
    void recordingFailed(const Error& error);
    void finished(const QString& temporaryFolder, CaptureKind kind, QSize pixelSize, const RecordingResult& result);
    void deliver(const QUrl& file, CaptureKind kind, QSize pixelSize, const QString& temporaryFolder);
    void tick();
    void tearDown();
    void screenRemoved(QScreen* screen);

    Phase m_phase = Phase::idle;
    // Each start gets a number; answers that arrive for an older one are dropped.
    quint64 m_generation = 0;
    QPointer<QScreen> m_screen;
    QRectF m_area;
    bool m_asGIF = false;
    QSize m_pixelSize;
    QString m_temporaryFolder; // private folder of the movie being written
    std::shared_ptr<RecordingSession> m_session;
    QElapsedTimer m_startDate;
    QTimer m_timer;
    QPointer<RecordingFrame> m_frameWindow;
    QPointer<RecordingControls> m_controls;
    int m_finishing = 0;
    bool m_quitting = false;
    // Movies being turned into GIFs. A quit does not wait for them: their movies are delivered
    // as they are, and a conversion that answers later finds itself settled.
    struct PendingGif
    {
        QUrl movie;
        QSize pixelSize;
        QString temporaryFolder;
        std::shared_ptr<bool> settled;
    };
    std::vector<PendingGif> m_converting;
};

} // namespace vantrel
