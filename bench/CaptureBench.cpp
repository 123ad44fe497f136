// SPDX-License-Identifier: GPL-3.0-or-later
// Screen grabs and history writes against reference tools, measured in the same run. Run it
// through run-capture-bench.sh, which starts a private X server per screen size.
#include "CaptureHistory.h"
#include "PreferenceStore.h"
#include "ScreenCapture.h"
#include "Service.h"
#include "x11/X11ScreenGrabber.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFont>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QScreen>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace vantrel;

namespace {

// Median wall time of `runs` calls, in milliseconds.
double medianMs(int runs, const std::function<void()>& work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Something like a real 4K screenshot: windows, text, a toolbar gradient and a photo-like area,
// so that compression has the work a desktop gives it.
QImage desktopLikePicture(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(236, 236, 236));
    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(26);
    painter.setFont(font);
    auto* random = QRandomGenerator::global();
    for (int w = 0; w < 6; ++w) {
        const QRect window(80 + w * 520, 60 + w * 220, 1800, 1300);
        painter.fillRect(window, Qt::white);
        QLinearGradient bar(window.topLeft(), window.topLeft() + QPoint(0, 70));
        bar.setColorAt(0, QColor(250, 250, 250));
        bar.setColorAt(1, QColor(220, 220, 225));
        painter.fillRect(QRect(window.topLeft(), QSize(window.width(), 70)), bar);
        painter.setPen(QColor(40, 40, 40));
        for (int line = 0; line < 36; ++line)
            painter.drawText(window.x() + 30, window.y() + 110 + line * 32,
                QStringLiteral("%1  The quick brown fox jumps over the lazy dog; int main() { return %2; }")
                    .arg(line)
                    .arg(w * 100 + line));
    }
    for (int y = 1500; y < std::min(size.height(), 2100); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 2600; x < std::min(size.width(), 3700); ++x) {
            const int base = (x / 7 + y / 5) % 200;
            row[x] = qRgb(base + random->bounded(30), 90 + random->bounded(40), 255 - base - random->bounded(30));
        }
    }
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    MemoryPreferenceStore preferences;
    ScopedService<PreferenceStore> preferencesSlot(&preferences);
    X11ScreenGrabber grabber;
    ScopedService<ScreenGrabber> grabberSlot(&grabber);

    QScreen* screen = QGuiApplication::primaryScreen();
    const QSize pixels = screen->geometry().size() * screen->devicePixelRatio();
    const quint32 display = ScreenCapture::displayID(screen);
    std::printf("Screen %dx%d pixels\n", pixels.width(), pixels.height());

    ScreenCapture::captureDisplay(display); // the first grab makes the shared segment
    const double ours = medianMs(40, [&] { ScreenCapture::captureDisplay(display); });
    const double qt = medianMs(10, [&] { screen->grabWindow(0).toImage(); });
    QTemporaryDir scratch;
    const QString raw = scratch.filePath(QStringLiteral("frame.raw"));
    const double ffmpeg = medianMs(5, [&] {
        QProcess::execute(QStringLiteral("ffmpeg"),
            {QStringLiteral("-v"), QStringLiteral("quiet"), QStringLiteral("-y"), QStringLiteral("-f"),
                QStringLiteral("x11grab"), QStringLiteral("-video_size"),
                QStringLiteral("%1x%2").arg(pixels.width()).arg(pixels.height()), QStringLiteral("-i"),
                qEnvironmentVariable("DISPLAY"), QStringLiteral("-frames:v"), QStringLiteral("1"), QStringLiteral("-f"),
                QStringLiteral("rawvideo"), raw});
    });
    std::printf("captureDisplay (XShm, reused segment)  %8.2f ms\n", ours);
    std::printf("QScreen::grabWindow                    %8.2f ms   ratio %.1fx\n", qt, qt / ours);
    std::printf("ffmpeg -f x11grab -frames:v 1          %8.2f ms   ratio %.1fx\n", ffmpeg, ffmpeg / ours);

    if (pixels.width() < 3840)
        return 0;
    const QImage shot = desktopLikePicture(QSize(3840, 2160));
    CaptureHistory history(scratch.filePath(QStringLiteral("History")));
    double onCaller = 0;
    const double addTotal = medianMs(7, [&] {
        QElapsedTimer caller;
        caller.start();
        history.add(shot, CaptureKind::screenshot);
        onCaller += double(caller.nsecsElapsed()) / 1e6;
        history.waitForPendingWrites();
    });
    const QString qtFile = scratch.filePath(QStringLiteral("qt.png"));
    const double qtPng = medianMs(5, [&] { QImageWriter(qtFile, "png").write(shot); });
    qint64 ourBytes = 0;
    if (!history.items().empty())
        ourBytes = QFileInfo(history.filePath(history.items().front())).size();
    std::printf("\n4K desktop-like screenshot into the history\n");
    std::printf("add, on the calling thread             %8.2f ms (mean)\n", onCaller / 7);
    std::printf("add, until the PNG is on disk          %8.2f ms   %lld bytes\n", addTotal, ourBytes);
    std::printf("Qt default PNG writer                  %8.2f ms   %lld bytes   ratio %.1fx\n", qtPng,
        QFileInfo(qtFile).size(), qtPng / addTotal);
    return 0;
}
