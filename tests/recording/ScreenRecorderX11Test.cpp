// SPDX-License-Identifier: GPL-3.0-or-later
// The recorder end to end on a real X server with a PulseAudio server of the test's own: the
// movie delivered to the history, its picture, frame rate, length and sound.
#include "CaptureHistory.h"
#include "CaptureItem.h"
#include "DesktopFakes.h"
#include "MovieReader.h"
#include "RecordingControls.h"
#include "RecordingStatus.h"
#include "RecordingSurfaces.h"
#include "RecordingWindows.h"
#include "ScreenRecorder.h"
#include "x11/X11ScreenGrabber.h"
#include "x11/X11ScreenRecording.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <sys/resource.h>

using namespace vantrel;
using namespace vantrel::test;

namespace {

using Clock = std::chrono::steady_clock;

double secondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

// The tray as the recorder sees it; remembers when the recording began on the clock.
class TimedStatus : public RecordingStatus
{
public:
    void showRecordingStatus(double seconds) override
    {
        if (seconds == 0)
            started = Clock::now();
        recording = true;
    }
    void showIdleStatus() override { recording = false; }
    bool recording = false;
    Clock::time_point started;
};

// A 440 Hz tone for the test's silent output device, as raw samples for pacat.
QByteArray tone(double seconds)
{
    QByteArray samples(int(seconds * 48000) * int(sizeof(float)), Qt::Uninitialized);
    auto* data = reinterpret_cast<float*>(samples.data());
    for (int i = 0; i < int(seconds * 48000); ++i)
        data[i] = 0.5f * float(std::sin(2 * M_PI * 440 * double(i) / 48000));
    return samples;
}

class ScreenRecorderX11Test : public ::testing::Test, public DesktopFakes
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_temporary.isValid());
        qputenv("TMPDIR", m_temporary.path().toLocal8Bit());
        CaptureHistory::shared().clear();
        settings.setAfterCopy(false);
        settings.setAfterSave(false);
        settings.setAfterShowOverlay(true);
        settings.setRecordFPS(30);
        settings.setRecordShowCursor(false);
        settings.setRecordShowClicks(false);
        QObject::connect(&recorder, &ScreenRecorder::ended, &recorder, [this] { ++m_ended; });
        m_screen = QGuiApplication::primaryScreen();
        ASSERT_NE(m_screen, nullptr);
    }

    void TearDown() override
    {
        recorder.stop(true);
        QObject::disconnect(&recorder, &ScreenRecorder::ended, nullptr, nullptr);
        EXPECT_TRUE(QTest::qWaitFor([&] { return recorder.finishing() == 0; }, 20000));
    }

    // Starts, waits through the countdown until capture runs; the recording's start on the clock.
    std::optional<Clock::time_point> startRecording(QScreen* screen, const QRectF& area, bool gif = false)
    {
        recorder.start(screen, area, gif);
        if (!QTest::qWaitFor([&] { return recorder.isRecording(); }, 10000))
            return std::nullopt;
        return status.started;
    }

    // Stops after `seconds` of recording and waits for the delivered item.
    std::shared_ptr<CaptureItem> stopAfter(Clock::time_point started, double seconds, double* recorded = nullptr)
    {
        const bool waited = QTest::qWaitFor(
            [&] { return secondsBetween(started, Clock::now()) >= seconds; }, int(seconds * 1000) + 5000);
        EXPECT_TRUE(waited);
        const Clock::time_point stopped = Clock::now();
        recorder.stop();
        if (recorded)
            *recorded = secondsBetween(started, stopped);
        const size_t before = surfaces.thumbnails.size();
        if (!QTest::qWaitFor([&] { return surfaces.thumbnails.size() > before; }, 20000))
            return nullptr;
        return surfaces.thumbnails.back();
    }

    QStringList leftovers() const
    {
        return QDir(m_temporary.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }

    QTemporaryDir m_temporary;
    X11ScreenGrabber grabber;
    X11ScreenRecording platform {&grabber};
    ScopedService<ScreenRecording> platformSlot {&platform};
    RecordingSurfaces surfaces;
    ScopedService<CaptureSurfaces> surfacesSlot {&surfaces};
    TimedStatus status;
    ScopedService<RecordingStatus> statusSlot {&status};
    LogCapture log;
    ScreenRecorder& recorder = ScreenRecorder::shared();
    QScreen* m_screen = nullptr;
    int m_ended = 0;
};

} // namespace

