// SPDX-License-Identifier: GPL-3.0-or-later
// The recorder's states and steps with a fake platform recorder: what it shows, asks for,
// delivers and leaves behind.
#include "ScreenRecorder.h"

#include "CaptureHistory.h"
#include "CaptureItem.h"
#include "DesktopFakes.h"
#include "GifConversion.h"
#include "GifEncoding.h"
#include "RecordingControls.h"
#include "RecordingFrame.h"
#include "RecordingStatus.h"
#include "RecordingSurfaces.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace vantrel;
using namespace vantrel::test;

namespace {

class FakeStatus : public RecordingStatus
{
public:
    void showRecordingStatus(double seconds) override
    {
        recording = true;
        elapsed.push_back(seconds);
    }
    void showIdleStatus() override { recording = false; }
    bool recording = false;
    std::vector<double> elapsed;
};

const QString warningSymbol = QStringLiteral("exclamationmark.triangle.fill");

class ScreenRecorderTest : public ::testing::Test, public DesktopFakes
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_temporary.isValid());
        m_previousTemporary = qgetenv("TMPDIR");
        qputenv("TMPDIR", m_temporary.path().toLocal8Bit());
        m_screen = QGuiApplication::primaryScreen();
        ASSERT_NE(m_screen, nullptr);
        CaptureHistory::shared().clear();
        settings.setAfterCopy(false);
        settings.setAfterSave(false);
        settings.setAfterShowOverlay(true);
        QObject::connect(&recorder, &ScreenRecorder::ended, &recorder, [this] { ++m_ended; });
    }

    void TearDown() override
    {
        recorder.stop(true);
        QObject::disconnect(&recorder, &ScreenRecorder::ended, nullptr, nullptr);
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<QMessageBox*>(widget))
                widget->close();
        }
        EXPECT_TRUE(QTest::qWaitFor([] { return openRecorderWindows() == 0; }, 2000));
        qputenv("TMPDIR", m_previousTemporary);
    }

    // The recorder's bars and frames still on screen or not yet deleted.
    static int openRecorderWindows()
    {
        int count = 0;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<RecordingControls*>(widget) || qobject_cast<RecordingFrame*>(widget))
                ++count;
        }
        return count;
    }

    bool waitForRecording()
    {
        // The countdown is three seconds of the real clock.
        return QTest::qWaitFor([&] { return recorder.isRecording(); }, 6000);
    }

    bool startRecording(const QRectF& area, bool gif = false)
    {
        recorder.start(m_screen, area, gif);
        return waitForRecording();
    }

    bool waitForEnd(int count = 1)
    {
        return QTest::qWaitFor([&] { return m_ended >= count; }, 5000);
    }

    std::shared_ptr<FakeRecordingSession> session() const { return platform.lastSession.lock(); }

    bool toastShown(const QString& text) const
    {
        return std::any_of(
            toasts.requests.begin(), toasts.requests.end(), [&](const ToastRequest& r) { return r.text == text; });
    }

    // Files and folders the recorder left in the temporary folder.
    QStringList leftovers() const
    {
        return QDir(m_temporary.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }

    FakeScreenRecording platform;
    ScopedService<ScreenRecording> platformSlot {&platform};
    RecordingSurfaces surfaces;
    ScopedService<CaptureSurfaces> surfacesSlot {&surfaces};
    FakeStatus status;
    ScopedService<RecordingStatus> statusSlot {&status};
    LogCapture log;
    ScreenRecorder& recorder = ScreenRecorder::shared();
    QScreen* m_screen = nullptr;
    QTemporaryDir m_temporary;
    QByteArray m_previousTemporary;
    int m_ended = 0;
};

} // namespace

