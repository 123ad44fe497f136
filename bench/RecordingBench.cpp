// SPDX-License-Identifier: GPL-3.0-or-later
// The screen recorder against ffmpeg's x11grab + libx264 on the same X server, with the same
// desktop-like content for the same length: frames captured, CPU per recorded second, file size
// and picture quality (PSNR of every decoded frame against the content it shows).
//
//   recording-bench FPS SECONDS      run inside tests/harness/with-x11.sh (see run-recording-bench.sh)
//
// The content is a function of its frame number: an editor pane of small text that scrolls in
// bursts, a blinking caret, a spinner, a progress bar and the frame number as 16 black or white
// blocks, over a still desktop. Each recorder runs as a child process while this one paints; CPU
// is the child's user + system time as the kernel counts it.
#include "MovieReader.h"
#include "ScreenRecording.h"
#include "x11/X11ScreenGrabber.h"
#include "x11/X11ScreenRecording.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <set>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace vantrel;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int codeBits = 16;

// The desktop at frame n; everything is drawn from pictures made once, so a frame costs blits.
class Content
{
public:
    Content(QSize size, int fps)
        : m_size(size)
        , m_fps(fps)
        , m_scale(size.height() / 1080.0)
    {
        m_editor = QRect(int(300 * m_scale), int(60 * m_scale), int(size.width() * 0.6), int(size.height() * 0.8));
        m_spinner = QRect(size.width() - int(160 * m_scale), size.height() - int(160 * m_scale), int(96 * m_scale),
            int(96 * m_scale));
        m_progress
            = QRect(int(300 * m_scale), size.height() - int(60 * m_scale), int(800 * m_scale), int(12 * m_scale));
        m_code = QRect(0, 0, codeBits * block(), block());

        // The still desktop: a title bar, a side bar with entries, a status bar.
        m_desktop = QImage(size, QImage::Format_RGB32);
        m_desktop.fill(QColor(236, 236, 240));
        QPainter p(&m_desktop);
        QFont ui;
        ui.setFamily(QStringLiteral("DejaVu Sans"));
        ui.setPixelSize(int(13 * m_scale));
        p.setFont(ui);
        p.fillRect(QRect(0, 0, size.width(), int(40 * m_scale)), QColor(48, 52, 60));
        p.setPen(Qt::white);
        p.drawText(QRect(int(40 * m_scale), 0, size.width() / 2, int(40 * m_scale)), Qt::AlignVCenter,
            QStringLiteral("main.cpp — Project — Editor"));
        p.fillRect(QRect(0, int(40 * m_scale), int(280 * m_scale), size.height()), QColor(246, 246, 248));
        p.setPen(QColor(60, 60, 70));
        for (int i = 0; i < 40; ++i)
            p.drawText(int(24 * m_scale), int((80 + i * 24) * m_scale),
                QStringLiteral("src/module%1/file_%2.cpp").arg(i % 7).arg(i * 13 % 97));
        p.end();

        // A long page of code in a small monospaced font.
        QFont mono;
        mono.setFamily(QStringLiteral("DejaVu Sans Mono"));
        mono.setPixelSize(int(13 * m_scale));
        const int line = int(18 * m_scale);
        m_page = QImage(m_editor.width(), line * 600, QImage::Format_RGB32);
        m_page.fill(Qt::white);
        QPainter page(&m_page);
        page.setFont(mono);
        const QColor colours[] = {QColor(30, 30, 30), QColor(0, 92, 197), QColor(166, 38, 164), QColor(80, 161, 79)};
        for (int i = 0; i < 600; ++i) {
            page.setPen(QColor(150, 150, 150));
            page.drawText(int(8 * m_scale), (i + 1) * line - int(4 * m_scale), QString::number(i + 1));
            page.setPen(colours[i % 4]);
            page.drawText(int(56 * m_scale), (i + 1) * line - int(4 * m_scale),
                QStringLiteral("%1auto value%2 = compute(item_%3, %4); // step %5 of the pipeline")
                    .arg(QString((i * 7) % 5 * 4, QLatin1Char(' ')))
                    .arg(i)
                    .arg(i * 31 % 200)
                    .arg(i * 17 % 1000)
                    .arg(i));
        }
    }

    QSize size() const { return m_size; }