TEST_F(ScreenRecorderX11Test, ThreeSecondsOfAChangingWindowWithItsSoundInTime)
{
    settings.setRecordSystemAudio(true);
    settings.setRecordMicrophone(true);
    const Clock::time_point zero = Clock::now();
    const QRect area(100, 100, 301, 201);
    ClockWindow window(area, zero);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window, 5000));

    const std::optional<Clock::time_point> started = startRecording(m_screen, area);
    ASSERT_TRUE(started) << log.lines().join(QLatin1Char('\n')).toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return secondsBetween(*started, Clock::now()) >= 0.5; }, 5000));
    QProcess player;
    player.start(QStringLiteral("pacat"),
        {QStringLiteral("--raw"), QStringLiteral("--format=float32le"), QStringLiteral("--rate=48000"),
            QStringLiteral("--channels=1"), QStringLiteral("--device=vantrel_speakers"),
            QStringLiteral("--latency-msec=20")});
    ASSERT_TRUE(player.waitForStarted(5000));
    const Clock::time_point toneWritten = Clock::now();
    player.write(tone(0.3));
    player.closeWriteChannel();
    double recorded = 0;
    const auto item = stopAfter(*started, 3.0, &recorded);
    ASSERT_TRUE(item);
    EXPECT_EQ(item->kind, CaptureKind::recording);
    ASSERT_TRUE(item->fileURL);
    ASSERT_EQ(CaptureHistory::shared().items().size(), 1u);
    EXPECT_EQ(CaptureHistory::shared().items().front().width, 300);
    EXPECT_EQ(CaptureHistory::shared().items().front().height, 200);

    const double origin = secondsBetween(zero, *started);
    int frames = 0;
    int onTime = 0;
    const Movie movie = readMovie(
        item->fileURL->toLocalFile(),
        [&](double t, const QImage& picture) {
            ++frames;
            if (auto shown = ClockWindow::read(picture, picture.rect());
                shown && *shown - origin - t > -0.1 && *shown - origin - t < 1.0 / 30 + 0.01)
                ++onTime;
        },
        true);
    ASSERT_TRUE(movie.error.isEmpty()) << movie.error.toStdString();
    EXPECT_EQ(movie.videoCodec, QStringLiteral("h264"));
    EXPECT_EQ(movie.size, QSize(300, 200));
    EXPECT_DOUBLE_EQ(movie.frameRate, 30);
    EXPECT_NEAR(movie.duration, recorded, 1.0 / 30 + mp4DurationRounding);
    // Most frames show the window as it was when they were taken (on a busy machine the window's
    // own repaints lag now and then; the platform test checks the timing closely).
    EXPECT_GE(onTime, frames * 3 / 4);
    EXPECT_TRUE(log.lines().filter(QStringLiteral("without sound")).isEmpty());

    // One AAC track, as long as the picture, with the tone where it sounded.
    ASSERT_TRUE(movie.audio);
    EXPECT_EQ(movie.audio->codec, QStringLiteral("aac"));
    EXPECT_EQ(movie.audio->sampleRate, 48000);
    EXPECT_EQ(movie.audio->channels, 2);
    EXPECT_NEAR(double(movie.audio->mono.size()) / 48000, movie.duration, 0.1);
    const auto loud = std::find_if(
        movie.audio->mono.begin(), movie.audio->mono.end(), [](float sample) { return std::abs(sample) > 0.05f; });
    ASSERT_NE(loud, movie.audio->mono.end()) << "the tone is missing";
    // The test server's silent output keeps up to two seconds queued, so the tone sounds some
    // time after it was written; never before.
    const double heard = double(loud - movie.audio->mono.begin()) / 48000;
    EXPECT_GE(heard, secondsBetween(*started, toneWritten) - 0.05);
    EXPECT_LE(heard, movie.duration - 0.1);
    player.kill();
    player.waitForFinished(2000);
}

TEST_F(ScreenRecorderX11Test, AGifRecordingHasNoSoundWhateverTheSettings)
{
    settings.setRecordSystemAudio(true);
    settings.setRecordMicrophone(true);
    PlainWindow window(QRect(0, 0, 200, 200), Qt::darkMagenta);
    ASSERT_TRUE(window.showAndWait());
    const auto started = startRecording(m_screen, QRectF(0, 0, 200, 200), true);
    ASSERT_TRUE(started);
    const auto item = stopAfter(*started, 0.5);
    ASSERT_TRUE(item && item->fileURL);
    const Movie movie = readMovie(item->fileURL->toLocalFile());
    ASSERT_TRUE(movie.error.isEmpty());
    EXPECT_FALSE(movie.audio);
}

