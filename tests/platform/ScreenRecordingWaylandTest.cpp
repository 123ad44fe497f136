// SPDX-License-Identifier: GPL-3.0-or-later
// The Wayland recorder end to end: the screen-cast portal faked on the private bus hands out a
// connection to a private PipeWire daemon, on which the test video source plays the screen; the
// movie is read back with FFmpeg.
#include "FakeDesktopPortal.h"
#include "MovieReader.h"
#include "PreferenceStore.h"
#include "PrivatePipeWire.h"
#include "Service.h"
#include "TestVideoPattern.h"
#include "wayland/PipeWireScreenRecording.h"
#include "wayland/ScreenCastPortal.h"

#include <QDBusConnection>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <set>

using namespace vantrel;
using namespace vantrel::test;

namespace {

using Clock = std::chrono::steady_clock;

const QString screenCast = QStringLiteral("org.freedesktop.portal.ScreenCast");

double secondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

int64_t monotonicMs(Clock::time_point time)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
}

struct Recorded
{
    std::optional<RecordingResult> result;
    QString error;
    Clock::time_point started;
    Clock::time_point stopped;
    std::vector<std::pair<RecordingEnd, Error>> ends;
};

class WaylandRecordingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.isValid());
        m_screen = QGuiApplication::primaryScreen();
        ASSERT_NE(m_screen, nullptr);
        m_portal.emplace(QStringList {screenCast});
        ASSERT_TRUE(m_portal->registered());
        const std::optional<QString> failure = m_pipewire.start();
        ASSERT_FALSE(failure) << failure->toStdString();
        m_portal->castRemote = [this] { return m_pipewire.connect(); };
        m_portal->castSize = m_screen->geometry().size();
        preferences()->remove(QString::fromLatin1(wayland::ScreenCastPortal::restoreTokenKey()));
    }

    static PreferenceStore* preferences() { return Service<PreferenceStore>::find(); }

    // Plays the screen (the output's size) on the private daemon and shares it through the portal.
    void playScreen(PrivatePipeWire::SourceOptions options = {})
    {
        options.size = m_screen->geometry().size() * m_screen->devicePixelRatio();
        const std::optional<uint32_t> node = m_pipewire.startSource(options);
        ASSERT_TRUE(node) << m_pipewire.lastError().toStdString();
        m_portal->castNode = *node;
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
        if (!QTest::qWaitFor([&] { return started.has_value(); }, 20000)) {
            recorded.error = QStringLiteral("no answer");
            return nullptr;
        }
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

    Recorded record(const RecordingRequest& r, double seconds)
    {
        Recorded recorded;
        std::shared_ptr<RecordingSession> session = startRecording(r, recorded);
        if (!session)
            return recorded;
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return secondsBetween(recorded.started, Clock::now()) >= seconds; }, int(seconds * 1000) + 10000));
        finishRecording(session, recorded);
        return recorded;
    }

    const FakeDesktopPortal::Call* lastCall(const QString& method) const
    {
        for (auto it = m_portal->calls.rbegin(); it != m_portal->calls.rend(); ++it) {
            if (it->method == method)
                return &*it;
        }
        return nullptr;
    }

    QTemporaryDir m_folder;
    QScreen* m_screen = nullptr;
    std::optional<FakeDesktopPortal> m_portal;
    PrivatePipeWire m_pipewire;
    PipeWireScreenRecording m_recording {QDBusConnection::sessionBus()};
    int m_count = 0;
};

int grey(const QImage& picture, int x, int y)
{
    return qGray(picture.pixel(x, y));
}

bool near(QRgb pixel, TestVideoPattern::Rgb expected, int tolerance = 24)
{
    return std::abs(qRed(pixel) - expected.r) <= tolerance && std::abs(qGreen(pixel) - expected.g) <= tolerance
        && std::abs(qBlue(pixel) - expected.b) <= tolerance;
}

} // namespace