TEST_F(ScreenRecorderTest, CountsDownRecordsAndDeliversTheMovieToTheHistoryAndAThumbnail)
{
    settings.setRecordSystemAudio(true);
    const QRectF area(100, 80, 301, 201);
    recorder.start(m_screen, area, false);

    // The countdown: frame and bar are up, the bar says so, nothing records yet.
    ASSERT_NE(recorder.frameWindow(), nullptr);
    ASSERT_NE(recorder.controls(), nullptr);
    EXPECT_TRUE(recorder.frameWindow()->isVisible());
    EXPECT_EQ(recorder.frameWindow()->geometry(), QRect(97, 77, 307, 207));
    EXPECT_TRUE(recorder.controls()->isVisible());
    EXPECT_EQ(recorder.controls()->labelText(), QStringLiteral("Starting…"));
    EXPECT_EQ(recorder.phase(), ScreenRecorder::Phase::countdown);
    EXPECT_TRUE(platform.requests.empty());
    ASSERT_FALSE(toasts.requests.empty());
    EXPECT_EQ(toasts.requests.back().text, QStringLiteral("3"));

    ASSERT_TRUE(waitForRecording());
    ASSERT_EQ(platform.requests.size(), 1u);
    const RecordingRequest& request = platform.requests.front();
    EXPECT_EQ(request.area, area);
    EXPECT_EQ(request.pixelSize, QSize(300, 200));
    EXPECT_EQ(request.framesPerSecond, 60);
    EXPECT_TRUE(request.systemAudio);
    EXPECT_FALSE(request.microphone);
    EXPECT_TRUE(request.showCursor);
    EXPECT_TRUE(request.showClicks);
    const QFileInfo output(request.outputPath);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Vantrel-[0-9A-F-]{36}\\.mp4$")).match(output.fileName()).hasMatch())
        << output.fileName().toStdString();
    EXPECT_EQ(QFileInfo(output.path()).dir().path(), m_temporary.path());
    const auto everyone = QFileDevice::Permissions(0x7077); // owner, group and others
    EXPECT_EQ(QFileInfo(output.path()).permissions() & everyone,
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner)
        << "a recording's folder is private";

    // The clock, in the tray and on the bar, refreshed twice a second.
    EXPECT_TRUE(status.recording);
    ASSERT_FALSE(status.elapsed.empty());
    EXPECT_EQ(status.elapsed.front(), 0.0);
    EXPECT_EQ(recorder.controls()->labelText(), QStringLiteral("\u25CF REC  0:00"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return status.elapsed.back() >= 1.0; }, 3000));
    EXPECT_EQ(recorder.controls()->labelText(), QStringLiteral("\u25CF REC  0:01"));
    EXPECT_NEAR(status.elapsed[1], 0.5, 0.2);

    QTest::mouseClick(recorder.controls()->stopButton(), Qt::LeftButton);
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_FALSE(status.recording);
    ASSERT_TRUE(waitForEnd());
    EXPECT_TRUE(QTest::qWaitFor([] { return openRecorderWindows() == 0; }, 2000));

    const auto& records = CaptureHistory::shared().items();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records.front().kind, CaptureKind::recording);
    EXPECT_EQ(records.front().width, 300);
    EXPECT_EQ(records.front().height, 200);
    ASSERT_EQ(surfaces.thumbnails.size(), 1u);
    const auto& item = surfaces.thumbnails.front();
    EXPECT_EQ(item->kind, CaptureKind::recording);
    ASSERT_TRUE(item->fileURL);
    EXPECT_EQ(item->fileURL->toLocalFile(), CaptureHistory::shared().filePath(records.front()));
    EXPECT_TRUE(QFile::exists(item->fileURL->toLocalFile()));
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(QLatin1Char(' ')).toStdString();
}

