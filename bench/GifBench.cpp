// SPDX-License-Identifier: GPL-3.0-or-later
// Movie to GIF: Vantrel's conversion against ffmpeg's two-pass palette recipe
//   ffmpeg -i in.mp4 -vf "fps=15,scale=960:-1:flags=lanczos,split[a][b];[a]palettegen[p];[b][p]paletteuse"
// on the same movie in the same run: wall seconds, CPU seconds, bytes, and PSNR of every GIF
// frame against the movie's frames at the same times scaled the same way (ffmpeg's
// "fps=15,scale=960:-1:flags=lanczos" as RGB, decoded independently of both encoders). The GIFs
// are read back with Qt's GIF reader.
//
// Without --movie it first records a 10-second 1920 × 1080 movie at 60 fps of a desktop at work
// (typing in an editor, a page scrolling, a window dragged, a menu, the pointer moving over a
// photo wallpaper) through the recorder's own encoder.
//
//   gif_bench [--movie in.mp4] [--folder out] [--rounds 3] [--only-vantrel]
#include "GifEncoding.h"
#include "media/FrameConversion.h"
#include "media/Mp4Writer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QProcess>
#include <QRadialGradient>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

using namespace vantrel;

namespace {

constexpr int movieWidth = 1920;
constexpr int movieHeight = 1080;
constexpr int movieFps = 60;
constexpr int movieSeconds = 10;
constexpr int gifFps = 15;
constexpr int gifWidth = 960;

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2);
}

double cpuSecondsOf(int who)
{
    rusage usage {};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// ---- The desktop --------------------------------------------------------------------------

QImage wallpaper()
{
    QImage image(movieWidth, movieHeight, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, movieHeight);
    sky.setColorAt(0, QColor(38, 70, 128));
    sky.setColorAt(0.55, QColor(214, 140, 96));
    sky.setColorAt(1, QColor(60, 44, 70));
    p.fillRect(image.rect(), sky);
    QRandomGenerator random(11);
    // Soft hills and blurred lights, as a photo wallpaper has.
    for (int i = 0; i < 40; ++i) {
        const QPointF centre(random.bounded(movieWidth), random.bounded(movieHeight));
        const double radius = 60 + random.bounded(260);
        QRadialGradient light(centre, radius);
        const QColor colour = QColor::fromHsv(random.bounded(360), 80 + random.bounded(120), 120 + random.bounded(135));
        light.setColorAt(0, QColor(colour.red(), colour.green(), colour.blue(), 90));
        light.setColorAt(1, QColor(colour.red(), colour.green(), colour.blue(), 0));
        p.setBrush(light);
        p.setPen(Qt::NoPen);
        p.drawEllipse(centre, radius, radius);
    }
    QPainterPath hills;
    hills.moveTo(0, movieHeight);
    for (int x = 0; x <= movieWidth; x += 40)
        hills.lineTo(x, movieHeight * 0.72 + 60 * std::sin(x / 210.0) + 25 * std::sin(x / 57.0));
    hills.lineTo(movieWidth, movieHeight);
    QLinearGradient ground(0, movieHeight * 0.65, 0, movieHeight);
    ground.setColorAt(0, QColor(40, 60, 50));
    ground.setColorAt(1, QColor(12, 20, 18));
    p.fillPath(hills, ground);
    return image;
}

QString loremWord(QRandomGenerator& random)
{
    static const char* words[] = {"recording", "window", "palette", "frame", "screen", "the", "of", "and", "desktop",
        "colour", "pixel", "a", "to", "scroll", "text", "editor", "file", "build", "test", "quickly", "under", "every"};
    return QString::fromLatin1(words[random.bounded(int(std::size(words)))]);
}

// A document page taller than its window, for scrolling.
QImage documentPage(int width, int height)
{
    QImage page(width, height, QImage::Format_RGB32);
    page.fill(QColor(252, 252, 250));
    QPainter p(&page);
    p.setRenderHint(QPainter::TextAntialiasing);
    QRandomGenerator random(5);
    QFont body(QStringLiteral("DejaVu Sans"));
    body.setPixelSize(15);
    QFont heading = body;
    heading.setPixelSize(22);
    heading.setBold(true);
    int y = 30;
    while (y < height - 30) {
        if (random.bounded(6) == 0) {
            p.setFont(heading);
            p.setPen(QColor(30, 30, 40));
            p.drawText(30, y, QStringLiteral("Section %1").arg(y / 100));
            y += 36;
            continue;
        }
        if (random.bounded(9) == 0) {
            p.fillRect(30, y - 10, width - 60, 120, QColor(230, 236, 245));
            p.setPen(QColor(90, 110, 160));
            p.drawRect(30, y - 10, width - 61, 119);
            y += 130;
            continue;
        }
        p.setFont(body);
        p.setPen(QColor(40, 40, 40));
        QString line;
        while (line.size() < 70)
            line += loremWord(random) + QLatin1Char(' ');
        p.drawText(30, y, line);
        y += 22;
    }
    return page;
}

void drawWindow(QPainter& p, const QRect& frame, const QString& title, bool active)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 60));
    p.drawRoundedRect(frame.adjusted(-4, -2, 6, 8), 8, 8);
    p.setBrush(active ? QColor(236, 236, 238) : QColor(214, 214, 218));
    p.drawRoundedRect(frame, 6, 6);
    p.fillRect(QRect(frame.left(), frame.top() + 34, frame.width(), frame.height() - 34), QColor(255, 255, 255));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(14);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(50, 50, 55));
    p.drawText(QRect(frame.left(), frame.top(), frame.width(), 34), Qt::AlignCenter, title);
    const QColor buttons[] = {QColor(255, 95, 86), QColor(255, 189, 46), QColor(39, 201, 63)};
    for (int i = 0; i < 3; ++i) {
        p.setBrush(buttons[i]);
        p.drawEllipse(QPointF(frame.left() + 18 + i * 22, frame.top() + 17), 6, 6);
    }
}