TEST_F(ScreenRecorderX11Test, DiscardAndAStopDuringTheCountdownLeaveNothing)
{
    auto started = startRecording(m_screen, QRectF(0, 0, 320, 240));
    ASSERT_TRUE(started);
    ASSERT_TRUE(QTest::qWaitFor([&] { return secondsBetween(*started, Clock::now()) > 0.5; }, 3000));
    recorder.cancelAction();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_ended == 1; }, 5000));

    recorder.start(m_screen, QRectF(0, 0, 320, 240), false);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !toasts.requests.empty() && toasts.requests.back().text == QStringLiteral("2"); }, 3000));
    recorder.stop();
    EXPECT_FALSE(QTest::qWaitFor([&] { return recorder.isRecording(); }, 3000));

    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(QLatin1Char(' ')).toStdString();
    EXPECT_TRUE(CaptureHistory::shared().items().empty());
    EXPECT_TRUE(surfaces.thumbnails.empty());
    EXPECT_TRUE(QTest::qWaitFor(
        [] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (qobject_cast<RecordingControls*>(widget) || qobject_cast<RecordingFrame*>(widget))
                    return false;
            }
            return true;
        },
        2000));
}

TEST_F(ScreenRecorderX11Test, AWholeScreenHasNoFrameAndItsBarIsNotInTheMovie)
{
    const QRect screen = m_screen->geometry();
    const QColor blue(40, 90, 160);
    PlainWindow backdrop(screen, blue);
    ASSERT_TRUE(backdrop.showAndWait());
    const auto started = startRecording(m_screen, QRectF(QPointF(0, 0), screen.size()));
    ASSERT_TRUE(started);
    EXPECT_EQ(recorder.frameWindow(), nullptr);
    ASSERT_NE(recorder.controls(), nullptr);
    const QRect bar = recorder.controls()->geometry();
    const QRect visible = m_screen->availableGeometry();
    EXPECT_EQ(bar.bottom() + 1, visible.bottom() + 1 - 20);
    EXPECT_LE(std::abs(bar.center().x() - visible.center().x()), 1);

    const auto item = stopAfter(*started, 1.0);
    ASSERT_TRUE(item && item->fileURL);
    int darkFrames = 0;
    int frames = 0;
    const QRect inMovie = bar.translated(-screen.topLeft()).adjusted(4, 4, -4, -4);
    const Movie movie = readMovie(item->fileURL->toLocalFile(), [&](double t, const QImage& picture) {
        ++frames;
        for (int y = inMovie.top(); y <= inMovie.bottom(); y += 3) {
            for (int x = inMovie.left(); x <= inMovie.right(); x += 3) {
                const QColor c = picture.pixelColor(x, y);
                if (std::abs(c.blue() - blue.blue()) > 40) {
                    ++darkFrames;
                    return;
                }
            }
        }
    });
    ASSERT_TRUE(movie.error.isEmpty());
    EXPECT_GT(frames, 20);
    EXPECT_LE(darkFrames, 2) << "the bar shows in the movie"; // the first frames may precede the repaint
}

TEST_F(ScreenRecorderX11Test, AFullDiskStopsWithTheToastAndDeliversNothing)
{
    NoiseWindow noise(QRect(0, 0, 640, 480));
    noise.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&noise, 5000));
    struct rlimit original
    { };
    getrlimit(RLIMIT_FSIZE, &original);
    std::signal(SIGXFSZ, SIG_IGN);
    const auto started = startRecording(m_screen, QRectF(0, 0, 640, 480));
    ASSERT_TRUE(started);
    // The movie may not grow past what it already has: the next write fails as on a full disk.
    struct rlimit limited = original;
    limited.rlim_cur = 1;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool stopped = QTest::qWaitFor([&] { return m_ended == 1; }, 15000);
    setrlimit(RLIMIT_FSIZE, &original);
    ASSERT_TRUE(stopped);
    EXPECT_FALSE(recorder.isRecording());
    ASSERT_FALSE(toasts.requests.empty());
    EXPECT_TRUE(toasts.requests.back().text.startsWith(QStringLiteral("Recording stopped: ")))
        << toasts.requests.back().text.toStdString();
    EXPECT_TRUE(surfaces.thumbnails.empty());
    EXPECT_TRUE(CaptureHistory::shared().items().empty());
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(QLatin1Char(' ')).toStdString();
}