TEST_F(WaylandRecordingTest, ARecordingHasTheAreasPixelsAtTheRightSizeDurationAndTimes)
{
    struct Case
    {
        int sourceFps; // how often the screen sends a picture
        int fps; // the movie's
        double seconds;
    };
    for (const Case c : {Case {30, 30, 3.0}, Case {10, 30, 1.5}, Case {60, 30, 1.5}}) {
        SCOPED_TRACE(testing::Message() << c.sourceFps << " pictures a second into a " << c.fps << " fps movie");
        PrivatePipeWire::SourceOptions options;
        options.framesPerSecond = c.sourceFps;
        playScreen(options);
        // Odd sizes and a corner inside cells: the movie is 300 × 200, cut from (170, 130).
        const QRect area(170, 130, 301, 201);
        const Recorded recorded = record(request(area, QSize(300, 200), c.fps), c.seconds);
        ASSERT_TRUE(recorded.result) << recorded.error.toStdString();
        EXPECT_TRUE(recorded.ends.empty());
        const double recordedSeconds = secondsBetween(recorded.started, recorded.stopped);
        const int64_t startMs = monotonicMs(recorded.started);
        const int sourceIntervalMs = 1000 / c.sourceFps;
        const int intervalMs = 1000 / c.fps;

        int frames = 0;
        int misplaced = 0;
        int onTime = 0;
        int readable = 0;
        int previousCode = -1;
        int backwards = 0;
        std::set<int> pictures;
        const Movie movie = readMovie(recorded.result->path, [&](double t, const QImage& picture) {
            ++frames;
            // Cell colours on both sides of each cell border inside the area: a cut off by more
            // than a few pixels puts a neighbour's colour where the area's own should be.
            for (int sourceY : {135, 235, 245, 325}) {
                for (int sourceX : {175, 315, 325, 465}) {
                    if (TestVideoPattern::onCode(sourceX, sourceY))
                        continue;
                    const QPoint at(sourceX - area.x(), sourceY - area.y());
                    if (!picture.rect().contains(at)
                        || !near(picture.pixel(at), TestVideoPattern::cellColour(sourceX, sourceY)))
                        ++misplaced;
                }
            }
            // The time code of the cell at (320, 240) of the screen, made when the picture was.
            const auto code = TestVideoPattern::readCode(
                320 - area.x(), 240 - area.y(), [&](int x, int y) { return grey(picture, x, y); });
            if (!code)
                return;
            ++readable;
            pictures.insert(int(*code));
            // Milliseconds after the recording started, within the 16 bits of the code.
            const int64_t expectedMs = (startMs + int64_t(std::llround(t * 1000))) & 0xFFFF;
            int64_t offset = int64_t(*code) - expectedMs;
            if (offset > 0x8000)
                offset -= 0x10000;
            if (offset < -0x8000)
                offset += 0x10000;
            // The newest picture made by the frame's time: at most a source interval older (the
            // screen sent nothing newer), at most a movie interval and the hand-over later.
            if (offset > -sourceIntervalMs - intervalMs / 2 - 5 && offset < intervalMs + 40)
                ++onTime;
            if (previousCode >= 0 && ((int(*code) - previousCode) & 0xFFFF) > 0x8000)
                ++backwards;
            previousCode = int(*code);
        });
        ASSERT_TRUE(movie.error.isEmpty()) << movie.error.toStdString();
        EXPECT_EQ(movie.videoCodec, QStringLiteral("h264"));
        EXPECT_EQ(movie.size, QSize(300, 200)) << "301 × 201 points at scale 1 record at the next lower even size";
        EXPECT_DOUBLE_EQ(movie.frameRate, c.fps);
        EXPECT_FALSE(movie.audio);
        // The length of the recording, to a frame and the container's rounding.
        EXPECT_NEAR(movie.duration, recordedSeconds, 1.0 / c.fps + 0.01);
        EXPECT_NEAR(recorded.result->seconds, movie.duration, 1.0 / c.fps + 0.01);
        // Every interval has its frame, also while the screen sent nothing new.
        EXPECT_GE(movie.videoFrames, int(recordedSeconds * c.fps) - 1);
        EXPECT_EQ(misplaced, 0) << "pixels from outside the area";
        EXPECT_GE(readable, frames * 9 / 10);
        EXPECT_GE(onTime, readable * 9 / 10) << onTime << " of " << readable;
        EXPECT_EQ(backwards, 0);
        // Each of the screen's pictures, or one each interval when it sends more.
        const double expected = (recordedSeconds - 0.2) * std::min(c.sourceFps, c.fps);
        EXPECT_GE(double(pictures.size()), expected);
        EXPECT_EQ(recorded.result->droppedFrames, 0);
    }
}

TEST_F(WaylandRecordingTest, AStillScreenStillLastsAsLongAsTheRecordingAtItsFrameRate)
{
    // A few pictures as the stream starts, then nothing for over a second: a desktop sends no
    // more while nothing changes.
    PrivatePipeWire::SourceOptions options;
    options.still = true;
    playScreen(options);
    const int fps = 30;
    const Recorded recorded = record(request(QRectF(0, 0, 320, 240), QSize(320, 240), fps), 1.5);
    ASSERT_TRUE(recorded.result) << recorded.error.toStdString();
    const double recordedSeconds = secondsBetween(recorded.started, recorded.stopped);
    int cellsRight = 0;
    const Movie movie = readMovie(recorded.result->path, [&](double, const QImage& picture) {
        cellsRight += near(picture.pixel(200, 200), TestVideoPattern::cellColour(200, 200)) ? 1 : 0;
    });
    ASSERT_TRUE(movie.error.isEmpty()) << movie.error.toStdString();
    EXPECT_GE(recorded.result->grabs, 1);
    EXPECT_LE(recorded.result->grabs, 12) << "the screen sent pictures for its first 300 ms only";
    EXPECT_NEAR(movie.duration, recordedSeconds, 1.0 / fps + 0.01);
    // Every interval has its frame, the last picture shown again.
    EXPECT_GE(movie.videoFrames, int(recordedSeconds * fps) - 1);
    EXPECT_EQ(cellsRight, movie.videoFrames);
}

