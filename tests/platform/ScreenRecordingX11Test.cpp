// SPDX-License-Identifier: GPL-3.0-or-later
// The recorder pipeline on a real X server: what lands in the movie file, read back with FFmpeg.
#include "ChromeWindow.h"
#include "MovieReader.h"
#include "RecordingWindows.h"
#include "x11/X11ScreenGrabber.h"
#include "x11/X11ScreenRecording.h"

#include <QCursor>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <chrono>
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

struct Recorded
{
    std::optional<RecordingResult> result;
    QString error;
    Clock::time_point started;
    Clock::time_point stopped;
    std::vector<std::pair<RecordingEnd, Error>> ends;
};

class ScreenRecordingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.isValid());
        m_screen = QGuiApplication::primaryScreen();
        ASSERT_NE(m_screen, nullptr);
    }

    RecordingRequest request(const QRectF& area, QSize pixels, int fps = 30)
    {
        RecordingRequest r;
        r.screen = m_screen;
        r.area = area;
        r.pixelSize = pixels;
        r.framesPerSecond = fps;
        r.showCursor = false;
        r.showClicks = false;
        r.outputPath = m_folder.filePath(QStringLiteral("Vantrel-%1.mp4").arg(++m_count));
        return r;
    }

    std::shared_ptr<RecordingSession> startRecording(const RecordingRequest& r, Recorded& recorded)
    {
        std::optional<Expected<std::shared_ptr<RecordingSession>>> started;
        m_recording.start(r, [&](Expected<std::shared_ptr<RecordingSession>> session) {
            recorded.started = Clock::now();
            started = std::move(session);
        });
        if (!QTest::qWaitFor([&] { return started.has_value(); }, 10000))
            return nullptr;
        if (!*started) {
            recorded.error = started->error().description;
            return nullptr;
        }
        std::shared_ptr<RecordingSession> session = started->value();
        session->setEndHandler(
            [&recorded](RecordingEnd how, const Error& error) { recorded.ends.emplace_back(how, error); });
        return session;
    }

    void finishRecording(const std::shared_ptr<RecordingSession>& session, Recorded& recorded)
    {
        bool done = false;
        recorded.stopped = Clock::now();
        session->finish([&](Expected<RecordingResult> result) {
            if (result)
                recorded.result = *result;
            else
                recorded.error = result.error().description;
            done = true;
        });
        ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 20000));
    }

    // Records for `seconds` of the capture clock, with Qt's events flowing meanwhile.
    Recorded record(const RecordingRequest& r, double seconds, const std::function<void(double)>& during = {})
    {
        Recorded recorded;
        std::shared_ptr<RecordingSession> session = startRecording(r, recorded);
        if (!session)
            return recorded;
        // The recording's length is what this waits for, on the capture clock.
        const bool elapsed = QTest::qWaitFor(
            [&] {
                const double elapsed = secondsBetween(recorded.started, Clock::now());
                if (during)
                    during(elapsed);
                return elapsed >= seconds;
            },
            int(seconds * 1000) + 10000);
        EXPECT_TRUE(elapsed);
        finishRecording(session, recorded);
        return recorded;
    }

    QTemporaryDir m_folder;
    QScreen* m_screen = nullptr;
    X11ScreenGrabber m_grabber;
    X11ScreenRecording m_recording {&m_grabber};
    int m_count = 0;
};

} // namespace

TEST_F(ScreenRecordingTest, AChangingWindowBecomesAnH264MovieWithTheRightFramesAtTheRightTimes)
{
    const Clock::time_point zero = Clock::now();
    const QRect area(100, 100, 301, 201);
    ClockWindow window(area, zero);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window, 5000));

    const int fps = 30;
    const Recorded recorded = record(request(area, QSize(300, 200), fps), 3.0);
    ASSERT_TRUE(recorded.result) << recorded.error.toStdString();
    EXPECT_TRUE(recorded.ends.empty());
    const double recordedSeconds = secondsBetween(recorded.started, recorded.stopped);
    const double originInClock = secondsBetween(zero, recorded.started);

    std::vector<std::pair<double, double>> shown; // frame time, clock value seen
    int unreadable = 0;
    const Movie movie = readMovie(recorded.result->path, [&](double t, const QImage& picture) {
        if (auto value = ClockWindow::read(picture, picture.rect()))
            shown.emplace_back(t, *value - originInClock);
        else
            ++unreadable;
    });
    ASSERT_TRUE(movie.error.isEmpty()) << movie.error.toStdString();
    EXPECT_EQ(movie.videoCodec, QStringLiteral("h264"));
    EXPECT_EQ(movie.pixelFormat, QStringLiteral("yuv420p"));
    EXPECT_EQ(movie.size, QSize(300, 200)) << "301 × 201 points at scale 1 record at the next lower even size";
    EXPECT_DOUBLE_EQ(movie.frameRate, fps);
    EXPECT_TRUE(movie.indexAtFront);
    EXPECT_FALSE(movie.audio) << "no sound was asked for";
    // The movie ends on a frame boundary: half an interval short at most, or one interval long
    // when the last interval's frame was taken just before the stop.
    EXPECT_NEAR(movie.duration, recordedSeconds, 1.0 / fps + mp4DurationRounding);
    EXPECT_NEAR(recorded.result->seconds, movie.duration, mp4DurationRounding + 1e-9);
    // Decoded to the end: the last frame is shown during the last interval.
    EXPECT_NEAR(movie.lastFrameTime, movie.duration - 1.0 / fps, 1.0 / fps + 1e-6);
    EXPECT_GE(movie.videoFrames, int(recordedSeconds * fps * 0.8)) << "the window changed with every frame";
    EXPECT_LE(unreadable, movie.videoFrames / 20);

    // Each frame shows what was on screen when it was taken: never later than its interval's
    // end, and never much earlier (the window's own repaint lags a little).
    ASSERT_FALSE(shown.empty());
    int onTime = 0;
    double previous = -1;
    for (const auto& [t, value] : shown) {
        EXPECT_GE(value, previous - 0.004) << "at " << t;
        previous = std::max(previous, value);
        if (value - t > -0.1 && value - t < 1.0 / fps + 0.01)
            ++onTime;
    }
    EXPECT_GE(onTime, int(shown.size() * 9 / 10)) << onTime << " of " << shown.size();
}

