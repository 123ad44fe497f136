// SPDX-License-Identifier: GPL-3.0-or-later
// The capture history with a long list (20,000 records by default): how long start-up and a new
// capture hold up the main thread, against the same work done on the main thread (the way the
// history used to do it), measured in the same run.
//
//   build/bench/history_store_bench [records]
//   build/bench/history_store_bench --fill FOLDER RECORDS   (only makes such a folder; startup-history.sh)
#include "CaptureHistory.h"
#include "PngEncoder.h"
#include "PreferenceStore.h"
#include "PrivateFiles.h"
#include "Service.h"
#include "Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace vantrel;

namespace {

double ms(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

QImage screenshotLike(int n)
{
    QImage image(1920, 1080, QImage::Format_RGB32);
    image.fill(QColor(236, 236, 236));
    for (int y = 100; y < 900; y += 24)
        for (int x = 100 + (n % 7) * 10; x < 1700; ++x)
            image.setPixel(x, y, qRgb(40, 40, 40 + n % 50));
    return image;
}

// A history folder with `count` records, each with a small whole PNG, as years of use leave it.
void fill(const QString& folder, int count)
{
    QDir().mkpath(folder);
    const QByteArray png = *encodePng(screenshotLike(0).scaled(64, 36), PngSpeed::fast);
    std::vector<HistoryItem> items;
    items.reserve(std::size_t(count));
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    for (int i = 0; i < count; ++i) {
        const QUuid id = QUuid::createUuid();
        // Spread over the last 25 days: all within the default 30 days, none pruned.
        items.push_back(HistoryItem {id, QDateTime::fromSecsSinceEpoch(now - 60 - qint64(i) * 100, Qt::UTC),
            CaptureKind::screenshot, uuidText(id) + QStringLiteral(".png"), 1920, 1080});
        QFile file(folder + QLatin1Char('/') + items.back().fileName);
        file.open(QIODevice::WriteOnly);
        file.write(png);
    }
    files::writeFile(folder + QStringLiteral("/history.json"), encodeHistory(items));
}

// Time until the event loop turns again after `work` returned: what the user feels.
double untilTheLoopTurns(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    bool turned = false;
    QTimer::singleShot(0, [&] { turned = true; });
    while (!turned)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return ms(timer);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && QByteArray(argv[1]) == "--fill") {
        fill(QString::fromLocal8Bit(argv[2]), std::max(0, std::atoi(argv[3])));
        return 0;
    }
    const int records = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20000;
    MemoryPreferenceStore preferences;
    ScopedService<PreferenceStore> preferencesSlot(&preferences);
    QTemporaryDir scratch;
    const QString folder = scratch.filePath(QStringLiteral("History"));
    fill(folder, records);
    std::printf("capture history with %d records (list file %lld bytes)\n\n", records,
        QFileInfo(folder + QStringLiteral("/history.json")).size());

    // Start-up: the main thread is free again as soon as the store is made; the list is read on
    // a worker. Reference: the same store waited for on the main thread, as reading it there
    // (and checking, pruning, rewriting it) used to hold up start-up.
    std::vector<double> startUp, loadedOnMain;
    for (int run = 0; run < 5; ++run) {
        CaptureHistory* history = nullptr;
        startUp.push_back(untilTheLoopTurns([&] { history = new CaptureHistory(folder); }));
        history->waitForPendingWrites();
        delete history;
        QElapsedTimer timer;
        timer.start();
        CaptureHistory blocking(folder);
        blocking.items();
        loadedOnMain.push_back(ms(timer));
    }
    std::printf("start-up, main thread held                  %8.2f ms\n", median(startUp));
    std::printf("reference: reading the list on the main thread %5.2f ms   ratio %.0fx\n", median(loadedOnMain),
        median(loadedOnMain) / median(startUp));

    // A capture taken just after start-up, while the list is still being read: listed at once.
    std::vector<double> listedEarly;
    for (int run = 0; run < 5; ++run) {
        CaptureHistory history(folder);
        const QImage shot = screenshotLike(run);
        QElapsedTimer timer;
        timer.start();
        bool listed = false;
        QObject::connect(&history, &CaptureHistory::itemsChanged, [&] { listed = true; });
        history.add(shot, CaptureKind::screenshot);
        listedEarly.push_back(listed ? ms(timer) : -1);
        history.waitForPendingWrites();
    }
    std::printf("a capture during start-up, until listed     %8.2f ms\n", median(listedEarly));

    // A capture with the list read: listed at once; the picture and the 20,000-record list
    // follow on workers. Reference: encoding and writing the list on the main thread for every
    // capture, as the history used to.
    CaptureHistory history(folder);
    history.items();
    std::vector<double> listed, durable, listOnMain;
    for (int run = 0; run < 7; ++run) {
        const QImage shot = screenshotLike(run);
        QElapsedTimer timer;
        timer.start();
        history.add(shot, CaptureKind::screenshot);
        listed.push_back(ms(timer));
        history.waitForPendingWrites();
        durable.push_back(ms(timer));

        QElapsedTimer reference;
        reference.start();
        files::writeFile(scratch.filePath(QStringLiteral("reference.json")), encodeHistory(history.items()));
        listOnMain.push_back(ms(reference));
    }
    std::printf("a capture, main thread held until listed    %8.2f ms\n", median(listed));
    std::printf("a capture, until picture and list are on disk %6.2f ms (on workers)\n", median(durable));
    std::printf("reference: the list written on the main thread %5.2f ms   ratio %.0fx\n", median(listOnMain),
        median(listOnMain) / median(listed));
    return 0;
}
