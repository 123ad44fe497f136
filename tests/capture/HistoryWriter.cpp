// SPDX-License-Identifier: GPL-3.0-or-later
// A separate process for the history tests that must kill a writer or run it as another user:
//   history-writer FOLDER save-loop   loads the history, says "ready", then saves it over and over
//   history-writer FOLDER add-loop    says "ready", then adds pictures for ever, saying "added N"
//                                     after each
//   history-writer FOLDER add-twice   tries to add two pictures, says "added" or "refused", then
//                                     how many toasts and log lines the attempts gave
#include "CaptureHistory.h"
#include "PreferenceStore.h"
#include "Service.h"
#include "SystemLog.h"
#include "Toasts.h"

#include <QCoreApplication>
#include <QImage>

#include <cstdio>

namespace {

class CountingToasts : public vantrel::ToastPresenter
{
public:
    void show(const vantrel::ToastRequest&) override { ++shown; }
    int shown = 0;
};

// A picture that compresses poorly, different for every `n`, so that each write takes a while.
QImage noise(int n)
{
    QImage picture(320, 240, QImage::Format_RGB32);
    quint32 state = 2463534242u + quint32(n) * 2654435761u;
    for (int y = 0; y < picture.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            row[x] = 0xff000000u | (state & 0xffffffu);
        }
    }
    return picture;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    vantrel::MemoryPreferenceStore preferences;
    vantrel::ScopedService<vantrel::PreferenceStore> slot(&preferences);
    CountingToasts toasts;
    vantrel::ScopedService<vantrel::ToastPresenter> toastSlot(&toasts);
    int logLines = 0;
    vantrel::setSystemLogSink([&](const QString& line) {
        ++logLines;
        std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    });
    vantrel::CaptureHistory history(QString::fromLocal8Bit(argv[1]));
    const QByteArray mode(argv[2]);
    if (mode == "save-loop") {
        std::printf("ready %zu\n", history.items().size());
        std::fflush(stdout);
        for (;;) {
            history.save();
            history.waitForPendingWrites();
        }
    }
    if (mode == "add-loop") {
        std::printf("ready %zu\n", history.items().size());
        std::fflush(stdout);
        for (int n = 1;; ++n) {
            history.add(noise(n), vantrel::CaptureKind::screenshot);
            QCoreApplication::processEvents();
            std::printf("added %d\n", n);
            std::fflush(stdout);
        }
    }
    if (mode == "add-twice") {
        QImage picture(64, 64, QImage::Format_RGB32);
        picture.fill(Qt::red);
        history.items();
        logLines = 0; // what the load said is not the question
        const auto first = history.add(picture, vantrel::CaptureKind::screenshot);
        const auto second = history.add(picture, vantrel::CaptureKind::screenshot);
        history.waitForPendingWrites();
        const bool kept = first && second && history.items().size() >= 2;
        std::printf("%s toasts=%d logs=%d\n", kept ? "added" : "refused", toasts.shown, logLines);
        return 0;
    }
    return 2;
}
