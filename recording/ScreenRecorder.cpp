// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScreenRecorder.h"

#include "CaptureCoordinator.h"
#include "CaptureHistory.h"
#include "CaptureItem.h"
#include "GifConversion.h"
#include "KeystrokeOverlay.h"
#include "PrivateFiles.h"
#include "RecordingControls.h"
#include "RecordingFrame.h"
#include "RecordingGeometry.h"
#include "RecordingStatus.h"
#include "ScreenRecording.h"
#include "Service.h"
#include "Settings.h"
#include "SystemLog.h"
#include "Toasts.h"
#include "WebcamBubble.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QUuid>

namespace vantrel {

namespace {

constexpr int countdownSeconds = 3;
constexpr int refreshMs = 500;
const QString warningSymbol = QStringLiteral("exclamationmark.triangle.fill");

void removeFolder(const QString& folder)
{
    if (!folder.isEmpty())
        QDir(folder).removeRecursively();
}

void showRecordingStatus(double seconds)
{
    if (RecordingStatus* status = Service<RecordingStatus>::find())
        status->showRecordingStatus(seconds);
}

void showIdleStatus()
{
    if (RecordingStatus* status = Service<RecordingStatus>::find())
        status->showIdleStatus();
}

} // namespace

ScreenRecorder& ScreenRecorder::shared()
{
    static ScreenRecorder* instance = new ScreenRecorder;
    return *instance;
}

ScreenRecorder::ScreenRecorder()
{
    m_timer.setInterval(refreshMs);
    connect(&m_timer, &QTimer::timeout, this, &ScreenRecorder::tick);
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        connect(app, &QGuiApplication::screenRemoved, this, &ScreenRecorder::screenRemoved);
}

QWidget* ScreenRecorder::frameWindow() const
{
    return m_frameWindow;
}

void ScreenRecorder::start(QScreen* screen, const QRectF& area, bool gif)
{
    if (isRecording() || !screen)
        return;
    const QRectF onScreen = recordinggeometry::clampedArea(area, screen->size());
    if (onScreen.width() < 1 || onScreen.height() < 1) {
        systemLog(QStringLiteral("Vantrel: the recording area lies outside the screen"));
        return;
    }
    if (onScreen != area.normalized())
        systemLog(QStringLiteral("Vantrel: the recording area reaches beyond the screen; recording the part on it"));

    // A newer start replaces one still counting down, windows and all.
    if (m_phase != Phase::idle)
        stop(true);
    const quint64 generation = ++m_generation;
    m_screen = screen;
    m_area = onScreen;
    m_asGIF = gif;

    if (!recordinggeometry::isWholeScreen(onScreen.size(), screen->size())) {
        m_frameWindow = new RecordingFrame(screen, onScreen);
        m_frameWindow->show();
    }
    const Settings& settings = Settings::shared();
    if (settings.recordCamera() && !WebcamBubble::shared().isShowing())
        WebcamBubble::shared().show(screen, onScreen);
    if (settings.recordKeystrokes())
        KeystrokeOverlay::shared().start(screen, onScreen);
    m_controls = new RecordingControls(
        screen, onScreen, [this] { stopAction(); }, [this] { cancelAction(); });
    m_controls->show();

    m_phase = Phase::countdown;
    CaptureCoordinator& coordinator = CaptureCoordinator::shared();
    coordinator.cancelCountdown();
    coordinator.startCountdown(countdownSeconds, [this, generation](bool fired) {
        if (generation != m_generation)
            return;
        if (!fired) {
            // Another countdown took over: nothing is recorded and nothing stays on screen.
            ++m_generation;
            tearDown();
            return;
        }
        beginCapture(generation);
    });
}

void ScreenRecorder::beginCapture(quint64 generation)
{
    m_phase = Phase::starting;
    ScreenRecording* recording = Service<ScreenRecording>::find();
    if (!m_screen || !recording) {
        failedToStart(Error {.description = tr("The screen cannot be recorded")});
        return;
    }
    const std::optional<QString> folder = files::makePrivateTemporaryDirectory();
    if (!folder) {
        recordingFailed(Error {.domain = QString::fromLatin1(recordingFileErrorDomain),
            .description = tr("Could not create a private folder in %1").arg(QDir::tempPath())});
        return;
    }
    m_temporaryFolder = *folder;

    const Settings& settings = Settings::shared();
    // The settings keep the rate within what the recorder can do.
    const int fps = settings.recordFPS();
    const double scale = settings.recordRetina() ? m_screen->devicePixelRatio() : 1.0;
    m_pixelSize = recordinggeometry::pixelSize(m_area.size(), scale);
    if (m_pixelSize.width() < 2 || m_pixelSize.height() < 2) {
        failedToStart(Error {.description = tr("The area is too small to record")});
        return;
    }

    RecordingRequest request;
    request.screen = m_screen;
    request.area = m_area;
    request.pixelSize = m_pixelSize;
    request.framesPerSecond = fps;
    request.showCursor = settings.recordShowCursor();
    request.showClicks = settings.recordShowClicks();
    // GIFs are silent, whatever the sound settings say.
    request.systemAudio = settings.recordSystemAudio() && !m_asGIF;
    request.microphone = settings.recordMicrophone() && !m_asGIF;
    request.outputPath = *folder + QStringLiteral("/Vantrel-")
        + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + QStringLiteral(".mp4");

    QPointer<ScreenRecorder> self(this);
    const QString ownFolder = *folder;
    recording->start(request, [self, generation, ownFolder](Expected<std::shared_ptr<RecordingSession>> session) {
        if (!self || generation != self->m_generation || self->m_phase != Phase::starting) {
            // Stopped while the platform prepared: the session goes, and its file with it.
            session = Error {};
            removeFolder(ownFolder);
            return;
        }
        if (!session) {
            if (session.error().domain == QLatin1String(recordingFileErrorDomain))
                self->recordingFailed(session.error());
            else
                self->failedToStart(session.error());
            return;
        }
        self->captureStarted(generation, session.value());
    });
}

void ScreenRecorder::captureStarted(quint64 generation, std::shared_ptr<RecordingSession> session)
{
    m_session = std::move(session);
    QPointer<ScreenRecorder> self(this);
    m_session->setEndHandler([self, generation](RecordingEnd how, const Error& error) {
        if (!self || generation != self->m_generation || !self->m_session)
            return;
        if (how == RecordingEnd::failed) {
            self->recordingFailed(error);
            return;
        }
        // What was recorded until the screen went away is kept.
        systemLog(QStringLiteral("Vantrel: the recorded screen went away (%1); the recording was stopped")
                      .arg(error.description));
        self->stop(false);
    });
    m_phase = Phase::recording;
    m_startDate.start();
    showRecordingStatus(0);
    if (m_controls)
        m_controls->setElapsed(0);
    m_timer.start();
}

void ScreenRecorder::tick()
{
    const double elapsed = m_startDate.elapsed() / 1000.0;
    showRecordingStatus(elapsed);
    if (m_controls)
        m_controls->setElapsed(elapsed);
}

void ScreenRecorder::stop(bool discard)
{
    const Phase phase = m_phase;
    if (phase == Phase::recording && m_session) {
        m_timer.stop();
        std::shared_ptr<RecordingSession> session = std::move(m_session);
        m_session.reset();
        const QString folder = std::exchange(m_temporaryFolder, QString());
        if (discard) {
            // The session deletes its file when it goes.
            session.reset();
            removeFolder(folder);
            QMetaObject::invokeMethod(this, &ScreenRecorder::ended, Qt::QueuedConnection);
        } else {
            ++m_finishing;
            const CaptureKind kind = m_asGIF ? CaptureKind::gif : CaptureKind::recording;
            const QSize size = m_pixelSize;
            QPointer<ScreenRecorder> self(this);
            session->finish([self, folder, kind, size](Expected<RecordingResult> result) {
                if (!self)
                    return;
                if (!result) {
                    // A movie that could not be finished is never handed on.
                    systemLog(QStringLiteral("Vantrel recording failed: ") + result.error().description);
                    showToast({.text = tr("Recording stopped: %1").arg(result.error().description),
                        .symbol = warningSymbol,
                        .duration = 3.0});
                    removeFolder(folder);
                    --self->m_finishing;
                    Q_EMIT self->ended();
                    return;
                }
                self->finished(folder, kind, size, result.value());
            });
        }
    } else if (phase == Phase::starting) {
        // The platform's answer finds the generation changed and drops its session and folder.
        m_temporaryFolder.clear();
    }
    ++m_generation;
    if (phase == Phase::countdown)
        CaptureCoordinator::shared().cancelCountdown();
    if (phase != Phase::idle)
        tearDown();
}

void ScreenRecorder::finishBeforeQuit(int timeoutMs)
{
    m_quitting = true;
    // No time to convert while quitting: movies still turning into GIFs are kept as they are.
    for (const PendingGif& pending : std::exchange(m_converting, {})) {
        *pending.settled = true;
        deliver(pending.movie, CaptureKind::recording, pending.pixelSize, pending.temporaryFolder);
    }
    stop(false);
    QElapsedTimer waited;
    waited.start();
    QEventLoop loop;
    while (m_finishing > 0 && waited.elapsed() < timeoutMs)
        loop.processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents, 50);
    // A quit that is called off leaves the recorder as it was.
    m_quitting = m_finishing > 0;
}