TEST_F(ScreenRecorderTest, DiscardAndAStopDuringTheCountdownLeaveNothingBehind)
{
    // Discard while recording.
    ASSERT_TRUE(startRecording(QRectF(0, 0, 200, 100)));
    QTest::mouseClick(recorder.controls()->discardButton(), Qt::LeftButton);
    ASSERT_TRUE(waitForEnd());
    EXPECT_FALSE(status.recording);
    EXPECT_TRUE(QTest::qWaitFor([] { return openRecorderWindows() == 0; }, 2000));
    EXPECT_TRUE(CaptureHistory::shared().items().empty());
    EXPECT_TRUE(surfaces.thumbnails.empty());
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(QLatin1Char(' ')).toStdString();

    // Stop one second into the countdown: the countdown ends and no recording ever starts.
    recorder.start(m_screen, QRectF(0, 0, 200, 100), false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return toasts.requests.back().text == QStringLiteral("2"); }, 3000));
    const int dismissals = toasts.dismissals;
    recorder.stop();
    EXPECT_EQ(recorder.phase(), ScreenRecorder::Phase::idle);
    EXPECT_GT(toasts.dismissals, dismissals) << "the countdown digit stays up";
    EXPECT_TRUE(QTest::qWaitFor([] { return openRecorderWindows() == 0; }, 2000));
    EXPECT_FALSE(QTest::qWaitFor([&] { return platform.requests.size() > 1 || recorder.isRecording(); }, 3000));
    EXPECT_TRUE(leftovers().isEmpty());
    EXPECT_TRUE(CaptureHistory::shared().items().empty());
}

TEST_F(ScreenRecorderTest, TheBarMovesWhereItIsDraggedByItsBackground)
{
    recorder.start(m_screen, QRectF(100, 100, 300, 200), false);
    RecordingControls* bar = recorder.controls();
    ASSERT_NE(bar, nullptr);
    bar->show();
    const QPoint start = bar->pos();
    // The plate's left inset, beside the Stop button.
    const QPoint grab(5, bar->height() / 2);
    auto send = [&](QEvent::Type type, const QPoint& local, Qt::MouseButtons buttons) {
        QMouseEvent event(type, QPointF(local), QPointF(bar->mapToGlobal(local)),
            type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(bar, &event);
    };
    send(QEvent::MouseButtonPress, grab, Qt::LeftButton);
    send(QEvent::MouseMove, grab + QPoint(40, -30), Qt::LeftButton);
    EXPECT_EQ(bar->pos(), start + QPoint(40, -30));
    send(QEvent::MouseButtonRelease, grab, Qt::NoButton);
    send(QEvent::MouseMove, grab + QPoint(80, 80), Qt::NoButton);
    EXPECT_EQ(bar->pos(), start + QPoint(40, -30)) << "follows the pointer only while held";
    recorder.stop();
}

TEST_F(ScreenRecorderTest, AWholeScreenHasNoFrameAndItsBarTwentyPointsAboveTheBottom)
{
    recorder.start(m_screen, QRectF(QPointF(0, 0), m_screen->size()), false);
    EXPECT_EQ(recorder.frameWindow(), nullptr);
    ASSERT_NE(recorder.controls(), nullptr);
    const QRect bar = recorder.controls()->geometry();
    const QRect visible = m_screen->availableGeometry();
    EXPECT_EQ(bar.height(), 36);
    EXPECT_EQ(bar.y() + bar.height(), visible.y() + visible.height() - 20);
    EXPECT_LE(std::abs(bar.center().x() - visible.center().x()), 1);
}

// A movie that cannot be turned into a GIF (the fake recorder's file is no movie) is kept and
// delivered as a video, with the failure toast and the reason in the log.
TEST_F(ScreenRecorderTest, AGifRecordingIsSilentAndKeptAsAVideoWhenItCannotBeConverted)
{
    FfmpegGifEncoding encoder;
    ScopedService<GifEncoding> encoderSlot {&encoder};
    settings.setRecordSystemAudio(true);
    settings.setRecordMicrophone(true);
    ASSERT_TRUE(startRecording(QRectF(10, 10, 320, 240), true));
    ASSERT_EQ(platform.requests.size(), 1u);
    EXPECT_FALSE(platform.requests.front().systemAudio);
    EXPECT_FALSE(platform.requests.front().microphone);
    recorder.stop();
    ASSERT_TRUE(waitForEnd());
    const auto converting = std::find_if(toasts.requests.begin(), toasts.requests.end(),
        [](const ToastRequest& r) { return r.text == QStringLiteral("Converting to GIF…"); });
    ASSERT_NE(converting, toasts.requests.end());
    EXPECT_EQ(converting->symbol, QStringLiteral("hourglass"));
    EXPECT_EQ(toasts.requests.back().text, QStringLiteral("GIF conversion failed — kept the video"));
    EXPECT_EQ(toasts.requests.back().symbol, warningSymbol);
    EXPECT_DOUBLE_EQ(toasts.requests.back().duration, 1.6);
    EXPECT_TRUE(std::any_of(log.lines().begin(), log.lines().end(), [](const QString& line) {
        return line.startsWith(QStringLiteral("Vantrel: GIF conversion failed: "));
    })) << log.lines().join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(CaptureHistory::shared().items().size(), 1u);
    const HistoryItem record = CaptureHistory::shared().items().front();
    EXPECT_EQ(record.kind, CaptureKind::recording);
    EXPECT_TRUE(record.fileName.endsWith(QStringLiteral(".mp4")));
    QFile kept(CaptureHistory::shared().filePath(record));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("fake movie"));
    ASSERT_EQ(surfaces.thumbnails.size(), 1u);
    EXPECT_EQ(surfaces.thumbnails.front()->kind, CaptureKind::recording);
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(QLatin1Char(' ')).toStdString();
}