TEST_F(ScreenRecordingTest, AnUnchangingScreenStillLastsAsLongAsTheRecording)
{
    PlainWindow window(QRect(50, 50, 200, 120), Qt::darkCyan, false);
    ASSERT_TRUE(window.showAndWait());
    const Recorded recorded = record(request(QRectF(50, 50, 200, 120), QSize(200, 120), 60), 1.5);
    ASSERT_TRUE(recorded.result) << recorded.error.toStdString();
    const Movie movie = readMovie(recorded.result->path);
    ASSERT_TRUE(movie.error.isEmpty()) << movie.error.toStdString();
    EXPECT_NEAR(movie.duration, secondsBetween(recorded.started, recorded.stopped), 1.0 / 60 + mp4DurationRounding);
    EXPECT_DOUBLE_EQ(movie.frameRate, 60);
    // Nothing changed after the first frame: the screen was read about once a second, yet the
    // intervals have their frames (all but the few a machine busy with other tests may drop,
    // which the duration above shows were not lost time).
    EXPECT_LE(recorded.result->grabs, 4);
    EXPECT_GE(recorded.result->ticks, 80);
    EXPECT_GE(movie.videoFrames, recorded.result->ticks * 9 / 10);
}

TEST_F(ScreenRecordingTest, VantrelsChromeWindowsAreLeftOutAndItsOtherWindowsAreNot)
{
    const QRect area(200, 200, 400, 300);
    PlainWindow content(area, QColor(0, 160, 0), false);
    ASSERT_TRUE(content.showAndWait());
    // Chrome: unmanaged (as the bar) and managed (as thumbnails); a pin is not chrome.
    PlainWindow bar(QRect(220, 220, 120, 40), QColor(255, 0, 255), true);
    PlainWindow thumbnail(QRect(400, 380, 150, 90), QColor(255, 0, 255), true, true);
    PlainWindow pin(QRect(240, 400, 100, 60), QColor(0, 0, 255), false);
    ASSERT_TRUE(bar.showAndWait());
    ASSERT_TRUE(thumbnail.showAndWait());
    ASSERT_TRUE(pin.showAndWait());
    ASSERT_TRUE(QTest::qWaitFor([&] { return thumbnail.geometry().intersects(area); }, 5000));
    const QRect thumbnailRect = thumbnail.geometry();

    const Recorded recorded = record(request(area, area.size()), 1.0, [&](double elapsed) {
        // Moving chrome is left out as well.
        if (elapsed > 0.5)
            bar.move(260, 240);
    });
    ASSERT_TRUE(recorded.result) << recorded.error.toStdString();

    int frames = 0;
    int magenta = 0;
    int pinShown = 0;
    const Movie movie = readMovie(recorded.result->path, [&](double t, const QImage& picture) {
        if (t < 0.15)
            return; // windows beneath chrome may still be repainting what it covered
        ++frames;
        for (const QRect& chrome :
            {QRect(20, 20, 120, 40), QRect(60, 40, 120, 40), thumbnailRect.translated(-area.topLeft())}) {
            const QRect inside = chrome.adjusted(3, 3, -3, -3) & picture.rect();
            for (int y = inside.top(); y <= inside.bottom(); y += 4) {
                for (int x = inside.left(); x <= inside.right(); x += 4) {
                    const QColor c = picture.pixelColor(x, y);
                    if (c.red() > 128 && c.blue() > 128)
                        ++magenta;
                }
            }
        }
        const QColor pinColour = picture.pixelColor(90, 230);
        if (pinColour.blue() > 180 && pinColour.green() < 80)
            ++pinShown;
    });
    ASSERT_TRUE(movie.error.isEmpty()) << movie.error.toStdString();
    ASSERT_GT(frames, 10);
    EXPECT_EQ(magenta, 0) << "chrome pixels in the movie";
    EXPECT_EQ(pinShown, frames) << "windows that are not chrome stay in";
}