void ScreenRecorder::finished(
    const QString& temporaryFolder, CaptureKind kind, QSize pixelSize, const RecordingResult& result)
{
    const QUrl movie = QUrl::fromLocalFile(result.path);
    // No time to convert while quitting: the movie is kept as it is.
    if (kind != CaptureKind::gif || m_quitting) {
        deliver(movie, CaptureKind::recording, pixelSize, temporaryFolder);
        return;
    }
    showToast({.text = tr("Converting to GIF…"), .symbol = QStringLiteral("hourglass"), .duration = 30});
    const Settings& settings = Settings::shared();
    auto settled = std::make_shared<bool>(false);
    m_converting.push_back({movie, pixelSize, temporaryFolder, settled});
    QPointer<ScreenRecorder> self(this);
    convertToGIF(movie, settings.gifFPS(), settings.gifMaxWidth(),
        [self, movie, pixelSize, temporaryFolder, settled](std::optional<QUrl> gif) {
            // Settled already: a quit delivered the movie (and took its folder, GIF and all).
            if (!self || *settled)
                return;
            *settled = true;
            std::erase_if(self->m_converting, [&](const PendingGif& pending) { return pending.settled == settled; });
            if (!gif) {
                showToast(
                    {.text = tr("GIF conversion failed — kept the video"), .symbol = warningSymbol, .duration = 1.6});
                self->deliver(movie, CaptureKind::recording, pixelSize, temporaryFolder);
                return;
            }
            QFile::remove(movie.toLocalFile());
            showToast({.text = tr("GIF ready"), .symbol = QStringLiteral("checkmark.circle.fill"), .duration = 1.6});
            self->deliver(*gif, CaptureKind::gif, pixelSize, temporaryFolder);
        });
}