// Answers every conversion with a small file where the GIF goes, one event-loop turn later.
class FakeGifEncoding : public GifEncoding
{
public:
    void convert(const GifRequest& request, Completion completion) override
    {
        requests.push_back(request);
        QTimer::singleShot(0, [request, completion = std::move(completion)] {
            QFile file(request.gifPath);
            if (!file.open(QIODevice::WriteOnly) || file.write("GIF89a") != 6) {
                completion(Error {.description = QStringLiteral("cannot write")});
                return;
            }
            file.close();
            GifResult result;
            result.path = request.gifPath;
            result.size = QSize(100, 75);
            result.frames = 3;
            completion(result);
        });
    }
    std::vector<GifRequest> requests;
};

// A converted GIF replaces the movie: beside it with the same name until the history takes it,
// at the settings' rate and width, recorded with the recording's pixel size.
TEST_F(ScreenRecorderTest, AConvertedGifReplacesTheMovieInTheHistory)
{
    FakeGifEncoding encoder;
    ScopedService<GifEncoding> encoderSlot {&encoder};
    settings.setGifFPS(12);
    settings.setGifMaxWidth(200);
    ASSERT_TRUE(startRecording(QRectF(10, 10, 320, 240), true));
    const QString moviePath = platform.requests.front().outputPath;
    recorder.stop();
    ASSERT_TRUE(waitForEnd());

    ASSERT_EQ(encoder.requests.size(), 1u);
    const GifRequest& request = encoder.requests.front();
    EXPECT_EQ(request.moviePath, moviePath);
    EXPECT_EQ(QFileInfo(request.gifPath).dir(), QFileInfo(moviePath).dir());
    EXPECT_EQ(QFileInfo(request.gifPath).fileName(), QFileInfo(moviePath).completeBaseName() + QStringLiteral(".gif"));
    EXPECT_EQ(request.framesPerSecond, 12);
    EXPECT_EQ(request.maxWidth, 200);
    EXPECT_FALSE(QFile::exists(moviePath)) << "the movie goes once the GIF is there";

    ASSERT_FALSE(toasts.requests.empty());
    EXPECT_EQ(toasts.requests.back().text, QStringLiteral("GIF ready"));
    EXPECT_EQ(toasts.requests.back().symbol, QStringLiteral("checkmark.circle.fill"));
    EXPECT_DOUBLE_EQ(toasts.requests.back().duration, 1.6);
    ASSERT_EQ(CaptureHistory::shared().items().size(), 1u);
    const HistoryItem record = CaptureHistory::shared().items().front();
    EXPECT_EQ(record.kind, CaptureKind::gif);
    EXPECT_TRUE(record.fileName.endsWith(QStringLiteral(".gif")));
    EXPECT_EQ(record.width, 320) << "the recording's size, not the GIF's";
    EXPECT_EQ(record.height, 240);
    ASSERT_EQ(surfaces.thumbnails.size(), 1u);
    EXPECT_EQ(surfaces.thumbnails.front()->kind, CaptureKind::gif);
    ASSERT_TRUE(surfaces.thumbnails.front()->fileURL);
    EXPECT_EQ(surfaces.thumbnails.front()->fileURL->toLocalFile(), CaptureHistory::shared().filePath(record));
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(QLatin1Char(' ')).toStdString();
}