TEST_F(ScreenRecordingTest, ThePointerAndClickHighlightsAreDrawnOnlyWhenAsked)
{
    const QRect area(300, 300, 200, 200);
    PlainWindow window(area, Qt::white, false);
    ASSERT_TRUE(window.showAndWait());
    QCursor::setPos(area.center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return QCursor::pos() == area.center(); }, 3000));

    auto darkPixelsNearCentre = [](const QImage& picture) {
        int dark = 0;
        for (int y = 60; y < 140; ++y) {
            for (int x = 60; x < 140; ++x)
                dark += qGray(picture.pixel(x, y)) < 200 ? 1 : 0;
        }
        return dark;
    };
    struct Case
    {
        bool cursor;
        bool clicks;
    };
    for (const Case c : {Case {false, false}, Case {true, false}, Case {false, true}}) {
        RecordingRequest r = request(area, area.size());
        r.showCursor = c.cursor;
        r.showClicks = c.clicks;
        bool clicked = false;
        const Recorded recorded = record(r, 1.2, [&](double elapsed) {
            if (elapsed > 0.4 && !clicked) {
                clicked = true;
                QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("click"), QStringLiteral("1")});
            }
        });
        ASSERT_TRUE(recorded.result) << recorded.error.toStdString();
        int framesWithMarks = 0;
        int highlightFrames = 0;
        const Movie movie = readMovie(recorded.result->path, [&](double t, const QImage& picture) {
            const int dark = darkPixelsNearCentre(picture);
            framesWithMarks += dark > 20 ? 1 : 0;
            // A disc of 18 points around the pointer: hundreds of darkened pixels.
            highlightFrames += dark > 400 ? 1 : 0;
        });
        ASSERT_TRUE(movie.error.isEmpty());
        SCOPED_TRACE(testing::Message() << "cursor " << c.cursor << " clicks " << c.clicks);
        if (!c.cursor && !c.clicks) {
            EXPECT_EQ(framesWithMarks, 0);
        }
        if (c.cursor) {
            EXPECT_EQ(framesWithMarks, movie.videoFrames) << "the pointer is in every frame";
        }
        EXPECT_EQ(highlightFrames > 0, c.clicks);
    }
}

TEST_F(ScreenRecordingTest, AFullDiskStopsTheRecordingWithAnErrorAndLeavesNoFile)
{
    // Noise compresses badly, so the file grows past the limit within a second.
    NoiseWindow noise(QRect(0, 0, 640, 480));
    noise.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&noise, 5000));

    // A file size limit fails writes the way a full disk does.
    struct rlimit original
    { };
    getrlimit(RLIMIT_FSIZE, &original);
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = original;
    limited.rlim_cur = 512 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);

    const RecordingRequest r = request(QRectF(0, 0, 640, 480), QSize(640, 480));
    Recorded recorded;
    std::shared_ptr<RecordingSession> session = startRecording(r, recorded);
    const bool ended = session && QTest::qWaitFor([&] { return !recorded.ends.empty(); }, 20000);
    setrlimit(RLIMIT_FSIZE, &original);
    ASSERT_TRUE(session) << recorded.error.toStdString();
    ASSERT_TRUE(ended);
    EXPECT_EQ(recorded.ends.front().first, RecordingEnd::failed);
    EXPECT_FALSE(recorded.ends.front().second.description.isEmpty());
    session.reset();
    EXPECT_FALSE(QFile::exists(r.outputPath)) << "a broken movie stays behind";
}

TEST_F(ScreenRecordingTest, AMovieSmallerThanTheAreaIsScaledDownWhole)
{
    // As with Retina resolution off on a HiDPI screen: the area's pixels shrink to the movie's.
    PlainWindow left(QRect(400, 300, 100, 100), Qt::black);
    PlainWindow right(QRect(500, 300, 100, 100), Qt::white);
    ASSERT_TRUE(left.showAndWait());
    ASSERT_TRUE(right.showAndWait());
    const Recorded recorded = record(request(QRectF(400, 300, 200, 100), QSize(100, 50)), 0.5);
    ASSERT_TRUE(recorded.result) << recorded.error.toStdString();
    std::optional<QImage> first;
    const Movie movie = readMovie(recorded.result->path, [&](double, const QImage& picture) {
        if (!first)
            first = picture;
    });
    ASSERT_TRUE(movie.error.isEmpty());
    EXPECT_EQ(movie.size, QSize(100, 50));
    ASSERT_TRUE(first);
    for (int y : {5, 25, 45}) {
        EXPECT_LT(qGray(first->pixel(20, y)), 40) << y;
        EXPECT_GT(qGray(first->pixel(80, y)), 215) << y;
    }
}

TEST_F(ScreenRecordingTest, AnUnwritableFolderFailsTheStart)
{
    RecordingRequest r = request(QRectF(0, 0, 100, 100), QSize(100, 100));
    r.outputPath = m_folder.filePath(QStringLiteral("missing/Vantrel-x.mp4"));
    Recorded recorded;
    EXPECT_EQ(startRecording(r, recorded), nullptr);
    EXPECT_FALSE(recorded.error.isEmpty());
}