    // The editor scrolls for one second in every four, 4 points a frame.
    int scrollOffset(int n) const
    {
        const int cycle = 4 * m_fps;
        const int scrolling = m_fps;
        const int frames = (n / cycle) * scrolling + std::min(n % cycle, scrolling);
        return int(frames * 4 * m_scale) % (m_page.height() - m_editor.height());
    }
    bool caretOn(int n) const { return (n / (m_fps / 2 > 0 ? m_fps / 2 : 1)) % 2 == 0; }

    // The rectangles that differ between frames a and b.
    std::vector<QRect> changes(int a, int b) const
    {
        std::vector<QRect> rects {m_code, m_spinner, m_progress};
        if (scrollOffset(a) != scrollOffset(b) || caretOn(a) != caretOn(b))
            rects.push_back(m_editor);
        return rects;
    }

    void paint(QPainter& p, int n, const QRect& clip) const
    {
        p.setClipRect(clip);
        if (!m_editor.contains(clip))
            p.drawImage(clip.topLeft(), m_desktop, clip);
        if (clip.intersects(m_editor)) {
            p.drawImage(m_editor.topLeft(), m_page, QRect(0, scrollOffset(n), m_editor.width(), m_editor.height()));
            if (caretOn(n))
                p.fillRect(QRect(m_editor.x() + int(300 * m_scale), m_editor.y() + int(200 * m_scale), int(2 * m_scale),
                               int(16 * m_scale)),
                    Qt::black);
        }
        if (clip.intersects(m_spinner)) {
            p.fillRect(m_spinner, QColor(236, 236, 240));
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(QPen(QColor(0, 122, 255), 6 * m_scale, Qt::SolidLine, Qt::RoundCap));
            p.drawArc(m_spinner.adjusted(int(10 * m_scale), int(10 * m_scale), -int(10 * m_scale), -int(10 * m_scale)),
                -(n * 12 % 360) * 16, 270 * 16);
            p.setRenderHint(QPainter::Antialiasing, false);
        }
        if (clip.intersects(m_progress)) {
            p.fillRect(m_progress, QColor(210, 210, 215));
            p.fillRect(QRect(m_progress.topLeft(), QSize(m_progress.width() * (n % 300) / 300, m_progress.height())),
                QColor(52, 199, 89));
        }
        if (clip.intersects(m_code)) {
            for (int bit = 0; bit < codeBits; ++bit)
                p.fillRect(
                    QRect(bit * block(), 0, block(), block()), (n >> (codeBits - 1 - bit)) & 1 ? Qt::white : Qt::black);
        }
    }

    QImage frame(int n) const
    {
        QImage image(m_size, QImage::Format_RGB32);
        QPainter p(&image);
        paint(p, n, QRect(QPoint(), m_size));
        return image;
    }

    // The frame number a decoded picture shows; none when a block is unclear.
    std::optional<int> read(const QImage& picture) const
    {
        int n = 0;
        for (int bit = 0; bit < codeBits; ++bit) {
            const int grey = qGray(picture.pixel(bit * block() + block() / 2, block() / 2));
            if (grey > 80 && grey < 175)
                return std::nullopt;
            n = n * 2 + (grey >= 128 ? 1 : 0);
        }
        return n;
    }

private:
    int block() const { return int(24 * m_scale); }

    QSize m_size;
    int m_fps;
    double m_scale;
    QRect m_editor, m_spinner, m_progress, m_code;
    QImage m_desktop, m_page;
};

class ContentWindow : public QWidget
{
public:
    ContentWindow(const Content& content, int fps)
        : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint)
        , m_content(content)
        , m_fps(fps)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setGeometry(QRect(QPoint(), content.size()));
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, [this] { advance(); });
        m_clock.start();
        m_timer.start(std::max(1, 500 / m_fps));
    }
    // Frame numbers shown since the last restart.
    const std::set<int>& shown() const { return m_shown; }
    // Back to frame 0, so that every recorder sees the same sequence from its start.
    void restart()
    {
        m_clock.restart();
        m_frame = -1;
        m_shown.clear();
        repaint();
        advance();
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter p(this);
        for (const QRect& rect : event->region())
            m_content.paint(p, m_frame, rect);
    }

private:
    void advance()
    {
        const int n = int(m_clock.nsecsElapsed() * m_fps / 1000000000);
        if (n == m_frame)
            return;
        QRegion changed;
        if (m_frame < 0)
            changed = rect();
        for (const QRect& rect : m_content.changes(std::max(m_frame, 0), n))
            changed += rect;
        m_frame = n;
        repaint(changed);
        m_shown.insert(n);
    }

    const Content& m_content;
    int m_fps;
    int m_frame = 0;
    QElapsedTimer m_clock;
    QTimer m_timer;
    std::set<int> m_shown;
};