TEST_F(WaylandRecordingTest, RedFirstPixelsAndAHalfSizeMovieComeOutRight)
{
    PrivatePipeWire::SourceOptions options;
    options.rgbx = true;
    playScreen(options);
    // Four cells scaled to half their size, as with Retina resolution off.
    const QRect area(160, 120, 320, 240);
    const Recorded recorded = record(request(area, QSize(160, 120)), 0.6);
    ASSERT_TRUE(recorded.result) << recorded.error.toStdString();
    std::optional<QImage> first;
    const Movie movie = readMovie(recorded.result->path, [&](double, const QImage& picture) {
        if (!first)
            first = picture;
    });
    ASSERT_TRUE(movie.error.isEmpty());
    EXPECT_EQ(movie.size, QSize(160, 120));
    ASSERT_TRUE(first);
    for (const QPoint source : {QPoint(200, 220), QPoint(400, 220), QPoint(200, 340), QPoint(400, 340)}) {
        const QPoint at = (source - area.topLeft()) / 2;
        EXPECT_TRUE(near(first->pixel(at), TestVideoPattern::cellColour(source.x(), source.y())))
            << source.x() << "," << source.y() << " shows " << qRed(first->pixel(at)) << " " << qGreen(first->pixel(at))
            << " " << qBlue(first->pixel(at));
    }
}

TEST_F(WaylandRecordingTest, ThePointerModeAskedForFollowsTheSettingAndAPointerSentBesideIsDrawnOnlyWhenShown)
{
    PrivatePipeWire::SourceOptions options;
    options.cursor = QPoint(250, 200); // the pointer's top-left pixel on the screen
    playScreen(options);
    const QRect area(200, 150, 200, 160);
    struct Case
    {
        uint offered;
        bool show;
        uint asked;
        bool drawn; // by Vantrel, from the pointer sent beside the picture
    };
    const Case cases[] = {
        {1 | 2 | 4, true, 2, false}, // drawn in by the desktop (the test source never does)
        {1 | 2 | 4, false, 1, false}, {1 | 4, true, 4, true}, {1 | 4, false, 1, false},
        {4, false, 4, false}, // sent beside, and left out
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "offered " << c.offered << " show " << c.show);
        m_portal->castCursorModes = c.offered;
        RecordingRequest r = request(area, area.size());
        r.showCursor = c.show;
        const Recorded recorded = record(r, 0.5);
        ASSERT_TRUE(recorded.result) << recorded.error.toStdString();
        const FakeDesktopPortal::Call* select = lastCall(QStringLiteral("SelectSources"));
        ASSERT_NE(select, nullptr);
        EXPECT_EQ(select->options.value(QStringLiteral("cursor_mode")).toUInt(), c.asked);
        EXPECT_EQ(select->options.value(QStringLiteral("types")).toUInt(), 1u) << "a monitor";
        int magentaFrames = 0;
        const Movie movie = readMovie(recorded.result->path, [&](double, const QImage& picture) {
            magentaFrames += near(picture.pixel(50 + 8, 50 + 8), {255, 0, 255}, 40) ? 1 : 0;
        });
        ASSERT_TRUE(movie.error.isEmpty());
        ASSERT_GT(movie.videoFrames, 0);
        EXPECT_EQ(magentaFrames, c.drawn ? movie.videoFrames : 0);
    }
}

TEST_F(WaylandRecordingTest, TheDesktopsRestoreTokenIsKeptAndSentBackSoItAsksOnce)
{
    playScreen();
    const QString key = QString::fromLatin1(wayland::ScreenCastPortal::restoreTokenKey());
    const QRect area(0, 0, 200, 120);
    m_portal->castRestoreToken = QStringLiteral("token-1");
    Recorded first = record(request(area, area.size()), 0.3);
    ASSERT_TRUE(first.result) << first.error.toStdString();
    const FakeDesktopPortal::Call* select = lastCall(QStringLiteral("SelectSources"));
    ASSERT_NE(select, nullptr);
    EXPECT_FALSE(select->options.contains(QStringLiteral("restore_token"))) << "nothing to restore yet";
    EXPECT_EQ(select->options.value(QStringLiteral("persist_mode")).toUInt(), 2u) << "until revoked";
    EXPECT_EQ(preferences()->typed<QString>(key), QStringLiteral("token-1"));

    // Each token is used once: the desktop hands a new one with every start.
    m_portal->castRestoreToken = QStringLiteral("token-2");
    Recorded second = record(request(area, area.size()), 0.3);
    ASSERT_TRUE(second.result) << second.error.toStdString();
    select = lastCall(QStringLiteral("SelectSources"));
    ASSERT_NE(select, nullptr);
    EXPECT_EQ(select->options.value(QStringLiteral("restore_token")).toString(), QStringLiteral("token-1"));
    EXPECT_EQ(preferences()->typed<QString>(key), QStringLiteral("token-2"));
    // Every shared session is closed once its recording is done.
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_portal->closedSessions.size() == 2; }, 5000));
    EXPECT_EQ(m_portal->closedSessions, m_portal->castSessions);
}