void drawPointer(QPainter& p, QPointF at)
{
    QPainterPath arrow;
    arrow.moveTo(at);
    arrow.lineTo(at + QPointF(0, 20));
    arrow.lineTo(at + QPointF(5, 15));
    arrow.lineTo(at + QPointF(9, 24));
    arrow.lineTo(at + QPointF(12, 22));
    arrow.lineTo(at + QPointF(8, 14));
    arrow.lineTo(at + QPointF(14, 14));
    arrow.closeSubpath();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(Qt::black);
    p.drawPath(arrow);
}

class Desktop
{
public:
    Desktop()
        : m_wallpaper(wallpaper())
        , m_page(documentPage(760, 4000))
    {
        QRandomGenerator random(3);
        while (m_typed.size() < 400)
            m_typed += loremWord(random) + QLatin1Char(' ');
    }

    // The desktop `frame` ÷ 60 seconds in.
    void draw(QImage& image, int frame)
    {
        const double t = double(frame) / movieFps;
        QPainter p(&image);
        p.drawImage(0, 0, m_wallpaper);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);

        // A top panel with a clock.
        p.fillRect(0, 0, movieWidth, 28, QColor(24, 24, 28));
        QFont panelFont(QStringLiteral("DejaVu Sans"));
        panelFont.setPixelSize(13);
        p.setFont(panelFont);
        p.setPen(Qt::white);
        p.drawText(QRect(0, 0, movieWidth - 20, 28), Qt::AlignRight | Qt::AlignVCenter,
            QStringLiteral("10:%1").arg(int(t) + 10, 2, 10, QLatin1Char('0')));
        p.drawText(
            QRect(16, 0, 400, 28), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Activities   Files   Editor"));

        // The document viewer, scrolling between 3 s and 6 s.
        const QRect viewer(980, 90, 800, 860);
        drawWindow(p, viewer, QStringLiteral("Notes.pdf — Viewer"), t >= 3 && t < 6);
        const double scrolled = std::clamp(t - 3.0, 0.0, 3.0) * 600;
        p.drawImage(QRect(viewer.left() + 20, viewer.top() + 44, 760, viewer.height() - 54), m_page,
            QRect(0, int(scrolled), 760, viewer.height() - 54));

        // The editor: text typed from 0 to 3 s, a caret blinking.
        QRect editor(140, 140, 760, 620);
        // Dragged across the screen between 6 s and 8 s.
        if (t >= 6)
            editor.translate(int(std::min(t - 6.0, 2.0) * 180), int(std::min(t - 6.0, 2.0) * 70));
        drawWindow(p, editor, QStringLiteral("draft.txt — Editor"), t < 3 || (t >= 6 && t < 8));
        QFont mono(QStringLiteral("DejaVu Sans Mono"));
        mono.setPixelSize(16);
        p.setFont(mono);
        p.setPen(QColor(20, 20, 30));
        const int typed = std::min<int>(m_typed.size(), int(std::min(t, 3.0) * 14) + 120);
        const QString text = m_typed.left(typed);
        int line = 0, caretX = 0;
        for (int start = 0; start < text.size(); start += 70, ++line) {
            const QString row = text.mid(start, 70);
            p.drawText(editor.left() + 16, editor.top() + 64 + line * 22, row);
            caretX = p.fontMetrics().horizontalAdvance(row);
        }
        if (int(t * 2) % 2 == 0)
            p.fillRect(editor.left() + 16 + caretX, editor.top() + 50 + (line - 1) * 22, 2, 18, QColor(20, 20, 30));

        // A menu open between 8 s and 10 s, its highlighted item following the pointer.
        QPointF pointer;
        if (t < 3)
            pointer = QPointF(520 + 30 * std::sin(t), 420);
        else if (t < 6)
            pointer = QPointF(1380, 500 + 40 * std::sin(t * 2));
        else if (t < 8)
            pointer = QPointF(480 + (t - 6) * 180, 160 + (t - 6) * 70);
        else
            pointer = QPointF(330, 420 + (t - 8) * 90);
        if (t >= 8) {
            const QRect menu(300, 380, 240, 260);
            p.setPen(QColor(180, 180, 185));
            p.setBrush(QColor(248, 248, 250));
            p.drawRoundedRect(menu, 6, 6);
            QFont menuFont(QStringLiteral("DejaVu Sans"));
            menuFont.setPixelSize(14);
            p.setFont(menuFont);
            const int hovered = std::clamp(int((pointer.y() - menu.top() - 8) / 30), 0, 7);
            for (int i = 0; i < 8; ++i) {
                const QRect item(menu.left() + 6, menu.top() + 8 + i * 30, menu.width() - 12, 28);
                if (i == hovered)
                    p.fillRect(item, QColor(53, 132, 228));
                p.setPen(i == hovered ? Qt::white : QColor(30, 30, 30));
                p.drawText(item.adjusted(12, 0, 0, 0), Qt::AlignVCenter,
                    QStringList {QStringLiteral("Open…"), QStringLiteral("Save"), QStringLiteral("Save As…"),
                        QStringLiteral("Export"), QStringLiteral("Print…"), QStringLiteral("Properties"),
                        QStringLiteral("Share"), QStringLiteral("Close")}[i]);
            }
        }
        drawPointer(p, pointer);
    }

private:
    QImage m_wallpaper;
    QImage m_page;
    QString m_typed;
};