// Values the settings would never hold (another caller, a hand-edited file) are brought to the
// nearest sane one and logged; without an encoder the answer is "failed", never a crash.
TEST_F(ScreenRecorderTest, GifRatesAndWidthsOutOfRangeAreClampedAndAMissingEncoderFails)
{
    const QUrl movie = QUrl::fromLocalFile(m_temporary.filePath(QStringLiteral("Vantrel-x.mp4")));
    {
        std::optional<std::optional<QUrl>> answer;
        convertToGIF(movie, 15, 960, [&](std::optional<QUrl> gif) { answer = gif; });
        EXPECT_FALSE(answer) << "asynchronous, like a conversion that ran";
        ASSERT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 2000));
        EXPECT_FALSE(*answer);
    }
    FakeGifEncoding encoder;
    ScopedService<GifEncoding> encoderSlot {&encoder};
    struct Case
    {
        int fps, maxWidth, keptFps, keptWidth;
    };
    for (const Case& c :
        {Case {0, 0, 1, 16}, Case {-5, -1, 1, 16}, Case {500, 100000, 50, 7680}, Case {10, 800, 10, 800}}) {
        std::optional<std::optional<QUrl>> answer;
        convertToGIF(movie, c.fps, c.maxWidth, [&](std::optional<QUrl> gif) { answer = gif; });
        ASSERT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 2000));
        ASSERT_TRUE(*answer);
        EXPECT_EQ(**answer, QUrl::fromLocalFile(m_temporary.filePath(QStringLiteral("Vantrel-x.gif"))));
        EXPECT_EQ(encoder.requests.back().framesPerSecond, c.keptFps) << c.fps;
        EXPECT_EQ(encoder.requests.back().maxWidth, c.keptWidth) << c.maxWidth;
    }
    EXPECT_EQ(log.lines().filter(QStringLiteral("outside")).size(), 6)
        << log.lines().join(QLatin1Char('\n')).toStdString();
}

