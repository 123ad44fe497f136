// SPDX-License-Identifier: GPL-3.0-or-later
// The capture history window over 5,000 captures: from the show call to the first painted grid,
// the frames of a scroll from top to bottom at a steady wheel rate while thumbnails stream in,
// and the memory after scrolling through everything. The reference, measured in the same run,
// is the naive design: a plain QListWidget that reads every thumbnail up front.
//
//   build/bench/history_bench [records] [--naive N]
//
// The benchmark makes its own history: 40 pictures of realistic screen sizes and content, PNG as
// the history writes them, each listed under many records (hard links, so each record has a
// file of its own name). Runs offscreen unless QT_QPA_PLATFORM says otherwise.
#include "CaptureHistory.h"
#include "HistoryGridView.h"
#include "HistoryListModel.h"
#include "HistoryView.h"
#include "HistoryWindowController.h"
#include "PngEncoder.h"
#include "PreferenceStore.h"
#include "Service.h"
#include "ThumbnailLoader.h"
#include "ThumbnailReader.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QLinearGradient>
#include <QListWidget>
#include <QPainter>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <unistd.h>
#include <vector>

using namespace vantrel;

namespace {

constexpr int wheelIntervalMs = 16; // one wheel step per frame at 60 Hz
constexpr int wheelDelta = 240; // two notches a frame: a brisk, steady scroll

struct Memory
{
    double residentMB = 0;
    double peakMB = 0;
};

Memory memory()
{
    Memory m;
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return m;
    for (const QByteArray& line : status.readAll().split('\n')) {
        const auto field = [&](const char* name) {
            return line.startsWith(name) ? line.mid(int(qstrlen(name))).trimmed().split(' ').first().toDouble() / 1024
                                         : -1.0;
        };
        if (const double rss = field("VmRSS:"); rss >= 0)
            m.residentMB = rss;
        if (const double hwm = field("VmHWM:"); hwm >= 0)
            m.peakMB = hwm;
    }
    return m;
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t at = std::min(values.size() - 1, std::size_t(p * double(values.size() - 1) + 0.5));
    return values[at];
}

// A desktop as people capture it: a wallpaper, windows with title bars, text, toolbars, icons.
QImage screenPicture(QSize size, QRandomGenerator& random, bool transparentMargin)
{
    QImage image(size, transparentMargin ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRect area = transparentMargin ? image.rect().adjusted(40, 30, -40, -50) : image.rect();
    QLinearGradient wallpaper(area.topLeft(), area.bottomRight());
    wallpaper.setColorAt(0, QColor::fromHsv(random.bounded(360), 120, 200));
    wallpaper.setColorAt(1, QColor::fromHsv(random.bounded(360), 160, 90));
    p.fillRect(area, wallpaper);
    const QStringList words {QStringLiteral("capture"), QStringLiteral("history"), QStringLiteral("window"),
        QStringLiteral("settings"), QStringLiteral("report"), QStringLiteral("meeting"), QStringLiteral("2026"),
        QStringLiteral("build"), QStringLiteral("review"), QStringLiteral("screen"), QStringLiteral("the"),
        QStringLiteral("of"), QStringLiteral("and"), QStringLiteral("notes"), QStringLiteral("Vantrel")};
    for (int w = 0; w < 3 + random.bounded(3); ++w) {
        const int width = area.width() / 3 + random.bounded(area.width() / 2);
        const int height = area.height() / 3 + random.bounded(area.height() / 2);
        const QRect window(area.left() + random.bounded(std::max(1, area.width() - width)),
            area.top() + random.bounded(std::max(1, area.height() - height)), width, height);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(250, 250, 250));
        p.drawRoundedRect(window, 8, 8);
        p.setBrush(QColor(225, 228, 232));
        p.drawRect(QRect(window.left(), window.top(), window.width(), 34));
        for (int b = 0; b < 3; ++b) {
            p.setBrush(QColor::fromHsv(b * 40, 200, 230));
            p.drawEllipse(QPoint(window.left() + 18 + b * 22, window.top() + 17), 7, 7);
        }
        p.setPen(QColor(30, 30, 35));
        p.setFont(QFont(QStringLiteral("DejaVu Sans"), 10));
        for (int y = window.top() + 56; y < window.bottom() - 12; y += 20) {
            QString line;
            const int count = 3 + random.bounded(12);
            for (int i = 0; i < count; ++i)
                line += words[random.bounded(words.size())] + QLatin1Char(' ');
            p.drawText(window.left() + 16, y, line);
        }
        for (int icon = 0; icon < 6; ++icon) {
            p.setBrush(QColor::fromHsv(random.bounded(360), 180, 220));
            p.setPen(Qt::NoPen);
            p.drawRoundedRect(QRect(window.right() - 40 - icon * 36, window.top() + 44, 28, 28), 6, 6);
        }
    }
    return image;
}

struct Picture
{
    QSize size;
    CaptureKind kind;
    bool transparentMargin = false;
};

// 40 pictures: full screens at common sizes, windows (some with a shadow margin), scrolling pages.
std::vector<Picture> pictureSet()
{
    std::vector<Picture> set;
    const auto add = [&](int count, QSize size, CaptureKind kind, bool margin = false) {
        for (int i = 0; i < count; ++i)
            set.push_back({size, kind, margin});
    };
    add(12, {1920, 1080}, CaptureKind::screenshot);
    add(6, {2560, 1440}, CaptureKind::screenshot);
    add(5, {1366, 768}, CaptureKind::screenshot);
    add(3, {3840, 2160}, CaptureKind::screenshot);
    add(5, {1200, 800}, CaptureKind::window);
    add(4, {1080, 760}, CaptureKind::window, true);
    add(3, {840, 520}, CaptureKind::screenshot);
    add(2, {1280, 6000}, CaptureKind::scrolling);
    return set;
}

// Writes the history folder: the pictures once, then `records` names linked to them, and the
// list file. Returns the folder's path.
QString makeHistory(const QString& root, int records)
{
    const QString folder = root + QStringLiteral("/Vantrel/History");
    QDir().mkpath(folder);
    QRandomGenerator random(20260312);
    const std::vector<Picture> set = pictureSet();
    std::vector<QString> sources;
    qint64 bytes = 0;
    for (std::size_t i = 0; i < set.size(); ++i) {
        const QString path = root + QStringLiteral("/picture-%1.png").arg(i);
        const std::optional<QByteArray> png
            = encodePng(screenPicture(set[i].size, random, set[i].transparentMargin), PngSpeed::fast);
        QFile file(path);
        if (!png || !file.open(QIODevice::WriteOnly) || file.write(*png) != png->size())
            qFatal("could not write %s", qPrintable(path));
        bytes += png->size();
        sources.push_back(path);
    }
    std::vector<HistoryItem> items;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    for (int n = 0; n < records; ++n) {
        const std::size_t which = std::size_t(random.bounded(int(set.size())));
        const QUuid id = QUuid::createUuid();
        HistoryItem item {id, QDateTime::fromSecsSinceEpoch(now - 60 * n, Qt::UTC), set[which].kind,
            uuidText(id) + QStringLiteral(".png"), set[which].size.width(), set[which].size.height()};
        const QString target = folder + QLatin1Char('/') + item.fileName;
        if (::link(QFile::encodeName(sources[which]).constData(), QFile::encodeName(target).constData()) != 0
            && !QFile::copy(sources[which], target))
            qFatal("could not write %s", qPrintable(target));
        items.push_back(item);
    }
    QFile list(folder + QStringLiteral("/history.json"));
    if (!list.open(QIODevice::WriteOnly))
        qFatal("could not write the list file");
    list.write(encodeHistory(items));
    std::printf("history: %d records over %zu pictures (%.1f MB of PNG, %.0f KB on average)\n", records, set.size(),
        bytes / 1e6, bytes / 1e3 / double(set.size()));
    return folder;
}

// Reads every file once, so that both designs meet the same warm page cache.
void warmPageCache(const QString& folder)
{
    for (const QString& name : QDir(folder).entryList(QDir::Files)) {
        QFile file(folder + QLatin1Char('/') + name);
        if (file.open(QIODevice::ReadOnly))
            file.readAll();
    }
}

// Calls `done` with the milliseconds from now to the end of `widget`'s next paint.
class PaintWatch : public QObject
{
public:
    explicit PaintWatch(QWidget* widget)
    {
        widget->installEventFilter(this);
        m_clock.start();
    }
    void restart() { m_clock.restart(); }
    std::optional<double> firstPaintMs;
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            // Let the paint happen first, then read the clock.
            static_cast<QWidget*>(watched)->removeEventFilter(this);
            QCoreApplication::sendEvent(watched, event);
            watched->installEventFilter(this);
            ++paints;
            if (!firstPaintMs)
                firstPaintMs = m_clock.nsecsElapsed() / 1e6;
            return true;
        }
        return false;
    }