bool recordDesktop(const QString& path)
{
    auto opened = media::Mp4Writer::open(path, {QSize(movieWidth, movieHeight), movieFps}, std::nullopt);
    if (!opened) {
        std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path), qPrintable(opened.error().description));
        return false;
    }
    media::Mp4Writer& writer = **opened;
    media::FrameConverter converter(QSize(movieWidth, movieHeight));
    Desktop desktop;
    QImage image(movieWidth, movieHeight, QImage::Format_RGB32);
    const int frames = movieSeconds * movieFps;
    for (int i = 0; i < frames; ++i) {
        desktop.draw(image, i);
        converter.convert(image.constBits(), int(image.bytesPerLine()), 0, movieHeight, writer.canvas());
        if (auto error = writer.writeVideo(i)) {
            std::fprintf(stderr, "encoding failed: %s\n", qPrintable(error->description));
            return false;
        }
    }
    if (auto error = writer.finish(frames)) {
        std::fprintf(stderr, "finishing failed: %s\n", qPrintable(error->description));
        return false;
    }
    return true;
}

// ---- Measuring ----------------------------------------------------------------------------

struct Run
{
    double seconds = 0;
    double cpuSeconds = 0;
    qint64 bytes = 0;
    bool ok = false;
};

Run runFfmpeg(const QString& movie, const QString& gif)
{
    QFile::remove(gif);
    const double cpuBefore = cpuSecondsOf(RUSAGE_CHILDREN);
    QElapsedTimer timer;
    timer.start();
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    ffmpeg.start(QStringLiteral("ffmpeg"),
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-i"), movie,
            QStringLiteral("-vf"),
            QStringLiteral("fps=%1,scale=%2:-1:flags=lanczos,split[a][b];[a]palettegen[p];[b][p]paletteuse")
                .arg(gifFps)
                .arg(gifWidth),
            gif});
    Run run;
    run.ok = ffmpeg.waitForFinished(-1) && ffmpeg.exitStatus() == QProcess::NormalExit && ffmpeg.exitCode() == 0;
    run.seconds = timer.nsecsElapsed() / 1e9;
    run.cpuSeconds = cpuSecondsOf(RUSAGE_CHILDREN) - cpuBefore;
    run.bytes = QFileInfo(gif).size();
    return run;
}