struct Run
{
    QString name;
    QString path;
    double cpuSeconds = 0;
    bool ok = false;
    std::set<int> shown; // content frames on screen while it ran
};

// Runs a program to its end while this process keeps painting; its CPU time from the kernel.
Run runChild(const QString& name, const QStringList& command, const QString& output)
{
    Run run {name, output};
    std::vector<QByteArray> storage;
    std::vector<char*> argv;
    for (const QString& part : command)
        storage.push_back(part.toLocal8Bit());
    for (QByteArray& part : storage)
        argv.push_back(part.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        return run;
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    struct rusage usage
    { };
    for (;;) {
        const pid_t done = wait4(pid, &status, WNOHANG, &usage);
        if (done == pid)
            break;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        usleep(2000);
    }
    run.cpuSeconds
        = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

// PSNR of the luma alone (BT.601 weights), which 4:2:0 and 4:4:4 movies keep at full resolution.
double lumaPsnr(const QImage& a, const QImage& b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* ra = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* rb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            const double la = 0.299 * qRed(ra[x]) + 0.587 * qGreen(ra[x]) + 0.114 * qBlue(ra[x]);
            const double lb = 0.299 * qRed(rb[x]) + 0.587 * qGreen(rb[x]) + 0.114 * qBlue(rb[x]);
            sum += (la - lb) * (la - lb);
        }
    }
    const double mse = sum / (double(a.width()) * a.height());
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

double psnr(const QImage& a, const QImage& b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* ra = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* rb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            const int dr = qRed(ra[x]) - qRed(rb[x]);
            const int dg = qGreen(ra[x]) - qGreen(rb[x]);
            const int db = qBlue(ra[x]) - qBlue(rb[x]);
            sum += dr * dr + dg * dg + db * db;
        }
    }
    const double mse = sum / (3.0 * a.width() * a.height());
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

