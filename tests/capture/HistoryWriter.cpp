// SPDX-License-Identifier: GPL-3.0-or-later
// A separate process for the history tests that must kill a writer or run it as another user:
//   history-writer FOLDER save-loop   loads the history, says "ready", then saves it over and over
//   history-writer FOLDER add-once    tries to add one picture, says "added" or "refused"
#include "CaptureHistory.h"
#include "PreferenceStore.h"
#include "Service.h"

#include <QCoreApplication>
#include <QImage>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    vantrel::MemoryPreferenceStore preferences;
    vantrel::ScopedService<vantrel::PreferenceStore> slot(&preferences);
    vantrel::CaptureHistory history(QString::fromLocal8Bit(argv[1]));
    const QByteArray mode(argv[2]);
    if (mode == "save-loop") {
        std::printf("ready %zu\n", history.items().size());
        std::fflush(stdout);
        for (;;)
            history.save();
    }
    if (mode == "add-once") {
        QImage picture(64, 64, QImage::Format_RGB32);
        picture.fill(Qt::red);
        const auto added = history.add(picture, vantrel::CaptureKind::screenshot);
        history.waitForPendingWrites();
        const bool kept = added && !history.items().empty();
        std::printf(kept ? "added\n" : "refused\n");
        return 0;
    }
    return 2;
}