void ScreenRecorder::deliver(const QUrl& file, CaptureKind kind, QSize pixelSize, const QString& temporaryFolder)
{
    auto item = CaptureItem::fromFile(file, kind);
    CaptureHistory& history = CaptureHistory::shared();
    if (const std::optional<HistoryItem> record = history.addFile(file, kind, pixelSize.width(), pixelSize.height())) {
        item->history = *record;
        item->fileURL = QUrl::fromLocalFile(history.folder() + QLatin1Char('/') + record->fileName);
        QFile::remove(file.toLocalFile());
        removeFolder(temporaryFolder);
    }
    if (!m_quitting)
        CaptureCoordinator::shared().runAfterCaptureActions(item);
    --m_finishing;
    Q_EMIT ended();
}

void ScreenRecorder::recordingFailed(const Error& error)
{
    systemLog(QStringLiteral("Vantrel recording failed: ") + error.description);
    m_timer.stop();
    m_session.reset();
    removeFolder(std::exchange(m_temporaryFolder, QString()));
    ++m_generation;
    tearDown();
    showToast({.text = tr("Recording stopped: ") + error.description, .symbol = warningSymbol, .duration = 3.0});
    Q_EMIT ended();
}

void ScreenRecorder::failedToStart(const Error& error)
{
    removeFolder(std::exchange(m_temporaryFolder, QString()));
    ++m_generation;
    tearDown();
    auto* alert = new QMessageBox(QMessageBox::Warning, QStringLiteral("Vantrel"), tr("Could not start recording"));
    alert->setInformativeText(error.description);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    // Modal to the application, without blocking the recorder's caller.
    alert->open();
}

void ScreenRecorder::tearDown()
{
    m_timer.stop();
    // The bar's own buttons may be what got us here: the windows go once their events are done.
    if (m_frameWindow) {
        m_frameWindow->hide();
        m_frameWindow->deleteLater();
    }
    if (m_controls) {
        m_controls->hide();
        m_controls->deleteLater();
    }
    m_frameWindow = nullptr;
    m_controls = nullptr;
    WebcamBubble::shared().hide();
    KeystrokeOverlay::shared().stop();
    showIdleStatus();
    m_phase = Phase::idle;
}

void ScreenRecorder::screenRemoved(QScreen* screen)
{
    if (screen != m_screen || m_phase == Phase::idle)
        return;
    if (m_phase == Phase::recording) {
        systemLog(QStringLiteral("Vantrel: the recorded screen was disconnected; the recording was stopped"));
        stop(false);
        return;
    }
    stop(true);
}

} // namespace vantrel