// Child: records the whole primary screen for `seconds` with Vantrel's recorder.
int recordChild(const QString& path, int fps, double seconds)
{
    X11ScreenGrabber grabber;
    X11ScreenRecording recording(&grabber);
    QScreen* screen = QGuiApplication::primaryScreen();
    RecordingRequest request;
    request.screen = screen;
    request.area = QRectF(QPointF(0, 0), screen->size());
    request.pixelSize = QSize(screen->size().width() & ~1, screen->size().height() & ~1);
    request.framesPerSecond = fps;
    request.showCursor = false;
    request.showClicks = false;
    request.outputPath = path;
    std::shared_ptr<RecordingSession> session;
    std::optional<Expected<RecordingResult>> result;
    recording.start(request, [&](Expected<std::shared_ptr<RecordingSession>> started) {
        if (started)
            session = started.value();
    });
    if (!QTest::qWaitFor([&] { return session != nullptr; }, 10000))
        return 1;
    QTest::qWait(int(seconds * 1000));
    session->finish([&](Expected<RecordingResult> done) { result = std::move(done); });
    if (!QTest::qWaitFor([&] { return result.has_value(); }, 60000) || !*result)
        return 1;
    const RecordingResult& r = result->value();
    QFile stats(path + QStringLiteral(".stats"));
    if (stats.open(QIODevice::WriteOnly))
        stats.write(QStringLiteral("%1 %2 %3 %4\n")
                        .arg(r.ticks)
                        .arg(r.grabs)
                        .arg(r.encodedFrames)
                        .arg(r.droppedFrames)
                        .toUtf8());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 5 && args[1] == QStringLiteral("--record"))
        return recordChild(args[2], args[3].toInt(), args[4].toDouble());
    const int fps = args.size() > 1 ? args[1].toInt() : 30;
    const double seconds = args.size() > 2 ? args[2].toDouble() : 10;

    QScreen* screen = QGuiApplication::primaryScreen();
    const QSize size = screen->size();
    Content content(size, fps);
    ContentWindow window(content, fps);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window, 5000))
        return 1;
    QTest::qWait(500);

    double load[3] = {};
    getloadavg(load, 3);
    std::printf("%d×%d at %d fps, %.0f s of desktop-like content; load average %.1f %.1f %.1f on %ld cores\n",
        size.width(), size.height(), fps, seconds, load[0], load[1], load[2], sysconf(_SC_NPROCESSORS_ONLN));

    QTemporaryDir folder;
    const QString display = QString::fromLocal8Bit(qgetenv("DISPLAY"));
    const QString sizeArg = QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
    auto ffmpeg = [&](const QString& output, const QStringList& extra) {
        QStringList command {QStringLiteral("ffmpeg"), QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"),
            QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("x11grab"), QStringLiteral("-draw_mouse"),
            QStringLiteral("0"), QStringLiteral("-framerate"), QString::number(fps), QStringLiteral("-video_size"),
            sizeArg, QStringLiteral("-i"), display, QStringLiteral("-t"), QString::number(seconds),
            QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-preset"), QStringLiteral("ultrafast")};
        return command + extra + QStringList {QStringLiteral("-y"), output};
    };

    std::vector<Run> runs;
    auto record = [&](const QString& name, const QStringList& command, const QString& output) {
        window.restart();
        Run run = runChild(name, command, output);
        run.shown = window.shown();
        runs.push_back(run);
    };
    const QString ours = folder.filePath(QStringLiteral("vantrel.mp4"));
    record(QStringLiteral("Vantrel"),
        {QCoreApplication::applicationFilePath(), QStringLiteral("--record"), ours, QString::number(fps),
            QString::number(seconds)},
        ours);
    const QString reference = folder.filePath(QStringLiteral("ffmpeg.mp4"));
    record(QStringLiteral("ffmpeg ultrafast"), ffmpeg(reference, {}), reference);
    const QString reference420 = folder.filePath(QStringLiteral("ffmpeg420.mp4"));
    record(QStringLiteral("ffmpeg ultrafast 4:2:0"),
        ffmpeg(reference420, {QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p")}), reference420);

    std::printf("%-24s %9s %9s %8s %10s %9s %8s %8s %8s\n", "recorder", "frames", "captured", "CPU s/s", "size KiB",
        "kbit/s", "PSNR dB", "Y PSNR", "format");
    double ffmpegCpu = 0;
    for (const Run& run : runs) {
        if (!run.ok) {
            std::printf("%-24s failed\n", qPrintable(run.name));
            continue;
        }
        std::set<int> seen;
        double psnrSum = 0;
        double lumaSum = 0;
        int measured = 0;
        int unreadable = 0;
        int index = 0;
        const test::Movie movie = test::readMovie(run.path, [&](double, const QImage& picture) {
            const std::optional<int> n = content.read(picture);
            if (!n) {
                ++unreadable;
                return;
            }
            seen.insert(*n);
            // Every fourth frame for the quality: regenerating 4K frames costs as much as the rest.
            if (index++ % 4 == 0 && picture.size() == size) {
                const QImage original = content.frame(*n);
                psnrSum += psnr(picture, original);
                lumaSum += lumaPsnr(picture, original);
                ++measured;
            }
        });
        // Content frames the window showed while this recorder ran, against those in its movie.
        int expected = 0;
        if (!seen.empty()) {
            for (int n : run.shown)
                expected += n >= *seen.begin() && n <= *seen.rbegin() ? 1 : 0;
        }
        const double cpu = run.cpuSeconds / seconds;
        if (run.name == QStringLiteral("ffmpeg ultrafast"))
            ffmpegCpu = cpu;
        std::printf("%-24s %4d/%-4d %4d/%-4d %8.3f %10.0f %9.0f %8.2f %8.2f %8s\n", qPrintable(run.name),
            movie.videoFrames, int(std::lround(seconds * fps)), int(seen.size()), expected, cpu,
            QFileInfo(run.path).size() / 1024.0,
            QFileInfo(run.path).size() * 8 / 1000.0 / std::max(movie.duration, 0.001),
            measured ? psnrSum / measured : 0.0, measured ? lumaSum / measured : 0.0, qPrintable(movie.pixelFormat));
        if (unreadable)
            std::printf("    %d frames without a readable frame number\n", unreadable);
        QFile stats(run.path + QStringLiteral(".stats"));
        if (stats.open(QIODevice::ReadOnly)) {
            const QStringList v = QString::fromUtf8(stats.readAll()).split(QLatin1Char(' '));
            if (v.size() == 4)
                std::printf("    capture clock: %s intervals, %s grabs, %s encoded, %s dropped\n", qPrintable(v[0]),
                    qPrintable(v[1]), qPrintable(v[2]), qPrintable(v[3].trimmed()));
        }
    }
    if (ffmpegCpu > 0 && runs.front().ok)
        std::printf("Vantrel's CPU is %.0f %% of ffmpeg's\n", 100.0 * runs.front().cpuSeconds / seconds / ffmpegCpu);
    return 0;
}