TEST_F(ScreenRecorderTest, FailedWritingStopsWithTheToastAndDeliversNothing)
{
    const Error full {.domain = QString::fromLatin1(recordingFileErrorDomain),
        .description = QStringLiteral("No space left on device")};
    enum class When {
        atStart,
        whileRecording,
        whileFinishing,
        noTemporaryFolder
    };
    for (const When when : {When::atStart, When::whileRecording, When::whileFinishing, When::noTemporaryFolder}) {
        SCOPED_TRACE(int(when));
        toasts.requests.clear();
        const int ended = m_ended;
        // The test's private home is outside the temporary folder being watched.
        const QString notAFolder = QDir::home().filePath(QStringLiteral("not-a-folder"));
        platform.startFailure = when == When::atStart ? std::optional<Error>(full) : std::nullopt;
        if (when == When::noTemporaryFolder) {
            QFile file(notAFolder);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            qputenv("TMPDIR", notAFolder.toLocal8Bit());
        }

        recorder.start(m_screen, QRectF(0, 0, 200, 100), false);
        if (when == When::whileRecording || when == When::whileFinishing) {
            ASSERT_TRUE(waitForRecording());
            if (when == When::whileRecording) {
                session()->end(RecordingEnd::failed, full);
            } else {
                session()->finishFailure = full;
                recorder.stop();
            }
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_ended > ended; }, 6000));
        qputenv("TMPDIR", m_temporary.path().toLocal8Bit());

        ASSERT_FALSE(toasts.requests.empty());
        const ToastRequest& toast = toasts.requests.back();
        EXPECT_TRUE(toast.text.startsWith(QStringLiteral("Recording stopped: "))) << toast.text.toStdString();
        EXPECT_EQ(toast.symbol, warningSymbol);
        EXPECT_EQ(toast.duration, 3.0);
        if (when != When::noTemporaryFolder) {
            EXPECT_EQ(toast.text, QStringLiteral("Recording stopped: No space left on device"));
        }
        EXPECT_FALSE(recorder.isRecording());
        EXPECT_FALSE(status.recording);
        EXPECT_TRUE(QTest::qWaitFor([] { return openRecorderWindows() == 0; }, 2000));
        EXPECT_TRUE(CaptureHistory::shared().items().empty());
        EXPECT_TRUE(surfaces.thumbnails.empty());
        EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(QLatin1Char(' ')).toStdString();
    }
}

TEST_F(ScreenRecorderTest, OtherStartFailuresShowTheAlert)
{
    platform.startFailure
        = Error {.domain = QStringLiteral("X11"), .description = QStringLiteral("Could not connect to the X server")};
    recorder.start(m_screen, QRectF(0, 0, 200, 100), false);
    QMessageBox* alert = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
                    alert = box;
            }
            return alert != nullptr;
        },
        6000));
    EXPECT_EQ(alert->text(), QStringLiteral("Could not start recording"));
    EXPECT_EQ(alert->informativeText(), QStringLiteral("Could not connect to the X server"));
    EXPECT_EQ(recorder.phase(), ScreenRecorder::Phase::idle);
    EXPECT_TRUE(QTest::qWaitFor([] { return openRecorderWindows() == 0; }, 2000));
    EXPECT_TRUE(leftovers().isEmpty());
}

TEST_F(ScreenRecorderTest, AScreenThatGoesAwayEndsTheRecordingAndKeepsWhatWasRecorded)
{
    ASSERT_TRUE(startRecording(QRectF(0, 0, 200, 100)));
    session()->end(
        RecordingEnd::sourceLost, Error {.description = QStringLiteral("The recorded screen can no longer be read")});
    ASSERT_TRUE(waitForEnd());
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_EQ(CaptureHistory::shared().items().size(), 1u);
    EXPECT_EQ(surfaces.thumbnails.size(), 1u);
}

TEST_F(ScreenRecorderTest, FrameRatesOutOfRangeInTheSettingsFileAreClampedAndLogged)
{
    const std::pair<int, int> cases[] = {{0, 1}, {1000, 120}};
    for (const auto& [stored, used] : cases) {
        // As the settings file has it when Vantrel starts.
        preferences.setValue(QStringLiteral("recordFPS"), qint64(stored));
        Settings loaded(preferences);
        ScopedService<Settings> loadedSlot(&loaded);
        EXPECT_EQ(log.lines().filter(QStringLiteral("recordFPS of %1 ").arg(stored)).size(), 1)
            << log.lines().join(QLatin1Char('\n')).toStdString();
        ASSERT_TRUE(startRecording(QRectF(0, 0, 200, 100)));
        EXPECT_EQ(platform.requests.back().framesPerSecond, used);
        recorder.stop(true);
    }
}