TEST_F(ScreenRecorderX11Test, WithoutASoundServerTheMovieIsSilentAndOneLineSaysWhy)
{
    settings.setRecordSystemAudio(true);
    const QByteArray previous = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", QDir::home().filePath(QStringLiteral("no-such-server")).toLocal8Bit());
    const auto started = startRecording(m_screen, QRectF(0, 0, 160, 120));
    qputenv("PULSE_SERVER", previous);
    ASSERT_TRUE(started);
    const auto item = stopAfter(*started, 0.5);
    ASSERT_TRUE(item && item->fileURL);
    const Movie movie = readMovie(item->fileURL->toLocalFile());
    ASSERT_TRUE(movie.error.isEmpty());
    EXPECT_FALSE(movie.audio);
    EXPECT_EQ(log.lines().filter(QStringLiteral("Vantrel: recording without sound")).size(), 1)
        << log.lines().join(QLatin1Char('\n')).toStdString();
}

TEST_F(ScreenRecorderX11Test, AnAreaBeyondTheScreenRecordsThePartOnIt)
{
    const QSize screen = m_screen->size();
    const auto started = startRecording(m_screen, QRectF(screen.width() - 100, screen.height() - 50, 400, 300));
    ASSERT_TRUE(started);
    const auto item = stopAfter(*started, 0.5);
    ASSERT_TRUE(item && item->fileURL);
    const Movie movie = readMovie(item->fileURL->toLocalFile());
    ASSERT_TRUE(movie.error.isEmpty());
    EXPECT_EQ(movie.size, QSize(100, 50));
}

TEST_F(ScreenRecorderX11Test, AnUnpluggedScreenStopsTheRecordingAndKeepsWhatWasRecorded)
{
    const auto screens = QGuiApplication::screens();
    ASSERT_GE(screens.size(), 2) << "the harness splits the display into two monitors";
    QScreen* second = screens.at(1);
    const QString name = second->name();
    const auto started = startRecording(second, QRectF(10, 10, 200, 150));
    ASSERT_TRUE(started);
    ASSERT_TRUE(QTest::qWaitFor([&] { return secondsBetween(*started, Clock::now()) > 1.0; }, 3000));
    const Clock::time_point unplugged = Clock::now();
    ASSERT_EQ(QProcess::execute(QStringLiteral("xrandr"), {QStringLiteral("--delmonitor"), name}), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !surfaces.thumbnails.empty(); }, 10000));
    EXPECT_FALSE(recorder.isRecording());
    const auto& item = surfaces.thumbnails.back();
    ASSERT_TRUE(item->fileURL);
    const Movie movie = readMovie(item->fileURL->toLocalFile());
    ASSERT_TRUE(movie.error.isEmpty());
    EXPECT_GT(movie.duration, 1.0);
    EXPECT_LT(movie.duration, secondsBetween(*started, unplugged) + 1.0);
    EXPECT_TRUE(log.lines().contains(
        QStringLiteral("Vantrel: the recorded screen was disconnected; the recording was stopped")));
}

TEST(RecordingBarPreview, ShowsTheBarPrintsItsLayoutAndQuits)
{
    QProcess vantrel;
    vantrel.start(QStringLiteral(VANTREL_BINARY), {QStringLiteral("--preview-recording-bar")});
    ASSERT_TRUE(vantrel.waitForStarted(5000));
    // It quits by itself, four seconds after showing the bar.
    ASSERT_TRUE(QTest::qWaitFor([&] { return vantrel.state() == QProcess::NotRunning; }, 15000));
    const QStringList lines
        = QString::fromUtf8(vantrel.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4) << lines.join(QLatin1Char('|')).toStdString();
    const QRegularExpression bar(QStringLiteral("^bar (\\d+)×36$"));
    const auto size = bar.match(lines[0]);
    ASSERT_TRUE(size.hasMatch()) << lines[0].toStdString();
    const int width = size.captured(1).toInt();
    const QRegularExpression control(QStringLiteral("^(\\w+) (-?\\d+),(-?\\d+) (\\d+)×(\\d+)$"));
    QStringList types;
    int right = 0;
    for (const QString& line : lines.mid(1)) {
        const auto frame = control.match(line);
        ASSERT_TRUE(frame.hasMatch()) << line.toStdString();
        types.append(frame.captured(1));
        const int x = frame.captured(2).toInt();
        const int y = frame.captured(3).toInt();
        const int w = frame.captured(4).toInt();
        const int h = frame.captured(5).toInt();
        // Left to right, 10 points apart, centred in the bar, 14 points from its ends.
        EXPECT_EQ(x, right == 0 ? 14 : right + 10) << line.toStdString();
        EXPECT_LE(std::abs((y + h / 2) - 18), 1) << line.toStdString();
        right = x + w;
    }
    EXPECT_EQ(right + 14, width);
    EXPECT_EQ(
        types, (QStringList {QStringLiteral("QToolButton"), QStringLiteral("QLabel"), QStringLiteral("QToolButton")}));
}