private:
    QElapsedTimer m_clock;
};

// Runs the event loop, sleeping between events, until `condition` holds.
bool waitFor(const std::function<bool()>& condition, int timeoutMs = 600000)
{
    QElapsedTimer clock;
    clock.start();
    QTimer tick; // wakes the loop to look at the condition again
    tick.start(2);
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Processor time this thread has used, in milliseconds: unlike the wall clock, it does not
// count the time other processes on a busy machine held the processor.
double threadCpuMs()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

double medianMs(const std::function<void()>& work, int runs = 5)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        work();
        times.push_back(clock.nsecsElapsed() / 1e6);
    }
    return percentile(times, 0.5);
}

// One thumbnail three ways: Qt's reduced-size read, the whole picture read and then scaled, and
// Vantrel's reader (the second up to 10 megapixels, the first above).
void compareDecodes(const QString& root)
{
    std::printf("\none thumbnail (median of 5): reduced-size read | whole read + smooth scale | Vantrel\n");
    for (int i : {0, 18, 23, 36}) {
        const QString path = root + QStringLiteral("/picture-%1.png").arg(i);
        QSize full;
        const double reduced = medianMs([&] {
            QImageReader reader(path);
            full = reader.size();
            reader.setScaledSize(thumbnailSize(full));
            reader.read();
        });
        const double whole = medianMs([&] { scaledToThumbnail(QImageReader(path).read()); });
        std::atomic<bool> cancelled = false;
        const double vantrel = medianMs([&] { readThumbnail(path, cancelled); });
        std::printf(
            "  %5d × %-5d  %6.1f ms | %6.1f ms | %6.1f ms\n", full.width(), full.height(), reduced, whole, vantrel);
    }
}