TEST_F(ScreenRecorderTest, ANewerStartReplacesOneCountingDownAndAnAreaBeyondTheScreenIsCut)
{
    recorder.start(m_screen, QRectF(0, 0, 200, 100), false);
    const QSizeF screen = m_screen->size();
    recorder.start(m_screen, QRectF(screen.width() - 100, 50, 300, 80), false);
    EXPECT_TRUE(log.lines().contains(
        QStringLiteral("Vantrel: the recording area reaches beyond the screen; recording the part on it")));
    ASSERT_TRUE(QTest::qWaitFor(
        [] {
            int bars = 0;
            for (QWidget* widget : QApplication::topLevelWidgets())
                bars += qobject_cast<RecordingControls*>(widget) ? 1 : 0;
            return bars == 1;
        },
        2000))
        << "the first bar stays";
    ASSERT_TRUE(waitForRecording());
    ASSERT_EQ(platform.requests.size(), 1u);
    EXPECT_EQ(platform.requests.front().area, QRectF(screen.width() - 100, 50, 100, 80));
}

TEST_F(ScreenRecorderTest, RetinaResolutionFollowsTheSetting)
{
    const double scale = m_screen->devicePixelRatio();
    ASSERT_TRUE(scale == 1.0 || scale == 2.0);
    struct Case
    {
        bool retina;
        QSize atScale1;
        QSize atScale2;
    };
    for (const Case c : {Case {true, {300, 200}, {602, 402}}, Case {false, {300, 200}, {300, 200}}}) {
        settings.setRecordRetina(c.retina);
        ASSERT_TRUE(startRecording(QRectF(20, 20, 301, 201)));
        EXPECT_EQ(platform.requests.back().pixelSize, scale == 2.0 ? c.atScale2 : c.atScale1) << c.retina;
        recorder.stop(true);
    }
}

TEST_F(ScreenRecorderTest, QuittingWhileRecordingKeepsTheMovieInTheHistory)
{
    ASSERT_TRUE(startRecording(QRectF(0, 0, 200, 100)));
    recorder.finishBeforeQuit();
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_EQ(recorder.finishing(), 0);
    ASSERT_EQ(CaptureHistory::shared().items().size(), 1u);
    EXPECT_TRUE(QFile::exists(CaptureHistory::shared().filePath(CaptureHistory::shared().items().front())));
    EXPECT_TRUE(surfaces.thumbnails.empty()) << "no thumbnail while quitting";
}

// Holds every conversion's answer until the test gives it.
class HeldGifEncoding : public GifEncoding
{
public:
    void convert(const GifRequest& request, Completion completion) override
    {
        requests.push_back(request);
        completions.push_back(std::move(completion));
    }
    std::vector<GifRequest> requests;
    std::vector<Completion> completions;
};

// A quit does not wait for a GIF: the movie goes into the history as a video at once, and a
// conversion that answers afterwards changes nothing.
TEST_F(ScreenRecorderTest, QuittingWhileAGifIsConvertingKeepsTheMovie)
{
    HeldGifEncoding encoder;
    ScopedService<GifEncoding> encoderSlot {&encoder};
    ASSERT_TRUE(startRecording(QRectF(0, 0, 200, 100), true));
    recorder.stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !encoder.requests.empty(); }, 5000));
    EXPECT_EQ(recorder.finishing(), 1);

    recorder.finishBeforeQuit();
    EXPECT_EQ(recorder.finishing(), 0);
    ASSERT_EQ(CaptureHistory::shared().items().size(), 1u);
    const HistoryItem record = CaptureHistory::shared().items().front();
    EXPECT_EQ(record.kind, CaptureKind::recording);
    QFile kept(CaptureHistory::shared().filePath(record));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("fake movie"));
    EXPECT_TRUE(surfaces.thumbnails.empty()) << "no thumbnail while quitting";

    // The conversion finishing late (it had written its GIF) is ignored.
    QFile gif(encoder.requests.front().gifPath);
    GifResult late;
    late.path = gif.fileName();
    encoder.completions.front()(late);
    EXPECT_EQ(CaptureHistory::shared().items().size(), 1u);
    EXPECT_EQ(m_ended, 1);
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(QLatin1Char(' ')).toStdString();
}
