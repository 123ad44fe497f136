// SPDX-License-Identifier: GPL-3.0-or-later
// The Wayland recorder's stream road at 1080p30: a private PipeWire daemon plays the test video
// source (a screen of flat cells with a time code in each, a new picture every frame) and the
// recorder reads it, cuts it and encodes it, as it does a screen-cast portal's stream. Reports
// the source's pictures found in the movie against those it sent, the frames dropped, and the
// recorder's CPU per recorded second (this process; the source and the daemon are others),
// against the encoder alone turning the same pictures into the same movie in this run.
//
//   wayland-recording-bench [SECONDS] [WxH] [FPS]      (defaults: 10 1920x1080 30)
#include "MovieReader.h"
#include "PrivatePipeWire.h"
#include "ScreenRecording.h"
#include "TestVideoPattern.h"
#include "media/FrameConversion.h"
#include "media/Mp4Writer.h"
#include "wayland/PipeWireScreenRecording.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <set>
#include <sys/resource.h>

using namespace vantrel;
using namespace vantrel::test;

namespace {

using Clock = std::chrono::steady_clock;

double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The source's pictures a movie shows: distinct time codes of the top-left cell.
int picturesIn(const QString& path, Movie& movie)
{
    std::set<uint32_t> codes;
    movie = readMovie(path, [&](double, const QImage& picture) {
        const auto code = TestVideoPattern::readCode(0, 0, [&](int x, int y) { return qGray(picture.pixel(x, y)); });
        if (code)
            codes.insert(*code);
    });
    return int(codes.size());
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    QSize size(1920, 1080);
    if (argc > 2)
        std::sscanf(argv[2], "%dx%d", &size.rwidth(), &size.rheight());
    const int fps = argc > 3 ? std::atoi(argv[3]) : 30;
    QTemporaryDir folder;

    PrivatePipeWire pipewire;
    if (const auto failure = pipewire.start()) {
        std::fprintf(stderr, "%s\n", qPrintable(*failure));
        return 1;
    }
    PrivatePipeWire::SourceOptions options;
    options.size = size;
    options.framesPerSecond = fps;
    const std::optional<uint32_t> node = pipewire.startSource(options);
    if (!node) {
        std::fprintf(stderr, "%s\n", qPrintable(pipewire.lastError()));
        return 1;
    }

    // The stream road: the whole screen, as a full-screen recording.
    PipeWireScreenRecording recording(QDBusConnection::sessionBus());
    RecordingRequest request;
    request.area = QRectF(QPointF(0, 0), QSizeF(size));
    request.pixelSize = size;
    request.framesPerSecond = fps;
    request.showCursor = false;
    request.showClicks = false;
    request.outputPath = folder.filePath(QStringLiteral("stream.mp4"));
    std::optional<Expected<std::shared_ptr<RecordingSession>>> started;
    Clock::time_point start;
    double cpuAtStart = 0;
    recording.startFromNode(request, *node, QSizeF(size), [&](Expected<std::shared_ptr<RecordingSession>> session) {
        start = Clock::now();
        cpuAtStart = cpuSeconds();
        started = std::move(session);
    });
    if (!QTest::qWaitFor([&] { return started.has_value(); }, 20000) || !*started) {
        std::fprintf(stderr, "the recording did not start: %s\n",
            started ? qPrintable(started->error().description) : "no answer");
        return 1;
    }
    (void)QTest::qWaitFor([&] { return std::chrono::duration<double>(Clock::now() - start).count() >= seconds; },
        int(seconds * 1000) + 5000);
    std::optional<Expected<RecordingResult>> finished;
    const double recordedSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    started->value()->finish([&](Expected<RecordingResult> result) { finished = std::move(result); });
    (void)QTest::qWaitFor([&] { return finished.has_value(); }, 60000);
    const double streamCpu = cpuSeconds() - cpuAtStart;
    started.reset();
    if (!finished || !*finished) {
        std::fprintf(
            stderr, "the recording failed: %s\n", finished ? qPrintable(finished->error().description) : "no answer");
        return 1;
    }
    pipewire.stopSource();
    Movie movie;
    const int found = picturesIn((*finished)->path, movie);
    const int expected = int(recordedSeconds * fps);

    // The reference: as many frames of the same screen, its time code changing every frame as
    // the source's does, converted and encoded straight from memory (drawn beforehand).
    const int frames = int(std::lround(recordedSeconds * fps));
    const size_t bytes = size_t(size.width()) * size.height() * 4;
    std::vector<uint8_t> pictures(2 * bytes);
    for (int i = 0; i < 2; ++i)
        TestVideoPattern::draw(
            pictures.data() + i * bytes, size.width() * 4, size.width(), size.height(), i * 33, false);
    auto writer = media::Mp4Writer::open(folder.filePath(QStringLiteral("reference.mp4")), {size, fps}, std::nullopt);
    if (!writer) {
        std::fprintf(stderr, "no encoder: %s\n", qPrintable(writer.error().description));
        return 1;
    }
    media::FrameConverter converter(size);
    const double referenceStart = cpuSeconds();
    for (int i = 0; i < frames; ++i) {
        converter.convert(pictures.data() + (i % 2) * bytes, size.width() * 4, 0, size.height(), (*writer)->canvas());
        (*writer)->writeVideo(i);
    }
    (*writer)->finish(frames);
    const double referenceCpu = cpuSeconds() - referenceStart;

    std::printf("Wayland recorder, PipeWire stream %dx%d at %d fps, %.1f s\n", size.width(), size.height(), fps,
        recordedSeconds);
    std::printf("  source pictures in the movie: %d of %d sent (%.1f %%); frames dropped for want of a buffer: %lld\n",
        found, expected, 100.0 * found / std::max(1, expected), (*finished)->droppedFrames);
    std::printf("  movie: %d frames, %.3f s, %dx%d\n", movie.videoFrames, movie.duration, movie.size.width(),
        movie.size.height());
    std::printf("  recorder CPU: %.1f %% of one core (%.3f s per recorded second)\n",
        100.0 * streamCpu / recordedSeconds, streamCpu / recordedSeconds);
    std::printf("  reference, the same frames converted and encoded from memory: %.1f %% of one core per recorded "
                "second\n",
        100.0 * referenceCpu / recordedSeconds);
    std::printf("  ratio stream road / reference: %.2f\n", streamCpu / std::max(1e-6, referenceCpu));
    return found >= expected - 2 ? 0 : 3;
}