// The naive design: every thumbnail read on the UI thread into a QListWidget before it shows.
void runNaive(const QString& folder, int records)
{
    CaptureHistory history(folder);
    std::vector<HistoryItem> items = history.items();
    items.resize(std::min<std::size_t>(items.size(), std::size_t(records)));
    const Memory before = memory();
    QElapsedTimer clock;
    clock.start();
    const double cpuStart = threadCpuMs();
    QListWidget list;
    list.setViewMode(QListView::IconMode);
    list.setIconSize(QSize(200, 130));
    list.setGridSize(QSize(214, 180));
    list.setResizeMode(QListView::Adjust);
    list.setUniformItemSizes(true);
    std::atomic<bool> cancelled = false;
    for (const HistoryItem& item : items) {
        const Expected<QImage> thumbnail = readThumbnail(history.filePath(item), cancelled);
        QIcon icon;
        if (thumbnail)
            icon = QIcon(
                QPixmap::fromImage(thumbnail->scaled(QSize(200, 130), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
        list.addItem(new QListWidgetItem(icon, item.date.toLocalTime().toString(Qt::TextDate)));
    }
    PaintWatch watch(list.viewport());
    const double loaded = clock.nsecsElapsed() / 1e6;
    list.resize(HistoryWindowController::contentSize);
    list.show();
    waitFor([&] { return watch.firstPaintMs.has_value(); });
    const double firstPaint = clock.nsecsElapsed() / 1e6;
    const double firstPaintCpu = threadCpuMs() - cpuStart;
    std::printf("naive QListWidget, %zu records: first paint %.0f ms (%.0f ms reading thumbnails; UI thread's "
                "processor time %.0f ms), memory +%.0f MB\n",
        items.size(), firstPaint, loaded, firstPaintCpu, memory().residentMB - before.residentMB);
    if (items.size() < history.items().size())
        std::printf("  at %zu records: about %.0f ms to first paint (read time grows with the records)\n",
            history.items().size(), firstPaint * double(history.items().size()) / double(items.size()));
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir root(QDir::tempPath() + QStringLiteral("/vantrel-history-bench-XXXXXX"));
    // The shared history lives in this run's data folder.
    qputenv("XDG_DATA_HOME", root.path().toLocal8Bit());
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantrel"));
    MemoryPreferenceStore preferences;
    ScopedService<PreferenceStore> preferencesSlot(&preferences);

    int records = 5000;
    int naiveRecords = -1;
    const QStringList arguments = QApplication::arguments().mid(1);
    for (int i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--naive") && i + 1 < arguments.size())
            naiveRecords = arguments[++i].toInt();
        else
            records = std::max(1, arguments[i].toInt());
    }
    if (naiveRecords < 0)
        naiveRecords = records;

    std::printf("platform %s, %d cores\n", qPrintable(QGuiApplication::platformName()), QThread::idealThreadCount());
    const QString folder = makeHistory(root.path(), records);
    warmPageCache(folder);
    CaptureHistory& history = CaptureHistory::shared(); // made at start-up in the application
    if (history.folder() != folder)
        qFatal("the shared history is not the benchmark's");
    // In the application the list is read at start-up, on a worker, long before anyone asks for
    // the window; the naive design below gets it read beforehand too.
    QElapsedTimer loadClock;
    loadClock.start();
    history.items();
    std::printf("list of %zu records read at start-up (on a worker): %.0f ms\n", history.items().size(),
        loadClock.nsecsElapsed() / 1e6);
    const Memory start = memory();

    // Show → first painted grid: the prune, the window, the model over every record, the first paint.
    QElapsedTimer clock;
    clock.start();
    const double showCpuStart = threadCpuMs();
    HistoryWindowController::show();
    HistoryView* view = HistoryWindowController::view();
    HistoryGridView* grid = view->grid();
    PaintWatch firstPaint(grid->viewport());
    firstPaint.restart();
    const qint64 showCallNs = clock.nsecsElapsed();
    waitFor([&] { return firstPaint.firstPaintMs.has_value(); });
    const double firstPaintMs = showCallNs / 1e6 + *firstPaint.firstPaintMs;
    const double firstPaintCpuMs = threadCpuMs() - showCpuStart;
    ThumbnailLoader& loader = view->model()->thumbnails();
    waitFor([&] { return loader.queuedCount() == 0 && loader.runningCount() == 0; });
    const double firstScreenMs = clock.nsecsElapsed() / 1e6;
    const auto [firstRow, lastRow] = grid->visibleRows();
    std::printf("\nshow → first painted grid: %.1f ms (goal < 150 ms); the show call itself %.1f ms;\n"
                "  UI thread's processor time until then %.1f ms\n",
        firstPaintMs, showCallNs / 1e6, firstPaintCpuMs);
    std::printf(
        "  every thumbnail of the first screen (%d cells) in: %.0f ms\n", lastRow - firstRow + 1, firstScreenMs);

    // Scroll from top to bottom at a steady wheel rate; each frame is the wheel event and the
    // repaint it causes, with whatever thumbnails arrived since the last frame.
    QScrollBar* bar = grid->verticalScrollBar();
    std::vector<double> frames;
    std::vector<double> frameCpu;
    std::vector<double> intervals;
    QElapsedTimer since;
    since.start();
    const int decodesBefore = loader.decodesStarted();
    QElapsedTimer scrollClock;
    scrollClock.start();
    QTimer wheel;
    wheel.setTimerType(Qt::PreciseTimer);
    QWidget* window = HistoryWindowController::window();
    QObject::connect(&wheel, &QTimer::timeout, [&] {
        intervals.push_back(since.nsecsElapsed() / 1e6);
        since.restart();
        QElapsedTimer frame;
        frame.start();
        const double cpuStart = threadCpuMs();
        const QPointF at(grid->viewport()->width() / 2.0, grid->viewport()->height() / 2.0);
        QWheelEvent event(at, grid->viewport()->mapToGlobal(at), QPoint(), QPoint(0, -wheelDelta), Qt::NoButton,
            Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(grid->viewport(), &event);
        QCoreApplication::sendPostedEvents(window, QEvent::UpdateRequest);
        QCoreApplication::sendPostedEvents(window, QEvent::UpdateLater);
        frames.push_back(frame.nsecsElapsed() / 1e6);
        frameCpu.push_back(threadCpuMs() - cpuStart);
        if (bar->value() >= bar->maximum())
            wheel.stop();
    });
    wheel.start(wheelIntervalMs);
    waitFor([&] { return !wheel.isActive(); });
    const double scrollMs = scrollClock.nsecsElapsed() / 1e6;
    const int decodesDuringScroll = loader.decodesStarted() - decodesBefore;
    waitFor([&] { return loader.queuedCount() == 0 && loader.runningCount() == 0; });
    const Memory after = memory();
    std::printf("\nscroll top to bottom (%d px, %zu frames, %d px a frame): %.1f s\n", bar->maximum(), frames.size(),
        wheelDelta / 2, scrollMs / 1000);
    std::printf("  frame work, wall clock: median %.2f ms, p95 %.2f ms (goal < 16 ms), max %.2f ms\n",
        percentile(frames, 0.5), percentile(frames, 0.95), percentile(frames, 1.0));
    std::printf("  frame work, UI thread's processor time: median %.2f ms, p95 %.2f ms, max %.2f ms\n",
        percentile(frameCpu, 0.5), percentile(frameCpu, 0.95), percentile(frameCpu, 1.0));
    std::printf("  frame to frame: median %.1f ms, p95 %.1f ms (timer at %d ms)\n", percentile(intervals, 0.5),
        percentile(intervals, 0.95), wheelIntervalMs);
    std::printf("  thumbnails decoded while scrolling: %d of %d records passed (the rest cancelled or skipped)\n",
        decodesDuringScroll, records);
    std::printf("\nmemory after scrolling through everything: %.0f MB resident (goal < 300 MB), peak %.0f MB;\n"
                "  %.0f MB before the window, thumbnail cache %.0f MB\n",
        after.residentMB, after.peakMB, start.residentMB, loader.cachedBytes() / 1e6);

    window->close();
    std::printf("\n");
    if (naiveRecords > 0)
        runNaive(folder, naiveRecords);
    compareDecodes(root.path());
    std::printf("first paint: Vantrel %.1f ms against the naive QListWidget above\n", firstPaintMs);
    return 0;
}