TEST_F(WaylandRecordingTest, ARefusalOrAMissingStreamEndsTheStartWithAClearErrorAndNoFile)
{
    playScreen();
    struct Case
    {
        const char* what;
        uint select;
        uint start;
        bool remote;
        bool wrongScreen;
    };
    const Case cases[] = {
        {"cancelled at the choice", 1, 0, true, false},
        {"cancelled at the start", 0, 1, true, false},
        {"failed at the start", 0, 2, true, false},
        {"no connection to PipeWire", 0, 0, false, false},
        {"another screen shared", 0, 0, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        m_portal->castSelectResponse = c.select;
        m_portal->castStartResponse = c.start;
        m_portal->castRemote = [this, c] { return c.remote ? m_pipewire.connect() : -1; };
        m_portal->castPosition = c.wrongScreen ? QPoint(5000, 0) : QPoint();
        const RecordingRequest r = request(QRectF(0, 0, 100, 100), QSize(100, 100));
        Recorded recorded;
        EXPECT_EQ(startRecording(r, recorded), nullptr);
        EXPECT_FALSE(recorded.error.isEmpty());
        EXPECT_FALSE(QFile::exists(r.outputPath));
        ASSERT_FALSE(m_portal->castSessions.isEmpty());
        const QString session = m_portal->castSessions.last();
        EXPECT_TRUE(QTest::qWaitFor([&] { return m_portal->closedSessions.contains(session); }, 5000))
            << "the session is left open";
    }

    // A desktop without screen sharing says so.
    m_portal.reset();
    m_portal.emplace(QStringList {QStringLiteral("org.freedesktop.portal.Screenshot")});
    const RecordingRequest r = request(QRectF(0, 0, 100, 100), QSize(100, 100));
    Recorded recorded;
    EXPECT_EQ(startRecording(r, recorded), nullptr);
    EXPECT_FALSE(recorded.error.isEmpty());
    EXPECT_FALSE(QFile::exists(r.outputPath));
}

TEST_F(WaylandRecordingTest, AFailingStreamEndsTheRecordingWithAnErrorAndLeavesNoFile)
{
    playScreen();
    const RecordingRequest r = request(QRectF(0, 0, 320, 240), QSize(320, 240));
    Recorded recorded;
    std::shared_ptr<RecordingSession> session = startRecording(r, recorded);
    ASSERT_TRUE(session) << recorded.error.toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile(r.outputPath).size() > 0; }, 10000));
    m_pipewire.killDaemon();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !recorded.ends.empty(); }, 10000));
    EXPECT_EQ(recorded.ends.front().first, RecordingEnd::failed);
    EXPECT_FALSE(recorded.ends.front().second.description.isEmpty());
    session.reset();
    EXPECT_FALSE(QFile::exists(r.outputPath)) << "a broken movie stays behind";
}

TEST_F(WaylandRecordingTest, SharingStoppedByTheDesktopKeepsWhatWasRecorded)
{
    struct Case
    {
        const char* what;
        bool closeSession; // else the stream's node goes away
    };
    for (const Case c : {Case {"session closed", true}, Case {"stream removed", false}}) {
        SCOPED_TRACE(c.what);
        playScreen();
        const RecordingRequest r = request(QRectF(0, 0, 320, 240), QSize(320, 240));
        Recorded recorded;
        std::shared_ptr<RecordingSession> session = startRecording(r, recorded);
        ASSERT_TRUE(session) << recorded.error.toStdString();
        ASSERT_TRUE(QTest::qWaitFor([&] { return secondsBetween(recorded.started, Clock::now()) > 0.5; }, 5000));
        if (c.closeSession)
            m_portal->closeCastSession();
        else
            m_pipewire.stopSource();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !recorded.ends.empty(); }, 10000));
        EXPECT_EQ(recorded.ends.front().first, RecordingEnd::sourceLost);
        finishRecording(session, recorded);
        ASSERT_TRUE(recorded.result) << recorded.error.toStdString();
        const Movie movie = readMovie(recorded.result->path);
        EXPECT_TRUE(movie.error.isEmpty());
        EXPECT_GT(movie.duration, 0.4);
    }
}