Run runVantrel(const QString& movie, const QString& gif)
{
    QFile::remove(gif);
    const double cpuBefore = cpuSecondsOf(RUSAGE_SELF);
    QElapsedTimer timer;
    timer.start();
    std::atomic<bool> cancelled {false};
    const Expected<GifResult> result = convertMovieToGif(
        {.moviePath = movie, .gifPath = gif, .framesPerSecond = gifFps, .maxWidth = gifWidth}, cancelled);
    Run run;
    run.seconds = timer.nsecsElapsed() / 1e9;
    run.cpuSeconds = cpuSecondsOf(RUSAGE_SELF) - cpuBefore;
    run.ok = result.ok();
    if (!result)
        std::fprintf(stderr, "Vantrel's conversion failed: %s\n", qPrintable(result.error().description));
    else
        std::printf("  vantrel: %d frames (%d unchanged, %d with their own palette), %dx%d\n", result->frames,
            result->unchangedFrames, result->localPalettes, result->size.width(), result->size.height());
    run.bytes = QFileInfo(gif).size();
    return run;
}

struct Quality
{
    int frames = 0;
    int referenceFrames = 0;
    double psnr = 0; // from the mean squared error over every frame
    double worstFramePsnr = 1e9;
};

double psnrOf(double meanSquaredError)
{
    return meanSquaredError <= 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / meanSquaredError);
}

// Every frame of `gif` against the reference frames (RGB24 from ffmpeg's pipe through
// `selection`), in order.
Quality measure(const QString& movie, const QString& gif, const QString& selection)
{
    Quality quality;
    QImageReader reader(gif);
    reader.setAutoTransform(false);
    QProcess reference;
    reference.setProcessChannelMode(QProcess::SeparateChannels);
    reference.setReadChannel(QProcess::StandardOutput);
    reference.start(QStringLiteral("ffmpeg"),
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), movie, QStringLiteral("-vf"),
            QStringLiteral("%1,scale=%2:-1:flags=lanczos").arg(selection).arg(gifWidth),
            // Every selected frame once: no frames repeated to fill the movie's rate.
            QStringLiteral("-fps_mode"), QStringLiteral("passthrough"), QStringLiteral("-f"),
            QStringLiteral("rawvideo"), QStringLiteral("-pix_fmt"), QStringLiteral("rgb24"), QStringLiteral("-")});
    double totalSquared = 0;
    qint64 totalSamples = 0;
    for (;;) {
        QImage frame = reader.read();
        if (frame.isNull())
            break;
        frame = frame.convertToFormat(QImage::Format_RGB888);
        const qint64 bytes = qint64(frame.width()) * frame.height() * 3;
        QByteArray expected;
        while (expected.size() < bytes) {
            if (reference.bytesAvailable() == 0 && !reference.waitForReadyRead(30000))
                break;
            expected += reference.read(bytes - expected.size());
        }
        if (expected.size() < bytes)
            break;
        ++quality.frames;
        double squared = 0;
        for (int y = 0; y < frame.height(); ++y) {
            const uchar* got = frame.constScanLine(y);
            const uchar* want = reinterpret_cast<const uchar*>(expected.constData()) + qint64(y) * frame.width() * 3;
            for (int i = 0; i < frame.width() * 3; ++i) {
                const double d = double(got[i]) - double(want[i]);
                squared += d * d;
            }
        }
        const qint64 samples = qint64(frame.width()) * frame.height() * 3;
        totalSquared += squared;
        totalSamples += samples;
        quality.worstFramePsnr = std::min(quality.worstFramePsnr, psnrOf(squared / samples));
    }
    quality.referenceFrames = quality.frames;
    reference.readAll();
    while (reference.waitForReadyRead(30000)) {
        const QByteArray rest = reference.readAll();
        Q_UNUSED(rest);
    }
    reference.waitForFinished(-1);
    quality.psnr = totalSamples ? psnrOf(totalSquared / totalSamples) : 0;
    return quality;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QString movie;
    QString folder = QDir::temp().filePath(QStringLiteral("vantrel-gif-bench"));
    int rounds = 3;
    bool onlyOurs = false;
    const QStringList arguments = app.arguments();
    onlyOurs = arguments.contains(QLatin1String("--only-vantrel"));
    for (int i = 1; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--movie"))
            movie = arguments[++i];
        else if (arguments[i] == QLatin1String("--folder"))
            folder = arguments[++i];
        else if (arguments[i] == QLatin1String("--rounds"))
            rounds = std::max(1, arguments[++i].toInt());
    }
    QDir().mkpath(folder);
    if (movie.isEmpty()) {
        movie = QDir(folder).filePath(QStringLiteral("desktop-1080p60.mp4"));
        if (!QFileInfo::exists(movie)) {
            std::printf("recording a %d-second %dx%d movie at %d fps of a desktop at work…\n", movieSeconds, movieWidth,
                movieHeight, movieFps);
            if (!recordDesktop(movie))
                return 1;
        }
    }
    std::printf("movie %s (%lld bytes), GIF at %d fps, at most %d pixels wide\n", qPrintable(movie),
        QFileInfo(movie).size(), gifFps, gifWidth);
    const QString ourGif = QDir(folder).filePath(QStringLiteral("vantrel.gif"));
    const QString theirGif = QDir(folder).filePath(QStringLiteral("ffmpeg.gif"));
    if (onlyOurs) {
        // For profiling: one conversion and nothing else.
        const Run run = runVantrel(movie, ourGif);
        std::printf("vantrel %.2f s (cpu %.2f s), %lld bytes\n", run.seconds, run.cpuSeconds, run.bytes);
        return run.ok ? 0 : 1;
    }

    std::vector<double> ourSeconds, theirSeconds, ourCpu, theirCpu;
    Run ours, theirs;
    std::printf("load average before: %s\n", qPrintable(loadAverage()));
    for (int round = 0; round < rounds; ++round) {
        // Alternating, so a burst of load elsewhere on the machine does not favour one side.
        if (round % 2 == 0) {
            theirs = runFfmpeg(movie, theirGif);
            ours = runVantrel(movie, ourGif);
        } else {
            ours = runVantrel(movie, ourGif);
            theirs = runFfmpeg(movie, theirGif);
        }
        if (!ours.ok || !theirs.ok) {
            std::fprintf(stderr, "a conversion failed (vantrel %d, ffmpeg %d)\n", ours.ok, theirs.ok);
            return 1;
        }
        std::printf("round %d: vantrel %.2f s (cpu %.2f s), ffmpeg %.2f s (cpu %.2f s), load %s\n", round + 1,
            ours.seconds, ours.cpuSeconds, theirs.seconds, theirs.cpuSeconds, qPrintable(loadAverage()));
        ourSeconds.push_back(ours.seconds);
        theirSeconds.push_back(theirs.seconds);
        ourCpu.push_back(ours.cpuSeconds);
        theirCpu.push_back(theirs.cpuSeconds);
    }
    // The frames on screen at exactly i ÷ 15 s (every fourth of a 60 fps movie), which the GIF
    // is to show; and the frames ffmpeg's fps filter picks, which round to the nearest slot and
    // keep the later of two, one movie frame after those times.
    const QString exactTimes = QStringLiteral("select=not(mod(n\\,%1))").arg(movieFps / gifFps);
    const QString fpsFilter = QStringLiteral("fps=%1").arg(gifFps);
    const Quality ourQuality = measure(movie, ourGif, exactTimes);
    const Quality theirQuality = measure(movie, theirGif, exactTimes);
    const Quality ourQualityByFilter = measure(movie, ourGif, fpsFilter);
    const Quality theirQualityByFilter = measure(movie, theirGif, fpsFilter);

    const double ourTime = median(ourSeconds), theirTime = median(theirSeconds);
    std::printf("\nPSNR against the movie's frames at i/%d s (and against ffmpeg's fps filter's picks), lanczos "
                "scaled, RGB\n",
        gifFps);
    std::printf("%-9s %9s %9s %11s %6s %10s %12s %12s\n", "", "seconds", "cpu s", "bytes", "frames", "PSNR dB",
        "worst frame", "fps filter");
    std::printf("%-9s %9.2f %9.2f %11lld %6d %10.2f %12.2f %12.2f\n", "vantrel", ourTime, median(ourCpu), ours.bytes,
        ourQuality.frames, ourQuality.psnr, ourQuality.worstFramePsnr, ourQualityByFilter.psnr);
    std::printf("%-9s %9.2f %9.2f %11lld %6d %10.2f %12.2f %12.2f\n", "ffmpeg", theirTime, median(theirCpu),
        theirs.bytes, theirQuality.frames, theirQuality.psnr, theirQuality.worstFramePsnr, theirQualityByFilter.psnr);
    std::printf(
        "\ntime ratio vantrel/ffmpeg %.2f (goal ≤ 0.50), size ratio %.2f (goal ≤ 1.00), PSNR difference %+.2f dB "
        "(goal ≥ 0)\n",
        ourTime / theirTime, double(ours.bytes) / double(theirs.bytes), ourQuality.psnr - theirQuality.psnr);
    std::printf("load average after: %s (2 cores)\n", qPrintable(loadAverage()));
    return 0;
}
